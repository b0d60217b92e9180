#include "net/wininet_api.h"

#include "common/system_library.h"

namespace {

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

}  // namespace

const WinInetApi* WinInet()
{
    // A function-local static is initialised once, under the runtime's lock.
    static WinInetApi api = {};
    static const bool loaded = Load(api);
    return loaded ? &api : nullptr;
}
