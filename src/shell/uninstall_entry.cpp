#include "shell/uninstall_entry.h"

#include "common/fixed_string.h"
#include "common/win_handles.h"

#include <cstring>

namespace {

constexpr size_t kComposedSize = 1024;  // the key path and each composed value

// String values keep their terminating zero in the stored length.
void SetString(HKEY key, const char* name, const char* value)
{
    RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void RegisterUninstallEntry(const char* keyName, const char* displayName, const char* publisher,
                            const char* contact, const char* uninstallerPath, const char* argument)
{
    if (!keyName || !displayName || !publisher || !contact || !uninstallerPath)
        return;
    // An empty name (or one starting with a backslash) would put the values on the key that holds
    // every program's entry.
    if (keyName[0] == '\0' || keyName[0] == '\\')
        return;

    // A cut key path would name another program's entry, a cut command line another program:
    // nothing is written unless all three fit.
    char subkey[kComposedSize];
    char uninstallString[kComposedSize];
    char displayIcon[kComposedSize];
    bool fitted = FormatString(subkey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", keyName);
    if (argument != nullptr)
        fitted = FormatString(uninstallString, "\"%s\" \"/U:%s\"", uninstallerPath, argument) && fitted;
    else
        fitted = FormatString(uninstallString, "\"%s\"", uninstallerPath) && fitted;
    fitted = FormatString(displayIcon, "\"%s\"", uninstallerPath) && fitted;
    if (!fitted)
        return;

    // A failed call leaves no handle to own, whatever it stored in its result.
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) {
        opened = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, subkey, &opened) != ERROR_SUCCESS)
            return;
    }
    UniqueRegKey key(opened);

    SetString(key.get(), "DisplayName", displayName);
    SetDword(key.get(), "NoModify", 1);
    SetDword(key.get(), "NoRepair", 1);
    SetString(key.get(), "UninstallString", uninstallString);
    SetString(key.get(), "Publisher", publisher);
    SetString(key.get(), "Contact", contact);
    SetString(key.get(), "DisplayIcon", displayIcon);
}
