#pragma once
// The installer window's child controls, subclassed for two things their own procedures do not
// do: answer WM_GETOBJECT for a screen reader with what the window knows of them
// (accessible_proxy.h), and tell the window when they gain or lose the keyboard focus, which the
// window marks around them. Every message goes on to the control's own procedure (for a skinned
// button, CWINButton's, which was attached first).
#include <windows.h>

class ControlHooks {
public:
    ControlHooks() = default;
    // Gives every control still hooked its procedure back.
    ~ControlHooks();
    ControlHooks(const ControlHooks&) = delete;
    ControlHooks& operator=(const ControlHooks&) = delete;

    bool Attach(HWND control);

private:
    static LRESULT CALLBACK Proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    static constexpr int kMaxControls = 16;
    HWND controls_[kMaxControls] = {};
    int count_ = 0;
};
