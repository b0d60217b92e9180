#include "common/system_library.h"

#include "common/fixed_string.h"

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path || !AppendString(path, "\\") || !AppendString(path, fileName))
        return nullptr;
    return LoadLibraryA(path);
}
