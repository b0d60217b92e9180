#include "ui/display_dpi.h"

#include "common/system_library.h"
#include "skin/skin_scale.h"

namespace {

// GetDpiForMonitor's signature (shellscalingapi.h), with its monitor-DPI kind: 0, the effective
// DPI, the one the system scales by.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

bool Plausible(UINT dpi) { return dpi >= 48 && dpi <= 960; }

}  // namespace

int WindowDpi(HWND window)
{
    UINT(WINAPI * getDpiForWindow)(HWND) = nullptr;
    if (ResolveFunction(GetModuleHandleA("user32.dll"), "GetDpiForWindow", getDpiForWindow)) {
        const UINT dpi = getDpiForWindow(window);
        if (Plausible(dpi))
            return static_cast<int>(dpi);
    }
    GetDpiForMonitorFunction getDpiForMonitor = nullptr;
    if (ResolveFunction(LoadSystemLibrary("shcore.dll"), "GetDpiForMonitor", getDpiForMonitor)) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(getDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) &&
            Plausible(x))
            return static_cast<int>(x);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return Plausible(static_cast<UINT>(dpi)) ? dpi : kBaseDpi;
}
