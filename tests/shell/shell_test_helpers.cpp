#include "shell_test_helpers.h"

#include <objidl.h>
#include <shlobj.h>

#include <atomic>

std::string UniqueName(const std::string& tag)
{
    static std::atomic<int> counter{0};
    return tag + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++);
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string MissingDrive()
{
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Y'; letter > 'C'; --letter) {
        if (!(drives & (1u << (letter - 'A'))))
            return std::string(1, letter) + ":";
    }
    return "";
}

ShortcutInfo ReadShortcut(const std::string& linkPath)
{
    ShortcutInfo info;
    if (FAILED(CoInitialize(nullptr)))
        return info;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH];
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) > 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = {};
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        info.target = text;
        text[0] = '\0';
        link->GetWorkingDirectory(text, MAX_PATH);
        info.workingDirectory = text;
        info.loaded = true;
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return info;
}

std::string UninstallKey(const std::string& name)
{
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
}

static HKEY OpenMachineKey(const std::string& subkey, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

RegValue ReadMachineValue(const std::string& subkey, const char* name, REGSAM view)
{
    RegValue value;
    HKEY key = OpenMachineKey(subkey, view);
    if (!key)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.assign(size, '\0');
        value.found = RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.bytes[0]),
                                       &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

bool MachineKeyExists(const std::string& subkey, REGSAM view)
{
    HKEY key = OpenMachineKey(subkey, view);
    if (key)
        RegCloseKey(key);
    return key != nullptr;
}

DWORD MachineValueCount(const std::string& subkey, REGSAM view)
{
    HKEY key = OpenMachineKey(subkey, view);
    if (!key)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
}

std::string WithTerminator(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }
