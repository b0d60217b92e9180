// Set-up of the installer window (OnInit), run by Create before the window is shown.
#include "ui/win32_dialog.h"

bool fgWin32Dialog::OnInit()
{
    // The window may be shown as it is.
    return true;
}
