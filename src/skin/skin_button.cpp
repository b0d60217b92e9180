#include "skin/skin_button.h"

#include "common/fixed_string.h"
#include "skin/scaled_skin.h"

namespace {

constexpr char kButtonProperty[] = "CWINBUTTON";

enum Side { kLeft, kRight, kTop, kBottom };

struct BorderPen {
    int width;
    COLORREF colour;
};
constexpr BorderPen kHoverBorder[4] = {
    {3, RGB(250, 196, 88)}, {3, RGB(251, 202, 106)}, {2, RGB(252, 210, 121)}, {2, RGB(229, 151, 0)}};
constexpr BorderPen kFocusBorder[4] = {
    {3, RGB(153, 198, 252)}, {3, RGB(162, 189, 252)}, {2, RGB(162, 201, 255)}, {2, RGB(162, 201, 255)}};

}  // namespace

CWINButton::CWINButton() : outlinePen_(CreatePen(PS_INSIDEFRAME, 1, RGB(255, 255, 255)))
{
    for (int side = 0; side < 4; ++side) {
        hoverPens_[side].reset(CreatePen(PS_INSIDEFRAME, kHoverBorder[side].width, kHoverBorder[side].colour));
        focusPens_[side].reset(CreatePen(PS_INSIDEFRAME, kFocusBorder[side].width, kFocusBorder[side].colour));
    }
}

CWINButton::~CWINButton()
{
    // The window may outlive its skin: it gets its own procedure back and loses the pointer to
    // this object, so no late message can reach a destroyed button.
    if (window_ && previousProc_ && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
        RemovePropA(window_, kButtonProperty);
    }
}

void CWINButton::SetFont(HFONT font) { font_.reset(font); }

bool CWINButton::Attach(HWND button)
{
    if (!IsWindow(button))
        return false;
    window_ = button;
    if (!SetPropA(button, kButtonProperty, this)) {
        OutputDebugStringA("SetProp ERROR");
        return false;
    }
    SetWindowLongPtrA(button, GWL_STYLE, GetWindowLongPtrA(button, GWL_STYLE) | BS_OWNERDRAW);

    RECT client;
    GetClientRect(button, &client);
    SetWindowRgn(button, CreateRoundRectRgn(client.left, client.top, client.right, client.bottom, 5, 5), TRUE);

    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWINButton::SharedProc)));
    return true;
}

bool CWINButton::LoadSkin(HMODULE module, uint16_t id, int dpi)
{
    if (!enabled_)
        return false;
    skinModule_ = module;
    skinId_ = id;
    return ApplySkin(dpi);
}

bool CWINButton::ReloadSkin(int dpi)
{
    return skinned_ && ApplySkin(dpi);
}

bool CWINButton::ApplySkin(int dpi)
{
    // A failed load keeps the earlier strip, if any, and reports the failure.
    if (!LoadSkinImage(skinModule_, skinId_, dpi, 4, skin_) || !skin_.bitmap())
        return false;
    SetWindowPos(window_, HWND_TOP, 0, 0, skin_.width() / 4, skin_.height(),
                 SWP_NOMOVE | SWP_NOOWNERZORDER);
    BuildKeyedRegion(window_, skin_);
    InvalidateRect(window_, nullptr, TRUE);
    skinned_ = true;
    return true;
}

void CWINButton::SetShowFocus(bool show)
{
    if (show == showFocus_)
        return;
    showFocus_ = show;
    if (focus_)
        Repaint();
}

void CWINButton::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    EnableWindow(window_, enabled ? TRUE : FALSE);
    Repaint();
}

void CWINButton::Repaint() { InvalidateRect(window_, nullptr, TRUE); }

LRESULT CALLBACK CWINButton::SharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* button = static_cast<CWINButton*>(GetPropA(window, kButtonProperty));
    if (!button)
        return DefWindowProcA(window, message, wParam, lParam);
    return button->OnMessage(message, wParam, lParam);
}

LRESULT CWINButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS:
        focus_ = true;
        Repaint();
        break;
    case WM_KILLFOCUS:
        focus_ = false;
        Repaint();
        break;
    case WM_ENABLE:
        enabled_ = wParam != 0;
        Repaint();
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything: erasing would only flicker
    case WM_CHAR:
        OutputDebugStringA("WM_CHAR");
        break;
    case WM_DRAWITEM:
        OutputDebugStringA("WM_DRAWITEM");
        break;
    case WM_MOUSEMOVE:
        // Repaint once on entry, not on every move; WM_MOUSELEAVE ends the hover.
        if (!hover_) {
            hover_ = true;
            Repaint();
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, 0};
            TrackMouseEvent(&track);
            if (handCursor_ && enabled_) {
                // Without a class cursor the system stops resetting the cursor over the button,
                // so the hand stays while the mouse is over it (for every "button" window).
                SetClassLongPtrA(window_, GCLP_HCURSOR, 0);
                SetCursor(LoadCursorA(nullptr, IDC_HAND));
            }
        }
        break;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        Repaint();
        break;
    case WM_LBUTTONUP:
        pressed_ = false;
        Repaint();
        break;
    case WM_MOUSELEAVE:
        // Leaving also drops the focus look, though the window keeps the keyboard focus; a held
        // button stays pressed until the button comes up.
        hover_ = false;
        focus_ = false;
        Repaint();
        break;
    default:
        break;
    }
    return CallWindowProcA(previousProc_, window_, message, wParam, lParam);
}

