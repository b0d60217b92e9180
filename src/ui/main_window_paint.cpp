// Painting of the installer window (OnPaint) and its slide timer (OnTimer).
#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "ui/control_ids.h"
#include "ui/page_text.h"
#include "ui/product_name.h"
#include "ui/song_font.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kTitleYellow = RGB(255, 246, 150);
constexpr COLORREF kStatusYellow = RGB(254, 247, 167);

constexpr RECT kAgreementLabelRect = {50, 275, 150, 295};
constexpr int kTitleTop = 146, kTitleBottom = 177;
constexpr RECT kPathLabelRect = {40, 100, 290, 120};
constexpr RECT kSpaceLineRect = {40, 128, 290, 148};
constexpr RECT kHeadingRect = {26, 44, 126, 61};

void DrawTextIn(HDC dc, const char* text, RECT area, UINT format = 0)
{
    DrawTextA(dc, text, -1, &area, format);
}

// A keyed page image (banner or slide) at the top left, when it was loaded.
void DrawPageImage(SkinImage& image, HDC dc)
{
    if (image.bitmap())
        DrawKeyed(image, dc, image.width(), image.height(), 0, image.width(), image.height());
}

}  // namespace

int fgWin32Dialog::OnPaint(HDC dc)
{
    if (IsIconic(window_))
        return 0;
    RECT client;
    GetClientRect(window_, &client);
    UniqueMemoryDc canvas(CreateCompatibleDC(dc));
    // 24 bits per pixel: the final keyed copy compares colours only, whatever the alpha-blended
    // background leaves in a fourth byte.
    UniqueBitmap canvasBitmap(CreateColourSection(client.right, client.bottom));
    if (!canvas || !canvasBitmap)
        return 0;
    {
        ScopedSelectObject selectBitmap(canvas.get(), canvasBitmap.get());
        if (background_.bitmap())
            DrawImage(background_, canvas.get(), background_.width(), background_.height(), background_.width(),
                      background_.height());

        SetBkMode(canvas.get(), TRANSPARENT);
        UniqueFont baseFont(CreateSongFont(Scaled(12), Scaled(6), FW_NORMAL));
        ScopedSelectObject selectFont(canvas.get(), baseFont.get());
        SetTextColor(canvas.get(), kWhite);
        switch (viewState_) {
        case VIEW_START:
            PaintStartPage(canvas.get(), client.right);
            break;
        case VIEW_CUSTOM:
            PaintCustomPage(canvas.get());
            break;
        case VIEW_PROGRESS:
            PaintProgressPage(canvas.get());
            break;
        default:
            break;
        }
        PaintFocusRing(canvas.get());
        GdiTransparentBlt(dc, 0, 0, client.right, client.bottom, canvas.get(), 0, 0, client.right, client.bottom,
                          KeyColour);
    }
    return 0;
}

void fgWin32Dialog::PaintStartPage(HDC dc, int clientWidth)
{
    DrawPageImage(banner_, dc);
    DrawTextIn(dc, agreementLabel_, Scaled(kAgreementLabelRect));

    UniqueFont titleFont(CreateSongFont(Scaled(26), Scaled(14), FW_BOLD));
    ScopedSelectObject select(dc, titleFont.get());
    SetTextColor(dc, kTitleYellow);
    // The built-in product name, not the configuration's game name.
    char title[kPathSize];
    FormatString(title, "%s游戏 极速安装", kProductName);
    DrawTextIn(dc, title, RECT{0, Scaled(kTitleTop), clientWidth, Scaled(kTitleBottom)}, DT_CENTER | DT_VCENTER);
}

void fgWin32Dialog::PaintCustomPage(HDC dc)
{
    {
        UniqueFont pathFont(CreateSongFont(Scaled(14), Scaled(7), FW_NORMAL));
        ScopedSelectObject select(dc, pathFont.get());
        DrawTextIn(dc, "安装路径:", Scaled(kPathLabelRect));
        char spaceLine[kPathSize];
        FormatSpaceLine(spaceLine, requiredKb_, freeKb_);
        DrawTextIn(dc, spaceLine, Scaled(kSpaceLineRect));
    }
    UniqueFont headingFont(CreateSongFont(Scaled(16), Scaled(8), FW_BOLD));
    ScopedSelectObject select(dc, headingFont.get());
    SetTextColor(dc, kTitleYellow);
    DrawTextIn(dc, "自定义安装", Scaled(kHeadingRect));
}

void fgWin32Dialog::PaintProgressPage(HDC dc)
{
    if (slideIndex_ >= 0 && slideIndex_ < kSlideCount)
        DrawPageImage(slides_[slideIndex_], dc);
    SetTextColor(dc, kStatusYellow);
    DrawTextIn(dc, statusText_, statusRect_);
    char percent[32];
    FormatPercentText(percent, statusIndex_, progressPercent_);
    DrawTextIn(dc, percent, percentRect_, DT_RIGHT);
}

int fgWin32Dialog::OnTimer(UINT timerId)
{
    if (timerId != IDT_SLIDESHOW)
        return 0;
    slideIndex_ = (slideIndex_ + 1) % kSlideCount;
    const SkinImage& slide = slides_[slideIndex_];
    const RECT area = {0, 0, slide.width(), slide.height()};
    InvalidateRect(window_, &area, TRUE);
    return 0;
}
