// The control of the DLL planting test: a GUI program without any hardening. Creating a window
// makes the system load uxtheme.dll late, through the ordinary search order.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (window)
        DestroyWindow(window);
    return window ? 0 : 1;
}
