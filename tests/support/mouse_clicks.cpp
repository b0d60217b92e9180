#ifdef _WIN32
#include "support/mouse_clicks.h"

#include "support/gui_test_support.h"

namespace {

void SendKey(WORD key, WCHAR unicode, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = unicode;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

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

bool BringToFront(HWND window)
{
    SetForegroundWindow(window);
    return PumpUntil([&] { return GetForegroundWindow() == window; }, 5000);
}

void PressKey(WORD key, bool shift, bool alt)
{
    if (alt)
        SendKey(VK_MENU, 0, 0);
    if (shift)
        SendKey(VK_SHIFT, 0, 0);
    SendKey(key, 0, 0);
    SendKey(key, 0, KEYEVENTF_KEYUP);
    if (shift)
        SendKey(VK_SHIFT, 0, KEYEVENTF_KEYUP);
    if (alt)
        SendKey(VK_MENU, 0, KEYEVENTF_KEYUP);
    // Time for the strokes to reach the window's queue; its owner handles them.
    Sleep(100);
}

void TypeText(const char* text)
{
    for (const char* c = text; *c; ++c) {
        SendKey(0, static_cast<unsigned char>(*c), KEYEVENTF_UNICODE);
        SendKey(0, static_cast<unsigned char>(*c), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
    }
    Sleep(100);
}
#endif
