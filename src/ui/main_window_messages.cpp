// The installer window's message handler.
#include "ui/win32_dialog.h"

LRESULT fgWin32Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        OnPaint(dc);
        EndPaint(window_, &ps);
        return 0;
    }
    default:
        // A close request destroys the window, and WM_DESTROY ends the program.
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}
