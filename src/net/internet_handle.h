#pragma once
// Owner of a WinINet handle (session or request). Closing a parent handle takes the handles
// below it down too, so an owner of a child must close it before its parent is closed.
#include "common/unique_resource.h"
#include "net/wininet_api.h"

#include <windows.h>
#include <wininet.h>

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    // A handle exists only once the table was loaded.
    static void Close(Type h) noexcept { WinInet()->CloseHandle(h); }
};
using UniqueInternet = UniqueResource<InternetHandleTraits>;
