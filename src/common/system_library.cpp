#include "common/system_library.h"

#include "common/fixed_string.h"

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path || !AppendString(path, "\\") || !AppendString(path, fileName))
        return nullptr;
    // The DLL's own imports are then looked for in its folder, the system directory, instead of
    // the executable's: that matters where the search cannot be restricted (app/dll_search.h).
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
