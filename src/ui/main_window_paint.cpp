// Painting of the installer window (OnPaint) and its slide timer (OnTimer).
#include "ui/win32_dialog.h"

int fgWin32Dialog::OnPaint(HDC dc)
{
    (void)dc;
    return 0;
}

int fgWin32Dialog::OnTimer(UINT timerId)
{
    (void)timerId;
    return 0;
}
