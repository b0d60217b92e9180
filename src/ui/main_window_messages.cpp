// The installer window's message handler, the job's two messages and the drag band.
#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "ui/control_ids.h"
#include "ui/page_text.h"

#include <commctrl.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {
// The band along the top of the window by which it is dragged: 21 pixels at 100 %, both edges
// included.
constexpr int kDragBandBottom = 20;
}  // namespace

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
    case WM_NCHITTEST:
        return HitTestDragBand();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(LOWORD(wParam));
        return 0;
    case WM_INSTALL_PROGRESS:
        OnProgress(static_cast<int>(lParam));
        return 0;
    case WM_INSTALL_STATUS:
        OnStatus(static_cast<int>(lParam));
        return 0;
    case WM_ACTIVATE:
        // The focus goes to a control of the page, not to the window itself.
        if (!HIWORD(wParam))
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_SETFOCUS:
        OnActivate(true);
        return 0;
    case WM_SYSCOMMAND:
        // Closing from the task bar or the system menu is the close button (asking first during
        // the installation); a plain WM_CLOSE still destroys the window.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            CloseByKey();
            return 0;
        }
        return DefWindowProcA(window_, message, wParam, lParam);
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_GETOBJECT:
        if (const LRESULT answer = AnswerGetObject(window_, wParam, lParam, &fgWin32Dialog::DescribeWindow))
            return answer;
        return DefWindowProcA(window_, message, wParam, lParam);
    default:
        // A close request destroys the window, and WM_DESTROY ends the program.
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

void fgWin32Dialog::OnProgress(int percent)
{
    progressPercent_ = percent;
    InvalidateRect(window_, &percentRect_, TRUE);
    PostMessageA(progressBar_, PBM_SETPOS, percent, 0);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, progressBar_, OBJID_CLIENT, CHILDID_SELF);
}

void fgWin32Dialog::OnStatus(int index)
{
    // The job posts 0..8 only; anything else is no status at all and changes nothing.
    const char* text = StatusText(index);
    if (!text)
        return;
    statusIndex_ = index;
    CopyString(statusText_, text);
    InvalidateRect(window_, &statusRect_, TRUE);
    // The progress bar is named by the status, the progress page too.
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, progressBar_, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, CHILDID_SELF);
    // Failure and completion end the program; the job has closed its boxes by then.
    if (index == STATUS_FAILED)
        PostQuitMessage(kExitInstallFailed);
    else if (index == STATUS_COMPLETE)
        PostQuitMessage(0);
}

LRESULT fgWin32Dialog::HitTestDragBand() const
{
    RECT client;
    GetClientRect(window_, &client);
    POINT origin = {0, 0};
    ClientToScreen(window_, &origin);
    const RECT band = {origin.x, origin.y, origin.x + client.right, origin.y + Scaled(kDragBandBottom)};
    // Where the cursor is now, not where the message says.
    POINT cursor;
    GetCursorPos(&cursor);
    const bool inBand =
        cursor.x >= band.left && cursor.x <= band.right && cursor.y >= band.top && cursor.y <= band.bottom;
    return inBand ? HTCAPTION : HTNOWHERE;
}
