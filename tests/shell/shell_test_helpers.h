#pragma once
// Reading back what the shell steps leave, through the system's own interfaces. Names are unique
// per test: test programs run side by side in one Wine prefix.
#include "common/win_handles.h"

#include <objidl.h>
#include <shlobj.h>

#include <atomic>
#include <string>

inline std::string UniqueName(const std::string& tag)
{
    static std::atomic<int> counter{0};
    return tag + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++);
}

inline std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

inline std::string MissingDrive()  // such as "Q:"
{
    char letter = 'Y';
    while (letter > 'D' && (GetLogicalDrives() & (1u << (letter - 'A'))))
        --letter;
    return std::string(1, letter) + ":";
}

struct ShortcutInfo {
    std::string target, workingDirectory;  // empty when the link cannot be loaded
};

inline ShortcutInfo ReadShortcut(const std::string& linkPath)
{
    ScopedComInit com;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    wchar_t wide[MAX_PATH];
    char target[MAX_PATH] = {}, directory[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) &&
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) > 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(directory, MAX_PATH);
    }
    return {target, directory};
}

inline std::string UninstallKey(const std::string& name)
{
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
}

// The code under test names no view when it writes, so it writes the view of its own build: the
// 64-bit one from x86_64, WOW6432Node from the shipping i686 build on 64-bit Windows.
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

inline HKEY OpenMachineKey(const std::string& subkey, REGSAM view = kOwnView)
{
    HKEY key = nullptr;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS ? key : nullptr;
}

// Number of values of HKEY_LOCAL_MACHINE\<subkey>, -1 when the key is missing.
inline int MachineValueCount(const std::string& subkey, REGSAM view = kOwnView)
{
    UniqueRegKey key(OpenMachineKey(subkey, view));
    DWORD count = 0;
    if (!key || RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(count);
}

// A value's type and exact bytes, terminators included, as one string: "<type>:<bytes>".
inline std::string ReadMachineValue(const std::string& subkey, const char* name)
{
    UniqueRegKey key(OpenMachineKey(subkey));
    char data[2048];
    DWORD type = REG_NONE, size = sizeof data;
    if (!key || RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "missing";
    return std::to_string(type) + ":" + std::string(data, size);
}

// What ReadMachineValue gives for a string written with its terminator.
inline std::string ExpandString(const std::string& text)
{
    return std::to_string(REG_EXPAND_SZ) + ":" + std::string(text.c_str(), text.size() + 1);
}
