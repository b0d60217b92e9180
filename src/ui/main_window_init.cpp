// Set-up of the installer window (OnInit), run by Create before the window is shown, and the
// window set up again for a display of another scale.
#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "common/message_box.h"
#include "shell/free_space.h"
#include "skin/scaled_skin.h"
#include "ui/config_addresses.h"
#include "ui/control_ids.h"
#include "ui/display_dpi.h"
#include "ui/install_path.h"
#include "ui/keyboard_navigation.h"
#include "ui/resource_ids.h"
#include "ui/song_font.h"

#include <commctrl.h>

#include <cstring>

namespace {

const char kNetworkFailure[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决";
const char kNetworkCaption[] = "提示";

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;

// One child control, placed for 100 %. Skinned buttons start at a placeholder size and take their
// skin's.
struct ChildControl {
    int id;
    const char* className;
    DWORD style;
    int x, y, width, height;
    uint16_t skin;  // 0 for the three plain controls
    bool handCursor;
};

// Creation order, which is also the controls' initial Z order.
const ChildControl kControls[] = {
    {IDC_CLOSE, "button", kChildStyle, 419, 13, 37, 31, IDB_CLOSE, false},
    {IDC_MINIMIZE, "button", kChildStyle, 392, 13, 37, 31, IDB_MINIMIZE, false},
    {IDC_INSTALL, "button", kChildStyle, 163, 209, 37, 31, IDB_INSTALL, true},
    {IDC_AGREEMENT, "button", kChildStyle, 126, 275, 37, 31, IDB_AGREEMENT, true},
    {IDC_CUSTOM_INSTALL, "button", kChildStyle, 358, 275, 37, 31, IDB_CUSTOM_INSTALL, true},
    {IDC_AGREE_CHECK, "button", kChildStyle | BS_AUTOCHECKBOX, 24, 275, 13, 13, 0, false},
    {IDC_BROWSE, "button", kChildStyle, 378, 94, 37, 31, IDB_BROWSE, true},
    {IDC_DEFAULT_PATH, "button", kChildStyle, 295, 128, 37, 31, IDB_DEFAULT_PATH, true},
    {IDC_BACK, "button", kChildStyle, 393, 275, 37, 31, IDB_BACK, true},
    // One line that scrolls sideways: a multi-line edit without it wraps at its width and
    // refuses every character beyond its one visible line, so long paths could not be typed.
    {IDC_PATH_EDIT, "edit", kChildStyle | ES_MULTILINE | ES_AUTOHSCROLL, 106, 98, 266, 20, 0, false},
    {IDC_CANCEL_INSTALL, "button", kChildStyle, 384, 275, 37, 31, IDB_CANCEL, true},
    {IDC_PROGRESS, PROGRESS_CLASSA, kChildStyle | PBS_SMOOTH, 18, 253, 419, 19, 0, false},
};

constexpr RECT kStatusRect = {18, 232, 318, 247};
constexpr RECT kPercentRect = {300, 232, 436, 247};
// The window's size without a background image: its creation size.
constexpr int kWindowWidth = 455, kWindowHeight = 325;

// Centres a single line of text vertically in the edit by moving its formatting rectangle down.
void CentreEditText(HWND edit)
{
    RECT area;
    GetClientRect(edit, &area);
    TEXTMETRICA metrics = {};
    {
        ScopedWindowDc dc(edit);
        GetTextMetricsA(dc.get(), &metrics);
    }
    area.top += (area.bottom - (metrics.tmHeight + metrics.tmExternalLeading)) / 2;
    SendMessageA(edit, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&area));
}

}  // namespace

CWINButton* fgWin32Dialog::ButtonOf(int id)
{
    switch (id) {
    case IDC_CANCEL_INSTALL:
        return &cancelButton_;
    case IDC_CLOSE:
        return &closeButton_;
    case IDC_MINIMIZE:
        return &minimizeButton_;
    case IDC_INSTALL:
        return &installButton_;
    case IDC_AGREEMENT:
        return &agreementButton_;
    case IDC_CUSTOM_INSTALL:
        return &customButton_;
    case IDC_DEFAULT_PATH:
        return &defaultPathButton_;
    case IDC_BROWSE:
        return &browseButton_;
    case IDC_BACK:
        return &backButton_;
    default:
        return nullptr;
    }
}

void fgWin32Dialog::CreateControls()
{
    for (const ChildControl& entry : kControls) {
        HWND control = CreateWindowExA(0, entry.className, "", entry.style, Scaled(entry.x), Scaled(entry.y),
                                       Scaled(entry.width), Scaled(entry.height), window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance_, nullptr);
        if (CWINButton* button = ButtonOf(entry.id)) {
            button->Attach(control);
            button->LoadSkin(instance_, entry.skin, dpi_);
            button->SetHandCursor(entry.handCursor);
            button->SetShowFocus(focusCues_);
        } else if (entry.id == IDC_AGREE_CHECK) {
            agreeCheck_ = control;
            SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
        } else if (entry.id == IDC_PATH_EDIT) {
            pathEdit_ = control;
            editFont_.reset(CreateSongFont(Scaled(14), Scaled(7), FW_NORMAL));
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(editFont_.get()), FALSE);
            CentreEditText(control);
        } else if (entry.id == IDC_PROGRESS) {
            progressBar_ = control;
            SendMessageA(control, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageA(control, PBM_SETPOS, 0, 0);
        }
        // On top of the skin's procedure: screen readers and the focus mark (control_hooks.h).
        controlHooks_.Attach(control);
    }
}

