#include "app/dll_search.h"

#include "common/system_library.h"

#include <windows.h>

namespace {

// Loaded late by name, through delay imports that ignore a restricted search (Wine's GDI+ and
// common controls).
const char* const kDelayLoaded[] = {"windowscodecs.dll", "propsys.dll", "msimg32.dll"};

// Loaded late by name by the system's own code for the installer: on window creation and for
// themes (uxtheme, dwmapi, msctf, oleacc, usp10, riched20), by the shell and COM for shortcuts
// and folders (userenv, profapi, linkinfo, ntshrui, cscapi, srvcli, shfolder, setupapi, version,
// apphelp), by WinINet for connections, proxies and TLS (rasapi32, rasman, rtutils, sensapi,
// iphlpapi, winnsi, dnsapi, nlaapi, mswsock, secur32, sspicli, schannel, crypt32, msasn1,
// wintrust, ntmarta), by CNG (bcryptprimitives) and by the system for its own use (cryptbase,
// dbghelp). Not KnownDLLs on every Windows that lacks SetDefaultDllDirectories.
const char* const kLateLoaded[] = {
    "uxtheme.dll",  "dwmapi.dll",   "msctf.dll",    "oleacc.dll",   "usp10.dll",    "riched20.dll",
    "userenv.dll",  "profapi.dll",  "linkinfo.dll", "ntshrui.dll",  "cscapi.dll",   "srvcli.dll",
    "shfolder.dll", "setupapi.dll", "version.dll",  "apphelp.dll",  "rasapi32.dll", "rasman.dll",
    "rtutils.dll",  "sensapi.dll",  "iphlpapi.dll", "winnsi.dll",   "dnsapi.dll",   "nlaapi.dll",
    "mswsock.dll",  "secur32.dll",  "sspicli.dll",  "schannel.dll", "crypt32.dll",  "msasn1.dll",
    "wintrust.dll", "ntmarta.dll",  "bcryptprimitives.dll", "cryptbase.dll", "dbghelp.dll",
};

}  // namespace

bool HardenDllSearch(bool forceFallback)
{
    // Looked up rather than imported: a missing import would keep the installer from starting at
    // all on the systems that lack it.
    BOOL(WINAPI * setDefaultDllDirectories)(DWORD) = nullptr;
    if (!forceFallback &&
        ResolveFunction(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories) &&
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    SetDllDirectoryA("");
    return false;
}

void PreloadLateSystemDlls(bool restricted)
{
    for (const char* name : kDelayLoaded)
        LoadSystemLibrary(name);
    if (restricted)
        return;
    for (const char* name : kLateLoaded)
        LoadSystemLibrary(name);
}
