#ifdef _WIN32
#include "support/mouse_clicks.h"

#include "support/gui_test_support.h"

namespace {

void SendButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

}  // namespace

void ClickAt(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    // A move first, so the control sees the pointer arrive (hover) before the press.
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = 0;
    move.mi.dy = 0;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof move);
    PumpFor(100);
    SendButton(MOUSEEVENTF_LEFTDOWN);
    PumpFor(50);
    SendButton(MOUSEEVENTF_LEFTUP);
    PumpFor(100);
}

bool ClickCentreOf(HWND window)
{
    RECT rect;
    if (!IsWindowVisible(window) || !GetWindowRect(window, &rect))
        return false;
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    return true;
}
#endif
