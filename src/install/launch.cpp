#include "install/launch.h"

#include "common/fixed_string.h"

#include <windows.h>

bool LaunchProgram(InstallJob& job, const char* path)
{
    if (path == nullptr)
        path = "";
    // The path goes in quotes: unquoted, "C:\Program Files\Game\game.exe" would first be tried as
    // "C:\Program.exe", and a program planted there would run in the game's place.
    char commandLine[MAX_PATH + 2];
    UINT result = ERROR_PATH_NOT_FOUND;  // a path this long cannot be started
    if (FormatString(commandLine, "\"%s\"", path))
        result = WinExec(commandLine, SW_SHOW);
    if (result > 31)
        return true;

    switch (result) {
    case 0:
        CopyString(job.message, "系统内存不够.");
        break;
    case ERROR_FILE_NOT_FOUND:
        FormatString(job.message, "找不到%s文件.", path);
        break;
    case ERROR_PATH_NOT_FOUND:
        CopyString(job.message, "路径错误.");
        break;
    case ERROR_BAD_FORMAT:
        FormatString(job.message, "%s文件不是有效运行程序.", path);
        break;
    default:
        CopyString(job.message, "未知错误.");
        break;
    }
    return false;
}
