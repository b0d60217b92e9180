#pragma once
// What the shell tests read back: special folders, shortcuts and registry values, through the
// system's own interfaces. Names are unique per test, so test programs can run side by side in
// one Wine prefix.
#include <windows.h>

#include <string>

// A name unique to this process and call, starting with `tag`.
std::string UniqueName(const std::string& tag);

// The path of a special folder (CSIDL_...), without a trailing backslash.
std::string SpecialFolder(int csidl);

// "X:" for a drive letter that does not exist here.
std::string MissingDrive();

// Target path and working directory of a ".lnk" file, loaded through IShellLinkA.
struct ShortcutInfo {
    bool loaded = false;
    std::string target;
    std::string workingDirectory;
};
ShortcutInfo ReadShortcut(const std::string& linkPath);

// One registry value with its type and exact bytes.
struct RegValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

// The uninstall key of `name` below HKEY_LOCAL_MACHINE.
std::string UninstallKey(const std::string& name);

// Reads a value of HKEY_LOCAL_MACHINE\<subkey> in the given view (KEY_WOW64_64KEY or _32KEY).
RegValue ReadMachineValue(const std::string& subkey, const char* name, REGSAM view = KEY_WOW64_64KEY);
bool MachineKeyExists(const std::string& subkey, REGSAM view = KEY_WOW64_64KEY);
// Number of values of the key.
DWORD MachineValueCount(const std::string& subkey, REGSAM view = KEY_WOW64_64KEY);

// A REG_EXPAND_SZ/REG_SZ payload as stored: the text and its terminating zero.
std::string WithTerminator(const std::string& text);
