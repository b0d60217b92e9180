#include "ui/control_hooks.h"

#include "ui/accessible_proxy.h"
#include "ui/win32_dialog.h"
#include "ui/window_registry.h"

namespace {
// The procedure the hook replaced, on the control.
constexpr char kPreviousProc[] = "VelloraControlProc";
}  // namespace

ControlHooks::~ControlHooks()
{
    for (int i = 0; i < count_; ++i) {
        HWND control = controls_[i];
        // Only while this hook is still the control's procedure: anything above it keeps its own.
        if (!IsWindow(control) ||
            GetWindowLongPtrA(control, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ControlHooks::Proc))
            continue;
        if (HANDLE previous = RemovePropA(control, kPreviousProc))
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
}

bool ControlHooks::Attach(HWND control)
{
    if (!IsWindow(control) || count_ == kMaxControls)
        return false;
    const LONG_PTR previous = GetWindowLongPtrA(control, GWLP_WNDPROC);
    if (!SetPropA(control, kPreviousProc, reinterpret_cast<HANDLE>(previous)))
        return false;
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlHooks::Proc));
    controls_[count_++] = control;
    return true;
}

LRESULT CALLBACK ControlHooks::Proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(control, kPreviousProc));
    if (!previous)
        return DefWindowProcA(control, message, wParam, lParam);
    if (message == WM_GETOBJECT) {
        if (const LRESULT answer = AnswerGetObject(control, wParam, lParam, &fgWin32Dialog::DescribeChild))
            return answer;
    }
    const LRESULT result = CallWindowProcA(previous, control, message, wParam, lParam);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        if (fgWin32Dialog* dialog = WindowRegistry::Find(GetParent(control)))
            dialog->OnControlFocus(control);
    }
    return result;
}