void fgWin32Dialog::PlaceControls()
{
    for (const ChildControl& entry : kControls) {
        HWND control = GetDlgItem(window_, entry.id);
        if (CWINButton* button = ButtonOf(entry.id)) {
            SetWindowPos(control, nullptr, Scaled(entry.x), Scaled(entry.y), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            // Sized and shaped by the strip drawn for the scale, raised in creation order as at
            // set-up.
            button->ReloadSkin(dpi_);
        } else {
            SetWindowPos(control, nullptr, Scaled(entry.x), Scaled(entry.y), Scaled(entry.width),
                         Scaled(entry.height), SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // The edit's new font is in place before the old one goes.
    HFONT font = CreateSongFont(Scaled(14), Scaled(7), FW_NORMAL);
    SendMessageA(pathEdit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    editFont_.reset(font);
    CentreEditText(pathEdit_);
    statusRect_ = Scaled(kStatusRect);
    percentRect_ = Scaled(kPercentRect);
}

void fgWin32Dialog::LoadWindowImages()
{
    LoadSkinImage(instance_, IDB_BACKGROUND, dpi_, 1, background_);
    LoadSkinImage(instance_, IDB_BANNER, dpi_, 1, banner_);
    for (int k = 0; k < kSlideCount; ++k)
        LoadSkinImage(instance_, static_cast<uint16_t>(IDB_SLIDE_FIRST + k), dpi_, 1, slides_[k]);
    if (LoadSkinImage(instance_, IDB_FOCUS_RING, dpi_, 1, focusRing_))
        PremultiplyAlpha(focusRing_);
}

void fgWin32Dialog::OnDpiChanged(int dpi, const RECT* suggested)
{
    RECT place;
    if (suggested)
        place = *suggested;
    else
        GetWindowRect(window_, &place);
    if (dpi > 0 && dpi != dpi_) {
        dpi_ = dpi;
        LoadWindowImages();
        PlaceControls();
    }
    // The system suggests where the window goes; its size is the background's at the new scale.
    const int width = background_.bitmap() ? background_.width() : Scaled(kWindowWidth);
    const int height = background_.bitmap() ? background_.height() : Scaled(kWindowHeight);
    SetWindowPos(window_, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

void fgWin32Dialog::PlaceWindow()
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (background_.bitmap()) {
        const int width = background_.width();
        const int height = background_.height();
        const int x = (screenWidth - width) >> 1;
        const int y = (screenHeight - height) >> 1;
        SetWindowPos(window_, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, width, height, SWP_NOZORDER);
        return;
    }
    // Without a background the window keeps its creation size.
    RECT client;
    GetClientRect(window_, &client);
    const int x = (screenWidth - client.right) >> 1;
    const int y = (screenHeight - client.bottom) >> 1;
    SetWindowPos(window_, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

bool fgWin32Dialog::OnInit()
{
    // Everything is placed and drawn for the display the window starts on (96 = the 100 % layout).
    dpi_ = WindowDpi(window_);
    focusCues_ = FocusCuesFromStart();
    CreateControls();
    statusRect_ = Scaled(kStatusRect);
    percentRect_ = Scaled(kPercentRect);

    // "-path <folder>" installs into that folder at once, without the user. An empty value, or
    // one too long for a path, is not used: the window opens as usual.
    char optionPath[kPathSize] = {};
    autoStart_ = TakePathOption(GetCommandLineA(), optionPath) == PathOption::Taken;

    if (!FetchConfiguration(job_)) {
        ShowMessageBox(window_, kNetworkFailure, kNetworkCaption, MB_OK);
        PostQuitMessage(kExitInstallFailed);
        return false;
    }

    // The game's folder is appended to whatever the user types: leave room for it (and keep at
    // least one character for a game name that fills a whole path).
    const int nameLength = static_cast<int>(strlen(job_.gameName));
    const int limit = static_cast<int>(kPathSize) - 1 - nameLength;
    SendMessageA(pathEdit_, EM_LIMITTEXT, limit > 0 ? limit : 1, 0);

    char systemDirectory[MAX_PATH] = {};
    GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
    // A game name too long for a path gets no default folder: the user must pick a shorter one
    // before install is accepted.
    if (!FormatDefaultPath(defaultPath_, systemDirectory, job_.gameName))
        invalidPath_ = 1;
    CopyString(chosenPath_, autoStart_ ? optionPath : defaultPath_);
    SetPathEditText(defaultPath_);

    LoadWindowImages();
    PlaceWindow();

    slideIndex_ = 0;
    // The default folder's drive: the system directory's.
    const int32_t free = QueryFreeSpaceKb(systemDirectory);
    freeKb_ = free < 0 ? 0 : free;

    viewState_ = VIEW_START;
    requiredKb_ = job_.requiredKb;
    // With "-path " this starts the installation.
    UpdateLayout();
    return true;
}
