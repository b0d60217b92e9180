// Demo uninstaller, delivered inside the demo package as "uninstall\<uninstname>".
//
//   demo_uninstaller.exe "/U:<setupdir>uninstall\uninstall.ini" [/S]
//
// Removes what the installer created: the game's folder, the desktop shortcut, the two shortcuts
// of the Start-menu group (and the group when it is then empty) and the uninstall registry key.
// /S skips the questions and the final message (used by tests).
//
// It runs from inside the folder it removes, and Windows cannot delete a running program. So it
// first copies itself to the temporary folder and hands over to the copy ("/D:<pid>"), which waits
// for this process to end, removes everything and marks itself for deletion at the next restart.
#include "uninstall_plan.h"

#include "common/fixed_string.h"
#include "common/message_box.h"
#include "common/win_handles.h"

#include <shlobj.h>

#include <cstdlib>
#include <string>

namespace {

const char kCaption[] = "卸载";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool g_silent = false;

void Tell(const std::string& text, UINT icon)
{
    if (!g_silent)
        ShowMessageBox(nullptr, text.c_str(), kCaption, MB_OK | icon);
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return "";
    return path;
}

// Removes a folder and everything below it. Links to other places (junctions, symbolic links)
// are removed themselves, never followed.
void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(FindFirstFileA((dir + "\\*").c_str(), &found));
    if (search) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            std::string path = dir + "\\" + found.cFileName;
            bool isDir = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            bool isLink = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesA(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (isDir && !isLink)
                RemoveTree(path);
            else if (isDir)
                RemoveDirectoryA(path.c_str());
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search.get(), &found));
    }
    search.reset();
    RemoveDirectoryA(dir.c_str());
}

void RemoveShortcuts(const UninstallPlan& plan)
{
    std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    if (!desktop.empty())
        DeleteFileA((desktop + "\\" + plan.shortcutName + ".lnk").c_str());
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        std::string programs = SpecialFolder(csidl);
        if (programs.empty())
            continue;
        std::string group = programs + "\\" + plan.gameName;
        DeleteFileA((group + "\\" + plan.shortcutName + ".lnk").c_str());
        DeleteFileA((group + "\\" + plan.shortcutName + "卸载.lnk").c_str());
        RemoveDirectoryA(group.c_str());  // only when nothing else is in it
    }
}

// Removes the uninstall key, but only when it is this installation's: another copy of the game
// installed elsewhere keeps its entry.
void RemoveRegistryEntry(const UninstallPlan& plan)
{
    std::string subkey = kUninstallKey + plan.gameName;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        UniqueRegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
            continue;
        char command[1024] = {};
        DWORD size = sizeof command - 1;
        DWORD type = 0;
        LONG read = RegQueryValueExA(key.get(), "UninstallString", nullptr, &type,
                                     reinterpret_cast<BYTE*>(command), &size);
        key.reset();
        if (read != ERROR_SUCCESS || !strstr(command, plan.iniPath.c_str()))
            continue;
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), view, 0);
    }
}

void CloseRunningGame(const UninstallPlan& plan)
{
    if (plan.productTitle.empty())
        return;
    HWND game = FindWindowA(nullptr, plan.productTitle.c_str());
    if (game) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(game, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    }
}

// Copies this program to the temporary folder and starts the copy with the same arguments and
// "/D:<our pid>". Returns false when that is impossible.
bool HandOver(const std::string& iniPath)
{
    char self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    char temp[MAX_PATH] = {};
    DWORD t = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof self || t == 0 || t >= sizeof temp)
        return false;
    char copy[MAX_PATH] = {};
    if (!FormatString(copy, "%svellora-uninstall-%lu.exe", temp, GetCurrentProcessId()))
        return false;
    if (!CopyFileA(self, copy, FALSE))
        return false;
    std::string command = std::string("\"") + copy + "\" \"/U:" + iniPath + "\" /D:" +
                          std::to_string(GetCurrentProcessId()) + (g_silent ? " /S" : "");
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string mutableCommand = command;
    if (!CreateProcessA(copy, &mutableCommand[0], nullptr, nullptr, FALSE, 0, nullptr, temp, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void WaitForProcess(const char* commandLine)
{
    const char* at = strstr(commandLine, "/D:");
    if (!at)
        return;
    DWORD pid = strtoul(at + 3, nullptr, 10);
    UniqueHandle parent(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (parent)
        WaitForSingleObject(parent.get(), 30000);
}

bool IsInside(const std::string& path, const std::string& dir)
{
    return _strnicmp(path.c_str(), dir.c_str(), dir.size()) == 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const char* commandLine = GetCommandLineA();
    g_silent = HasSwitch(commandLine, "/S");
    std::string iniPath = FindUninstallArgument(commandLine);
    if (iniPath.empty()) {
        Tell("用法: uninstall.exe \"/U:<安装目录>\\uninstall\\uninstall.ini\"", MB_ICONERROR);
        return 1;
    }

    UninstallPlan plan;
    std::string reason;
    if (!LoadUninstallPlan(iniPath, &plan, &reason)) {
        Tell(reason, MB_ICONERROR);
        return 1;
    }

    bool handedOver = strstr(commandLine, "/D:") != nullptr;
    if (!handedOver) {
        if (!g_silent) {
            std::string question = "确定要完全删除 " + plan.gameName + " 及其所有组件吗？";
            if (ShowMessageBox(nullptr, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
                return 2;
        }
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, sizeof self);
        if (IsInside(self, plan.setupDir)) {
            if (HandOver(plan.iniPath))
                return 0;
            Tell("无法启动卸载程序的临时副本。", MB_ICONERROR);
            return 1;
        }
    } else {
        WaitForProcess(commandLine);
    }

    CloseRunningGame(plan);
    RemoveShortcuts(plan);
    RemoveRegistryEntry(plan);
    std::string dir = plan.setupDir.substr(0, plan.setupDir.size() - 1);
    RemoveTree(dir);

    if (handedOver) {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, sizeof self);
        MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    if (GetFileAttributesA(dir.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Tell("部分文件无法删除，请手动删除: " + plan.setupDir, MB_ICONWARNING);
        return 1;
    }
    Tell(plan.gameName + " 已成功卸载。", MB_ICONINFORMATION);
    return 0;
}
