// The installer's late imports (WinINet for the downloads, the multimedia timer for the user
// agent) are delay-loaded: they are no KnownDLLs, so a static import would be looked up beside the
// executable, before WinMain could restrict the search. When the first call comes, this hook loads
// each from the system directory by its full path.
#include "common/fixed_string.h"

#include <windows.h>
#include <delayimp.h>

namespace {

FARPROC WINAPI LoadFromSystemDirectory(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
        return nullptr;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path || !AppendString(path, "\\") || !AppendString(path, info->szDll))
        return nullptr;  // the helper's own load follows, restricted by HardenDllSearch
    return reinterpret_cast<FARPROC>(LoadLibraryA(path));
}

}  // namespace

// Read by the runtime's delay-load helper before it loads a DLL.
PfnDliHook __pfnDliNotifyHook2 = LoadFromSystemDirectory;
