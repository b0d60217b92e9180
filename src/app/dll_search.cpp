#include "app/dll_search.h"

#include <windows.h>

bool HardenDllSearch()
{
    // Looked up rather than imported: a missing import would keep the installer from starting at
    // all on the systems that lack it.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    SetDllDirectoryA("");
    return false;
}
