#include "net/wininet_api.h"

#include "common/system_library.h"

namespace {

WinInetApi g_api = {};
INIT_ONCE g_loadOnce = INIT_ONCE_STATIC_INIT;
bool g_loaded = false;

bool Load(WinInetApi& api)
{
    // Both stay loaded for the rest of the process, like the static imports they replace.
    HMODULE wininet = LoadSystemLibrary("wininet.dll");
    HMODULE winmm = LoadSystemLibrary("winmm.dll");
    return ResolveFunction(wininet, "InternetGetConnectedState", api.GetConnectedState) &&
           ResolveFunction(wininet, "InternetOpenA", api.OpenA) &&
           ResolveFunction(wininet, "InternetSetStatusCallbackA", api.SetStatusCallbackA) &&
           ResolveFunction(wininet, "InternetCrackUrlA", api.CrackUrlA) &&
           ResolveFunction(wininet, "InternetOpenUrlA", api.OpenUrlA) &&
           ResolveFunction(wininet, "InternetReadFileExA", api.ReadFileExA) &&
           ResolveFunction(wininet, "HttpQueryInfoA", api.HttpQueryInfoA) &&
           ResolveFunction(wininet, "InternetGetLastResponseInfoA", api.GetLastResponseInfoA) &&
           ResolveFunction(wininet, "InternetCloseHandle", api.CloseHandle) &&
           ResolveFunction(winmm, "timeGetTime", api.TimeGetTime);
}

BOOL CALLBACK LoadOnce(INIT_ONCE*, void*, void**)
{
    g_loaded = Load(g_api);
    return TRUE;
}

}  // namespace

const WinInetApi* WinInet()
{
    InitOnceExecuteOnce(&g_loadOnce, LoadOnce, nullptr, nullptr);
    return g_loaded ? &g_api : nullptr;
}
