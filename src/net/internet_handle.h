#pragma once
// Owner of a WinINet handle (session or request). Closing a parent handle takes the handles
// below it down too, so an owner of a child must close it before its parent is closed.
#include "common/unique_resource.h"

#include <windows.h>
#include <wininet.h>

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { InternetCloseHandle(h); }
};
using UniqueInternet = UniqueResource<InternetHandleTraits>;
