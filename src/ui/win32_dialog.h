#pragma once
// fgWin32Dialog: the installer's one top-level window. The framework part registers the window
// class, creates the borderless pop-up window, enters it in the WindowRegistry and routes every
// message from StaticWndProc to the object's HandleMessage. The installer window's own members
// and behaviour follow the framework members (main_window_*.cpp).
#include "common/win_handles.h"
#include "install/install_job.h"
#include "skin/skin_button.h"
#include "skin/skin_image.h"
#include "skin/skin_scale.h"
#include "ui/accessible_proxy.h"
#include "ui/control_hooks.h"

#include <windows.h>

#include <cstdint>

class fgWin32Dialog {
public:
    // Constructs every member empty; creates no window.
    explicit fgWin32Dialog(HINSTANCE instance);
    // Sets the job's cancel flag, leaves the registry, then releases the members (in reverse order
    // of declaration). Not virtual: the entry point owns the object by its own type.
    ~fgWin32Dialog();
    fgWin32Dialog(const fgWin32Dialog&) = delete;
    fgWin32Dialog& operator=(const fgWin32Dialog&) = delete;

    // The five operations, in this slot order.
    // Registers the class `className`, creates the pop-up window (width rect.right, height
    // rect.bottom), enters it in the registry and runs OnInit; shows it when `style` has
    // WS_VISIBLE. True when the window is up and initialised.
    virtual bool Create(const char* className, const char* title, DWORD style, RECT rect,
                        int32_t userValue);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The slide show: timer IDT_SLIDESHOW shows the next slide. Returns 0.
    virtual int OnTimer(UINT timerId);
    // Composes the whole client area off screen and copies it to `dc`, leaving out KeyColour.
    virtual int OnPaint(HDC dc);
    // Creates the controls, fetches the configuration, lays out the start page. True when the
    // window may be shown; false when the program is ending (no configuration could be fetched).
    virtual bool OnInit();

    // The window procedure of the class: the only entry from the system into the framework.
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The window's keyboard (main_window_keys.cpp), called by the message loop for every message
    // before it is translated and dispatched: Tab and Shift+Tab move the focus, Enter and Space
    // press, Esc and Alt+F4 close. True when the message was the window's and is used up.
    bool HandleDialogKey(const MSG& message);
    // A child control gained or lost the keyboard focus (control_hooks.h).
    void OnControlFocus(HWND control);
    // What a screen reader is told of a child control and of the window (main_window_access.cpp).
    static bool DescribeChild(HWND control, AccessibleFacts& facts);
    static bool DescribeWindow(HWND window, AccessibleFacts& facts);

    HWND window() const { return window_; }
    HINSTANCE instance() const { return instance_; }
    int32_t userValue() const { return userValue_; }
    InstallJob& job() { return job_; }

    // What the window shows and will install into, for tests.
    int viewState() const { return viewState_; }
    const char* chosenPath() const { return chosenPath_; }
    const char* defaultPath() const { return defaultPath_; }
    bool invalidPath() const { return invalidPath_ != 0; }
    int statusIndex() const { return statusIndex_; }
    // The scale the window is drawn at (dots per inch; 96 is 100 %) and whether it marks the
    // keyboard focus (from the first key that moves it on, as dialogs do).
    int dpi() const { return dpi_; }
    bool focusCues() const { return focusCues_; }

protected:
    // Set-up (main_window_init.cpp).
    void CreateControls();
    void PlaceWindow();
    CWINButton* ButtonOf(int id);  // the skinned button with that control id, or nullptr
    // The display's scale (main_window_scale.cpp): lengths of the 100 % layout at the window's
    // scale, the images drawn for it, the controls placed for it, and a move to a display of
    // another scale.
    int Scaled(int length) const { return ScaleLength(length, dpi_); }
    RECT Scaled(const RECT& r) const { return {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)}; }
    void LoadWindowImages();
    void PlaceControls();
    void OnDpiChanged(int dpi, const RECT* suggested);
    // The keyboard (main_window_keys.cpp).
    void FocusFirstControl();
    void MoveFocus(bool backwards);
    void PressByKey(int id);
    void CloseByKey();
    void AskToCancel();
    void ShowFocusCues();
    bool FocusRingArea(HWND control, RECT& area) const;
    void PaintFocusRing(HDC dc);
    void OnActivate(bool active);
    // What a screen reader is told (main_window_access.cpp).
    bool Describe(int id, AccessibleFacts& facts) const;
    void DescribePage(AccessibleFacts& facts) const;
    // Layout and commands (main_window_layout.cpp, main_window_commands.cpp).
    void UpdateLayout();
    void OnCommand(int id, int notification);
    void StartInstall();
    void Browse();
    void RestoreDefaultPath();
    void CheckEditedPath();
    void SetPathEditText(const char* text);
    // The job's two messages and the drag band (main_window_messages.cpp).
    void OnProgress(int percent);
    void OnStatus(int index);
    LRESULT HitTestDragBand() const;
    // The pages (main_window_paint.cpp).
    void PaintStartPage(HDC dc, int clientWidth);
    void PaintCustomPage(HDC dc);
    void PaintProgressPage(HDC dc);

    // Framework members.
    HWND window_ = nullptr;
    int32_t userValue_ = 0;  // stored by Create; read nowhere
    HINSTANCE instance_;

    // Installer window members.
    HWND progressBar_ = nullptr;
    HWND agreeCheck_ = nullptr;
    HWND pathEdit_ = nullptr;
    CWINButton cancelButton_;       // 1000
    CWINButton closeButton_;        // 1001
    CWINButton minimizeButton_;     // 1003
    CWINButton installButton_;      // 1004
    CWINButton agreementButton_;    // 1005
    CWINButton customButton_;       // 1006
    CWINButton defaultPathButton_;  // 1009
    CWINButton browseButton_;       // 1008
    CWINButton backButton_;         // 1010
    SkinImage background_;          // PNG 154
    SkinImage banner_;              // PNG 155, start page
    SkinImage slides_[3];           // PNG 166..168, progress page
    int32_t viewState_ = 0;
    char agreementLabel_[264] = "已阅读并同意";
    int32_t slideIndex_ = 0;
    int32_t statusIndex_ = 2;
    int32_t requiredKb_ = 16773;
    int32_t freeKb_ = 0;             // of the drive of the path in use
    int32_t progressPercent_ = 0;
    // Handed to the worker thread; its cancel flag is set on destruction. It lives apart from the
    // window object: a worker that still runs when the window goes away must keep a valid record
    // until the process ends (nothing waits for the worker).
    InstallJob& job_ = *new InstallJob;
    uint8_t invalidPath_ = 0;        // the edited path's drive cannot be queried
    uint8_t autoStart_ = 0;          // "-path " was given
    char statusText_[kPathSize];
    RECT statusRect_ = {};
    RECT percentRect_ = {};
    char defaultPath_[kPathSize] = {};
    char chosenPath_[kPathSize] = {};
    UniqueFont editFont_;            // the path edit's font, kept while the edit lives
    bool settingPathText_ = false;   // the program, not the user, is changing the edit's text
    int dpi_ = kBaseDpi;             // the scale of the display the window is on
    SkinImage focusRing_;            // the keyboard focus mark, premultiplied (PremultiplyAlpha)
    bool focusCues_ = false;         // the focus is marked (after the first key that moves it)
    HWND savedFocus_ = nullptr;      // the control that had the focus when the window lost it
    bool askingToCancel_ = false;    // the cancel question is up
    // Last: destroyed first, it gives the controls back to their skins' procedures.
    ControlHooks controlHooks_;
};
