#pragma once
// Starting the installed game, the last step of the installation job.
#include "install/install_job.h"

#include <windows.h>

// Starts the program at `path` (no arguments; its folder as the working folder) and returns true
// once it runs. Otherwise returns false with the reason in `job.message`, cut to fit on a whole
// character:
//   "系统内存不够."               out of memory or resources
//   "找不到<path>文件."           no such file
//   "路径错误."                   no such folder, or a path too long to start
//   "<path>文件不是有效运行程序."  not a program
//   "未知错误."                   anything else
// The program is not waited for and its process is not kept.
//
// The installer runs elevated, the game must not: it lies in a folder the player may own (a DLL
// planted beside it would run as administrator), and a game started as administrator writes its
// saves and settings where the player's own later runs cannot change them. So it is started as a
// child of the desktop shell, with the shell's token and environment: the player's own rights.
bool LaunchProgram(InstallJob& job, const char* path);

// How the game is started.
enum class LaunchRoute {
    AsShell,  // as a child of the desktop shell's process, with its token and environment
    Direct,   // as a child of the installer, with its rights
};

// The route when the desktop shell's window belongs to the process `shellProcess` (0: there is no
// shell window) and the installer is `ownProcess`. Every installer with a shell of another process
// goes through the shell: elevated, it would otherwise hand its rights on; not elevated, the
// shell's rights are its own or the desktop's owner's, which are the ones the game is for. Without
// a shell (a system without a desktop shell, a shell of our own) there is no other token to take,
// and the game starts as the installer's child.
LaunchRoute ChooseLaunchRoute(DWORD shellProcess, DWORD ownProcess);

// The route LaunchProgram takes on this system now (tests).
LaunchRoute CurrentLaunchRoute();
