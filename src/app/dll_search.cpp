#include "app/dll_search.h"

#include "common/fixed_string.h"
#include "common/system_library.h"

#include <windows.h>

bool HardenDllSearch()
{
    // Looked up rather than imported: a missing import would keep the installer from starting at
    // all on the systems that lack it.
    BOOL(WINAPI * setDefaultDllDirectories)(DWORD) = nullptr;
    if (ResolveFunction(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories) &&
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    SetDllDirectoryA("");
    return false;
}

void PreloadLateSystemDlls()
{
    static const char* const kLateDlls[] = {"windowscodecs.dll", "msimg32.dll"};
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory)
        return;
    for (const char* name : kLateDlls) {
        char path[MAX_PATH];
        if (FormatString(path, "%s\\%s", directory, name))
            LoadLibraryA(path);
    }
}
