// The installer window's keyboard: the focus order of each page, the keys that press, close and
// move the focus (keyboard_navigation.h decides what a key means), and the mark of the focus.
#include "ui/win32_dialog.h"

#include "common/message_box.h"
#include "ui/control_ids.h"
#include "ui/keyboard_navigation.h"

namespace {

const char kCancelQuestion[] = "确定要取消安装吗？";
const char kCancelCaption[] = "确认";

// The focus mark (PNG 170) reaches this far (100 % units) beyond the control on every side; its
// image keeps corners of 10 of its 24 units unstretched.
constexpr int kFocusRingMargin = 4;
constexpr int kFocusRingCorner = 10, kFocusRingSize = 24;

// Shown and enabled by its own style: its parent may still be hidden (during set-up).
bool Usable(HWND control)
{
    const LONG_PTR style = control ? GetWindowLongPtrA(control, GWL_STYLE) : 0;
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

}  // namespace

bool fgWin32Dialog::HandleDialogKey(const MSG& message)
{
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) || !window_ ||
        (message.hwnd != window_ && !IsChild(window_, message.hwnd)))
        return false;
    HWND focus = GetFocus();
    const int focusId = focus && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
    FocusKind kind = FocusKind::None;
    if (focusId == IDC_AGREE_CHECK)
        kind = FocusKind::CheckBox;
    else if (focusId == IDC_PATH_EDIT)
        kind = FocusKind::Edit;
    else if (ButtonOf(focusId))
        kind = FocusKind::Button;

    const DialogKey key =
        ClassifyDialogKey(message.message, message.wParam, message.lParam, GetKeyState(VK_SHIFT) < 0, kind);
    switch (key) {
    case DialogKey::None:
        return false;
    case DialogKey::Next:
    case DialogKey::Previous:
        ShowFocusCues();
        MoveFocus(key == DialogKey::Previous);
        return true;
    case DialogKey::PressFocused:
        PressByKey(focusId);
        return true;
    case DialogKey::PressDefault:
        // Also used up without a default button: Enter never reaches the one-line edit, which is
        // multi-line to its window class and would take it as a line break.
        if (const int id = PageDefaultButton(viewState_); id && Usable(GetDlgItem(window_, id)))
            PressByKey(id);
        return true;
    case DialogKey::Close:
        CloseByKey();
        return true;
    }
    return false;
}

void fgWin32Dialog::MoveFocus(bool backwards)
{
    const FocusOrder order = PageFocusOrder(viewState_);
    bool usable[8] = {};
    for (int i = 0; i < order.count; ++i)
        usable[i] = Usable(GetDlgItem(window_, order.ids[i]));
    HWND focus = GetFocus();
    const int current = focus && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
    if (const int next = NextInFocusOrder(order, usable, current, backwards)) {
        HWND control = GetDlgItem(window_, next);
        SetFocus(control);
        // As in a dialog: a field entered by the keyboard has its text selected, ready to be
        // typed over.
        if (next == IDC_PATH_EDIT)
            SendMessageA(control, EM_SETSEL, 0, -1);
    }
}

void fgWin32Dialog::FocusFirstControl()
{
    const FocusOrder order = PageFocusOrder(viewState_);
    bool usable[8] = {};
    for (int i = 0; i < order.count; ++i)
        usable[i] = Usable(GetDlgItem(window_, order.ids[i]));
    const int first = NextInFocusOrder(order, usable, 0, false);
    HWND control = first ? GetDlgItem(window_, first) : nullptr;
    // Until the window is active the control waits for the activation (OnActivate).
    savedFocus_ = control;
    if (control && GetActiveWindow() == window_) {
        SetFocus(control);
        if (first == IDC_PATH_EDIT)
            SendMessageA(control, EM_SETSEL, 0, -1);
    }
}

void fgWin32Dialog::OnActivate(bool active)
{
    if (!active) {
        HWND focus = GetFocus();
        if (focus && GetParent(focus) == window_)
            savedFocus_ = focus;
        return;
    }
    if (savedFocus_ && (GetParent(savedFocus_) != window_ || !Usable(savedFocus_)))
        savedFocus_ = nullptr;
    if (savedFocus_)
        SetFocus(savedFocus_);
    else
        FocusFirstControl();
}

void fgWin32Dialog::PressByKey(int id)
{
    // A key never stops an installation unasked: a second Enter after the one that started it, or
    // Esc meant for something else, must not throw the download away.
    if (viewState_ == VIEW_PROGRESS && (id == IDC_CANCEL_INSTALL || id == IDC_CLOSE)) {
        AskToCancel();
        return;
    }
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

void fgWin32Dialog::CloseByKey()
{
    if (viewState_ != VIEW_PROGRESS) {
        OnCommand(IDC_CLOSE, BN_CLICKED);
        return;
    }
    // A job that has ended (its last status was no end of the program) leaves nothing to cancel:
    // the window closes as on a close request from the system.
    const bool running = job_.thread && WaitForSingleObject(job_.thread, 0) == WAIT_TIMEOUT;
    if (running)
        AskToCancel();
    else
        DestroyWindow(window_);
}

void fgWin32Dialog::AskToCancel()
{
    if (askingToCancel_)
        return;
    askingToCancel_ = true;
    // Yes is the default: Enter on the question cancels, as the player who pressed Esc meant.
    const int answer = ShowMessageBox(window_, kCancelQuestion, kCancelCaption, MB_YESNO | MB_ICONQUESTION);
    askingToCancel_ = false;
    if (answer == IDYES)
        OnCommand(IDC_CANCEL_INSTALL, BN_CLICKED);
}

void fgWin32Dialog::ShowFocusCues()
{
    if (focusCues_)
        return;
    focusCues_ = true;
    for (int id = IDC_CANCEL_INSTALL; id <= IDC_PATH_EDIT; ++id) {
        if (CWINButton* button = ButtonOf(id))
            button->SetShowFocus(true);
    }
    RECT area;
    if (FocusRingArea(GetFocus(), area))
        InvalidateRect(window_, &area, TRUE);
}

void fgWin32Dialog::OnControlFocus(HWND control)
{
    RECT area;
    if (focusCues_ && FocusRingArea(control, area))
        InvalidateRect(window_, &area, TRUE);
}

bool fgWin32Dialog::FocusRingArea(HWND control, RECT& area) const
{
    if (!control || GetParent(control) != window_ || !GetWindowRect(control, &area))
        return false;
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
    const int margin = Scaled(kFocusRingMargin);
    InflateRect(&area, margin, margin);
    return true;
}

void fgWin32Dialog::PaintFocusRing(HDC dc)
{
    HWND focus = GetFocus();
    RECT area;
    if (!focusCues_ || !focusRing_.bitmap() || !Usable(focus) || !FocusRingArea(focus, area))
        return;
    DrawNineSlice(focusRing_, dc, area, focusRing_.width() * kFocusRingCorner / kFocusRingSize);
}
