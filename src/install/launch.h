#pragma once
// Starting the installed game, the last step of the installation job.
#include "install/install_job.h"

// Starts the program at `path` (no arguments) and returns true once it runs. Otherwise returns
// false with the reason in `job.message`, cut to fit on a whole character:
//   "系统内存不够."               out of memory or resources
//   "找不到<path>文件."           no such file
//   "路径错误."                   no such folder, or a path too long to start
//   "<path>文件不是有效运行程序."  not a program
//   "未知错误."                   anything else
// The program is not waited for and its process is not kept.
bool LaunchProgram(InstallJob& job, const char* path);