void CWINButton::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    const int saved = SaveDC(dc);
    UniqueRegion clip(CreateRectRgn(0, 0, 0, 0));
    if (clip && GetWindowRgn(window_, clip.get()) != ERROR) {
        if (SelectClipRgn(dc, clip.get()) == ERROR)
            OutputDebugStringA("SelectClipRgn ERROR");
    } else {
        OutputDebugStringA("SelectClipRgn ERROR");
    }

    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        OutputDebugStringA("Create MemDc ERROR");
    SetBkMode(memory, TRANSPARENT);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    const int savedMemory = SaveDC(memory);
    SelectObject(memory, bitmap);

    Compose(memory, width, height);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);

    RestoreDC(memory, savedMemory);
    if (memory && !DeleteDC(memory))
        OutputDebugStringA("DeleteDC(hdcMem) ERROR");
    if (bitmap && !DeleteObject(bitmap))
        OutputDebugStringA("DeleteObject(bmp) ERROR");
    RestoreDC(dc, saved);
    EndPaint(window_, &ps);
}

void CWINButton::Compose(HDC dc, int width, int height)
{
    if (skinned_)
        ComposeImage(dc, width, height);
    else
        ComposeColours(dc, width, height);
}

void CWINButton::ComposeImage(HDC dc, int width, int height)
{
    int frame = 0;
    if (!enabled_)
        frame = 3;
    else if (pressed_)
        frame = 2;
    else if (hover_ || FocusShown())
        frame = 1;
    // Where the frame is magenta the bitmap keeps what it had: black from creation. Our strips
    // share one outline across all four frames, so no such pixel lies inside the window's shape.
    DrawKeyed(skin_, dc, width, height, frame * width, width, height);
    DrawCaption(dc, RECT{0, 0, width, height});
}

void CWINButton::DrawCaption(HDC dc, RECT area)
{
    char text[256] = {};
    if (GetWindowTextA(window_, text, sizeof text) > 0)
        CopyString(caption_, text);
    if (!caption_[0])
        return;
    SetTextColor(dc, enabled_ ? textColour_ : GetSysColor(COLOR_GRAYTEXT));
    ScopedSelectObject font(dc, font_.get());
    DrawTextA(dc, caption_, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void CWINButton::ComposeColours(HDC dc, int width, int height)
{
    {
        ScopedSelectObject pen(dc, outlinePen_.get());
        RoundRect(dc, 0, 0, width, height, 5, 5);
    }
    RECT inner = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE),
                  width - GetSystemMetrics(SM_CXEDGE), height - GetSystemMetrics(SM_CYEDGE)};

    // A vertical gradient of 64 shades from white down to the state's darkest shade.
    UniqueBrush shades[64];
    for (int i = 0; i < 64; ++i) {
        int redGreen, blue;
        if (hover_ && FocusShown()) {
            redGreen = 255 - i / 4;
            blue = 255 - i / 3;
        } else if (hover_) {
            redGreen = 255 - i / 4;
            blue = 255 - i / 5;
        } else if (FocusShown()) {
            redGreen = 255 - i / 3;
            blue = 255 - i / 4;
        } else {
            redGreen = 255 - i / 3;
            blue = 255 - i / 5;
        }
        shades[i].reset(CreateSolidBrush(RGB(redGreen, redGreen, blue)));
    }
    const int innerHeight = inner.bottom - inner.top;
    for (int row = 0; row < innerHeight; ++row) {
        RECT line = {inner.left, inner.top + row, inner.right, inner.top + row + 1};
        FillRect(dc, &line, shades[row * 63 / innerHeight].get());
    }

    if (hover_ || FocusShown())
        DrawBorders(dc, inner);

    if (icon_) {
        ICONINFO info = {};
        if (GetIconInfo(icon_, &info)) {
            if (info.hbmMask)
                DeleteObject(info.hbmMask);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            if (info.fIcon) {
                const int shift = pressed_ ? 1 : 0;
                DrawIcon(dc, 4 + shift, height / 2 - static_cast<int>(info.yHotspot) + shift, icon_);
            }
        }
    }

    RECT captionArea = inner;
    if (pressed_)
        captionArea = RECT{2, 2, width, height};
    DrawCaption(dc, captionArea);
}

void CWINButton::DrawBorders(HDC dc, const RECT& r)
{
    UniquePen* pens = hover_ ? hoverPens_ : focusPens_;
    POINT previousPosition;
    MoveToEx(dc, r.left, r.bottom - 1, &previousPosition);
    HGDIOBJ previousPen = SelectObject(dc, pens[kLeft].get());
    LineTo(dc, r.left, r.top + 1);
    SelectObject(dc, pens[kRight].get());
    MoveToEx(dc, r.right - 1, r.bottom - 1, nullptr);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, pens[kTop].get());
    MoveToEx(dc, r.left - 1, r.top, nullptr);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, pens[kBottom].get());
    MoveToEx(dc, r.left, r.bottom, nullptr);
    LineTo(dc, r.right - 1, r.bottom);
    SelectObject(dc, previousPen);
    MoveToEx(dc, previousPosition.x, previousPosition.y, nullptr);
    if (FocusShown() && !hover_)
        DrawFocusRect(dc, &r);
}
