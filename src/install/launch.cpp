#include "install/launch.h"

#include "common/fixed_string.h"
#include "common/system_library.h"
#include "common/win_handles.h"

#include <userenv.h>

#include <cstring>

namespace {

// A started game is given this long to show its window (to wait for input) before the launch
// returns, as WinExec always gave it: the installer ends right after, and the player sees the game
// take its place rather than a moment of nothing.
constexpr DWORD kGameStartWaitMs = 30000;

void LetGo(PROCESS_INFORMATION& process)
{
    WaitForInputIdle(process.hProcess, kGameStartWaitMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

DWORD ShellProcess()
{
    DWORD process = 0;
    if (HWND shell = GetShellWindow())
        GetWindowThreadProcessId(shell, &process);
    return process;
}

// The user's environment for `token` (USERPROFILE, APPDATA and the rest are the shell user's, who
// may not be the administrator the installer runs as), from userenv, loaded by its full path.
class UserEnvironment {
public:
    explicit UserEnvironment(HANDLE token)
    {
        decltype(&CreateEnvironmentBlock) create = nullptr;
        HMODULE userenv = LoadSystemLibrary("userenv.dll");
        if (ResolveFunction(userenv, "CreateEnvironmentBlock", create) &&
            ResolveFunction(userenv, "DestroyEnvironmentBlock", destroy_) && !create(&block_, token, FALSE))
            block_ = nullptr;
    }
    ~UserEnvironment()
    {
        if (block_)
            destroy_(block_);
    }
    UserEnvironment(const UserEnvironment&) = delete;
    UserEnvironment& operator=(const UserEnvironment&) = delete;

    void* block() const { return block_; }

private:
    decltype(&DestroyEnvironmentBlock) destroy_ = nullptr;
    void* block_ = nullptr;
};

// The shell's process as the new process's parent: the system gives the child the parent's token.
class ParentAttribute {
public:
    explicit ParentAttribute(HANDLE* parent)
    {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        list_ = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!list_ || !InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            Free();
            return;
        }
        initialized_ = true;
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, parent, sizeof *parent, nullptr,
                                       nullptr))
            Free();
    }
    ~ParentAttribute() { Free(); }
    ParentAttribute(const ParentAttribute&) = delete;
    ParentAttribute& operator=(const ParentAttribute&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

private:
    void Free()
    {
        if (initialized_)
            DeleteProcThreadAttributeList(list_);
        if (list_)
            HeapFree(GetProcessHeap(), 0, list_);
        list_ = nullptr;
        initialized_ = false;
    }

    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool initialized_ = false;
};

// Starts `commandLine` as a child of the shell's process, in `folder`. False, with the system's
// error, when it cannot (ERROR_ACCESS_DENIED when the shell cannot be had as a parent).
bool StartAsShell(DWORD shellProcess, char* commandLine, const char* folder)
{
    UniqueHandle shell(OpenProcess(PROCESS_CREATE_PROCESS | PROCESS_QUERY_INFORMATION, FALSE, shellProcess));
    HANDLE token = nullptr;
    if (!shell || !OpenProcessToken(shell.get(), TOKEN_QUERY | TOKEN_DUPLICATE, &token)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    UniqueHandle tokenOwner(token);
    UserEnvironment environment(token);
    HANDLE parent = shell.get();
    ParentAttribute attribute(&parent);
    if (!environment.block() || !attribute.list()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_SHOW;
    startup.lpAttributeList = attribute.list();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT, environment.block(), folder,
                        &startup.StartupInfo, &process))
        return false;
    LetGo(process);
    return true;
}

bool StartDirect(char* commandLine, const char* folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process))
        return false;
    LetGo(process);
    return true;
}

void SetLaunchFailure(InstallJob& job, const char* path, DWORD error)
{
    switch (error) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
        CopyString(job.message, "系统内存不够.");
        break;
    case ERROR_FILE_NOT_FOUND:
        FormatString(job.message, "找不到%s文件.", path);
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
        CopyString(job.message, "路径错误.");
        break;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_BAD_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        FormatString(job.message, "%s文件不是有效运行程序.", path);
        break;
    default:
        CopyString(job.message, "未知错误.");
        break;
    }
}

}  // namespace

LaunchRoute ChooseLaunchRoute(DWORD shellProcess, DWORD ownProcess)
{
    return shellProcess != 0 && shellProcess != ownProcess ? LaunchRoute::AsShell : LaunchRoute::Direct;
}

LaunchRoute CurrentLaunchRoute() { return ChooseLaunchRoute(ShellProcess(), GetCurrentProcessId()); }

bool LaunchProgram(InstallJob& job, const char* path)
{
    if (path == nullptr)
        path = "";
    // The path goes in quotes: unquoted, "C:\Program Files\Game\game.exe" would first be tried as
    // "C:\Program.exe", and a program planted there would run in the game's place.
    char commandLine[MAX_PATH + 2];
    char folder[MAX_PATH];
    const char* name = strrchr(path, '\\');
    const size_t folderLength = name ? static_cast<size_t>(name - path) + 1 : 0;
    if (!FormatString(commandLine, "\"%s\"", path) || folderLength >= sizeof folder) {
        CopyString(job.message, "路径错误.");  // a path this long cannot be started
        return false;
    }
    memcpy(folder, path, folderLength);
    folder[folderLength] = '\0';
    const char* workingFolder = folderLength > 0 ? folder : nullptr;

    // The installer's own launch (with its rights) only where there is no shell to take the
    // player's rights from: a shell that cannot be had as a parent fails the launch rather than
    // start the game as administrator.
    const DWORD shell = ShellProcess();
    const bool started = ChooseLaunchRoute(shell, GetCurrentProcessId()) == LaunchRoute::AsShell
                             ? StartAsShell(shell, commandLine, workingFolder)
                             : StartDirect(commandLine, workingFolder);
    if (started)
        return true;
    SetLaunchFailure(job, path, GetLastError());
    return false;
}
