// Which controls each page of the installer window shows.
#include "ui/win32_dialog.h"

#include "ui/control_ids.h"

void fgWin32Dialog::UpdateLayout()
{
    // Close and minimise stay on every page.
    for (int id : {IDC_INSTALL, IDC_AGREEMENT, IDC_CUSTOM_INSTALL, IDC_AGREE_CHECK, IDC_BROWSE, IDC_DEFAULT_PATH,
                   IDC_BACK, IDC_PATH_EDIT, IDC_PROGRESS, IDC_CANCEL_INSTALL})
        ShowWindow(GetDlgItem(window_, id), SW_HIDE);
    KillTimer(window_, IDT_SLIDESHOW);

    auto show = [this](int id) { ShowWindow(GetDlgItem(window_, id), SW_SHOW); };
    switch (viewState_) {
    case VIEW_START:
        show(IDC_INSTALL);
        show(IDC_AGREEMENT);
        if (autoStart_) {
            // "-path ": the installation starts at once, before the window is first shown.
            SendMessageA(window_, WM_COMMAND, IDC_INSTALL, 1);
        } else {
            show(IDC_CUSTOM_INSTALL);
            show(IDC_AGREE_CHECK);
        }
        break;
    case VIEW_CUSTOM:
        show(IDC_BROWSE);
        show(IDC_DEFAULT_PATH);
        show(IDC_BACK);
        show(IDC_PATH_EDIT);
        show(IDC_INSTALL);
        break;
    case VIEW_PROGRESS:
        slideIndex_ = 0;
        show(IDC_PROGRESS);
        // An installation started without the user cannot be cancelled from the window.
        if (!autoStart_)
            show(IDC_CANCEL_INSTALL);
        SetTimer(window_, IDT_SLIDESHOW, kSlidePeriodMs, nullptr);
        break;
    default:
        break;
    }
    InvalidateRect(window_, nullptr, TRUE);
    // The page's first control takes the focus, and a screen reader learns of the new page.
    FocusFirstControl();
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, CHILDID_SELF);
}
