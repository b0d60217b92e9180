#include "uninstall_plan.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Lower(std::string s)
{
    // GBK-aware: a trail byte in 'A'..'Z' belongs to a double-byte character and stays.
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            s[i] = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string WithOneTrailingBackslash(std::string s)
{
    for (char& c : s)
        if (c == '/') c = '\\';
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s + "\\";
}

std::string ReadValue(const std::string& ini, const char* key)
{
    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("config", key, "", value, sizeof value, ini.c_str());
    return value;
}

// Folders that must never be removed as a game's setup directory, with a trailing backslash.
std::vector<std::string> ProtectedFolders()
{
    std::vector<std::string> folders;
    const int ids[] = {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                       CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY,
                       CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
                       CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_PROGRAMS,
                       CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_MYMUSIC, CSIDL_MYPICTURES,
                       CSIDL_MYVIDEO};
    for (int id : ids) {
        char path[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0])
            folders.push_back(Lower(WithOneTrailingBackslash(path)));
    }
    char path[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("USERPROFILE", path, sizeof path);
    if (n > 0 && n < sizeof path) {
        std::string profile = Lower(WithOneTrailingBackslash(path));
        folders.push_back(profile);
        // The profile's parent ("C:\users\") holds every user's files.
        size_t cut = profile.find_last_of('\\', profile.size() - 2);
        if (cut != std::string::npos)
            folders.push_back(profile.substr(0, cut + 1));
    }
    return folders;
}

bool IsPlainName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name)
        if (IsSeparator(c) || c == ':')
            return false;
    return true;
}

}  // namespace

std::string FindUninstallArgument(const char* commandLine)
{
    const char* at = strstr(commandLine ? commandLine : "", "/U:");
    if (!at)
        return "";
    bool quoted = at > commandLine && at[-1] == '"';
    at += 3;
    const char* end = quoted ? strchr(at, '"') : strchr(at, ' ');
    return end ? std::string(at, end) : std::string(at);
}

bool HasSwitch(const char* commandLine, const char* name)
{
    size_t length = strlen(name);
    for (const char* at = commandLine; (at = strstr(at, name)) != nullptr; at += length) {
        bool starts = at == commandLine || at[-1] == ' ';
        bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends)
            return true;
    }
    return false;
}

bool CheckUninstallPlan(const UninstallPlan& plan, std::string* reason)
{
    const std::string& dir = plan.setupDir;
    // An absolute path on a drive, below its root: "X:\something\".
    bool absolute = dir.size() > 3 && dir[1] == ':' && dir[2] == '\\' &&
                    ((dir[0] >= 'A' && dir[0] <= 'Z') || (dir[0] >= 'a' && dir[0] <= 'z'));
    if (!absolute) {
        *reason = "安装目录不是一个完整的路径: " + dir;
        return false;
    }
    for (size_t start = 3; start < dir.size();) {
        size_t end = dir.find('\\', start);
        std::string part = dir.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            *reason = "安装目录的路径无效: " + dir;
            return false;
        }
        start = end + 1;
    }
    std::string lowered = Lower(dir);
    for (const std::string& folder : ProtectedFolders()) {
        if (lowered == folder) {
            *reason = "安装目录是系统文件夹，不能删除: " + dir;
            return false;
        }
    }
    // The uninstall file must be the one inside the directory it names: a copy elsewhere, or a
    // file edited to name another directory, is refused.
    if (Lower(WithOneTrailingBackslash(plan.iniPath)) != lowered + "uninstall\\uninstall.ini\\") {
        *reason = "卸载信息文件不在安装目录中: " + plan.iniPath;
        return false;
    }
    if (!IsPlainName(plan.gameName) || !IsPlainName(plan.shortcutName)) {
        *reason = "卸载信息文件内容无效: " + plan.iniPath;
        return false;
    }
    return true;
}

bool LoadUninstallPlan(const std::string& iniPath, UninstallPlan* plan, std::string* reason)
{
    char full[MAX_PATH] = {};
    DWORD n = GetFullPathNameA(iniPath.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full || GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
        *reason = "找不到卸载信息文件: " + iniPath;
        return false;
    }
    plan->iniPath = full;
    std::string setupDir = ReadValue(plan->iniPath, "setupdir");
    plan->setupDir = setupDir.empty() ? "" : WithOneTrailingBackslash(setupDir);
    plan->gameName = ReadValue(plan->iniPath, "gamename");
    plan->shortcutName = ReadValue(plan->iniPath, "shortcutname");
    plan->productTitle = ReadValue(plan->iniPath, "ProductTitle");
    return CheckUninstallPlan(*plan, reason);
}
