#pragma once
// The WinINet functions of the downloads, and the multimedia timer of their user agent, loaded
// from the system directory on first use (common/system_library.h says why they are not
// imported). Calls go through this table: `WinInet()->OpenA(...)`.
#include <windows.h>
#include <mmsystem.h>
#include <wininet.h>

struct WinInetApi {
    decltype(&::InternetGetConnectedState) GetConnectedState;
    decltype(&::InternetOpenA) OpenA;
    decltype(&::InternetSetStatusCallbackA) SetStatusCallbackA;
    decltype(&::InternetCrackUrlA) CrackUrlA;
    decltype(&::InternetOpenUrlA) OpenUrlA;
    decltype(&::InternetReadFileExA) ReadFileExA;
    decltype(&::HttpQueryInfoA) HttpQueryInfoA;
    decltype(&::InternetGetLastResponseInfoA) GetLastResponseInfoA;
    decltype(&::InternetCloseHandle) CloseHandle;
    decltype(&::timeGetTime) TimeGetTime;  // winmm
};

// The table, loaded once per process; nullptr when wininet.dll or winmm.dll (or one of the
// functions) cannot be had, and then on every later call too. Safe from any thread.
const WinInetApi* WinInet();
