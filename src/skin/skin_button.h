#pragma once
// CWINButton: skins an existing push button window ("button" class) without replacing it. The
// window is subclassed and painted here, double-buffered, from a four-frame strip (normal, hover
// or focus, pressed, disabled) or, without a strip, from built-in colours; clicks, keys and the
// parent's notifications stay with the standard button procedure.
#include "common/win_handles.h"
#include "skin/skin_image.h"
#include "skin/skin_scale.h"

#include <windows.h>

#include <cstdint>

class CWINButton {
public:
    CWINButton();
    virtual ~CWINButton();
    CWINButton(const CWINButton&) = delete;
    CWINButton& operator=(const CWINButton&) = delete;

    // Subclasses `button`: window property "CWINBUTTON", owner-drawn style, a rounded first shape.
    bool Attach(HWND button);
    // Loads a strip from PNG resource `id`, sizes the window to one frame and shapes it to frame 0.
    // `dpi` picks the strip drawn for the display's scale (scaled_skin.h); a disabled button
    // loads nothing.
    bool LoadSkin(HMODULE module, uint16_t id, int dpi = kBaseDpi);
    // The strip loaded last, again for a display of `dpi` (the window moved to another scale),
    // whether or not the button is enabled. False (nothing changed) without a strip.
    bool ReloadSkin(int dpi);
    void SetEnabled(bool enabled);
    // Whether keyboard focus shows (frame 1 while focused). On by default; a window that hides
    // focus until the keyboard is used (as dialogs do) turns it off until then.
    void SetShowFocus(bool show);

    // Options the owner may set after construction.
    void SetTextColour(COLORREF colour) { textColour_ = colour; }
    void SetFont(HFONT font);  // the button takes ownership
    void SetIcon(HICON icon) { icon_ = icon; }
    void SetHandCursor(bool on) { handCursor_ = on; }

    HWND window() const { return window_; }
    bool hover() const { return hover_; }
    bool pressed() const { return pressed_; }
    bool enabled() const { return enabled_; }
    bool focus() const { return focus_; }
    bool showFocus() const { return showFocus_; }
    bool skinned() const { return skinned_; }

    // Composes the button as it looks now into `dc` (client size width x height); what WM_PAINT
    // copies to the window.
    void Compose(HDC dc, int width, int height);

private:
    static LRESULT CALLBACK SharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Repaint();
    void Paint();
    void ComposeImage(HDC dc, int width, int height);
    void ComposeColours(HDC dc, int width, int height);
    void DrawCaption(HDC dc, RECT area);
    void DrawBorders(HDC dc, const RECT& inner);
    bool ApplySkin(int dpi);
    bool FocusShown() const { return focus_ && showFocus_; }

    HWND window_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    HICON icon_ = nullptr;
    SkinImage skin_;
    COLORREF textColour_ = 0;
    bool hover_ = false;
    bool pressed_ = false;
    bool enabled_ = true;
    bool focus_ = false;
    bool skinned_ = false;
    bool showFocus_ = true;
    HMODULE skinModule_ = nullptr;
    uint16_t skinId_ = 0;
    char caption_[256] = {};
    UniqueFont font_;
    bool handCursor_ = false;
    UniquePen outlinePen_;
    UniquePen hoverPens_[4];  // left, right, top, bottom
    UniquePen focusPens_[4];
};
