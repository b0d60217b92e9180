#include "skin/skin_image.h"

#include "common/win_handles.h"
#include "skin/gdiplus_runtime.h"

#include <atomic>

namespace {

// Memory DCs are reused across draws: a process-wide cache of four slots, taken and given back
// with atomic exchanges. A DC that finds no free slot is deleted.
constexpr int kCacheSlots = 4;
std::atomic<HDC> g_dcCache[kCacheSlots] = {};

HDC TakeMemoryDc()
{
    for (auto& slot : g_dcCache) {
        if (HDC dc = slot.exchange(nullptr))
            return dc;
    }
    return CreateCompatibleDC(nullptr);
}

void GiveBackMemoryDc(HDC dc)
{
    for (auto& slot : g_dcCache) {
        HDC expected = nullptr;
        if (slot.compare_exchange_strong(expected, dc))
            return;
    }
    DeleteDC(dc);
}

}  // namespace

SkinImage::SkinImage() { RetainImagingLibrary(); }

SkinImage::~SkinImage()
{
    if (dc_) {  // an access still open: give the DC back before the bitmap goes
        SelectObject(dc_, previousBitmap_);
        GiveBackMemoryDc(dc_);
    }
    if (bitmap_)
        DeleteObject(bitmap_);
    ReleaseImagingLibrary();
}

void SkinImage::Assign(HBITMAP bitmap, int width, int height, int bitsPerPixel, bool hasAlpha)
{
    if (dc_)  // an access is open: the DC switches to the new bitmap
        SelectObject(dc_, bitmap);
    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = bitmap;
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    hasAlpha_ = hasAlpha;
}

HDC SkinImage::AcquireDc()
{
    if (!bitmap_)
        return nullptr;
    if (accessCount_ == 0) {
        HDC dc = TakeMemoryDc();
        if (!dc)
            return nullptr;
        previousBitmap_ = SelectObject(dc, bitmap_);
        dc_ = dc;
    }
    ++accessCount_;
    return dc_;
}

void SkinImage::ReleaseDc()
{
    if (accessCount_ == 0 || --accessCount_ > 0)
        return;
    SelectObject(dc_, previousBitmap_);
    GiveBackMemoryDc(dc_);
    dc_ = nullptr;
    previousBitmap_ = nullptr;
}

bool DrawImage(SkinImage& image, HDC dc, int width, int height, int sourceWidth, int sourceHeight)
{
    if (!dc)
        return false;
    SkinImageDc source(image);
    if (!source.get())
        return false;
    if (image.hasAlpha()) {
        // AlphaBlend takes the colours as premultiplied; they are stored straight, so a pixel
        // adds its full colour: destination = source + destination * (255 - alpha) / 255.
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        return GdiAlphaBlend(dc, 0, 0, width, height, source.get(), 0, 0, sourceWidth, sourceHeight,
                             blend) != FALSE;
    }
    return StretchBlt(dc, 0, 0, width, height, source.get(), 0, 0, sourceWidth, sourceHeight,
                      SRCCOPY) != FALSE;
}

HBITMAP CreateColourSection(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

bool DrawKeyed(SkinImage& image, HDC dc, int width, int height, int sourceX, int sourceWidth,
               int sourceHeight)
{
    if (!dc)
        return false;
    SkinImageDc source(image);
    if (!source.get())
        return false;
    if (image.bitsPerPixel() != 32)
        return GdiTransparentBlt(dc, 0, 0, width, height, source.get(), sourceX, 0, sourceWidth,
                                 sourceHeight, KeyColour) != FALSE;
    // TransparentBlt implementations differ on the fourth byte of 32-bit pixels (Wine matches it
    // as part of the colour, so magenta with alpha 0 would be drawn). The rectangle goes through a
    // 24-bit copy first: only the colour decides.
    UniqueBitmap colours(CreateColourSection(sourceWidth, sourceHeight));
    UniqueMemoryDc copy(CreateCompatibleDC(dc));
    if (!colours || !copy)
        return false;
    ScopedSelectObject select(copy.get(), colours.get());
    if (!BitBlt(copy.get(), 0, 0, sourceWidth, sourceHeight, source.get(), sourceX, 0, SRCCOPY))
        return false;
    return GdiTransparentBlt(dc, 0, 0, width, height, copy.get(), 0, 0, sourceWidth, sourceHeight,
                             KeyColour) != FALSE;
}

bool DrawNineSlice(SkinImage& image, HDC dc, const RECT& area, int corner)
{
    if (!dc)
        return false;
    SkinImageDc source(image);
    if (!source.get())
        return false;
    const int width = area.right - area.left, height = area.bottom - area.top;
    // A corner never takes more than half of the image or of the area.
    int c = corner;
    for (int limit : {image.width() / 2, image.height() / 2, width / 2, height / 2})
        c = c < limit ? c : limit;
    if (c <= 0)
        return false;
    const int sourceMiddleX = image.width() - 2 * c, sourceMiddleY = image.height() - 2 * c;
    const int middleX = width - 2 * c, middleY = height - 2 * c;
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // Columns and rows of the source and the target: the first corner, the stretched edge, the
    // second corner.
    const int sourceX[3] = {0, c, image.width() - c}, sourceW[3] = {c, sourceMiddleX, c};
    const int sourceY[3] = {0, c, image.height() - c}, sourceH[3] = {c, sourceMiddleY, c};
    const int targetX[3] = {area.left, area.left + c, area.right - c}, targetW[3] = {c, middleX, c};
    const int targetY[3] = {area.top, area.top + c, area.bottom - c}, targetH[3] = {c, middleY, c};
    bool drawn = true;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (row == 1 && column == 1)
                continue;
            if (targetW[column] <= 0 || targetH[row] <= 0 || sourceW[column] <= 0 || sourceH[row] <= 0)
                continue;
            drawn = GdiAlphaBlend(dc, targetX[column], targetY[row], targetW[column], targetH[row], source.get(),
                                  sourceX[column], sourceY[row], sourceW[column], sourceH[row], blend) != FALSE &&
                    drawn;
        }
    }
    return drawn;
}

void PremultiplyAlpha(SkinImage& image)
{
    DIBSECTION section = {};
    if (!image.bitmap() || !image.hasAlpha() || image.bitsPerPixel() != 32 ||
        GetObjectA(image.bitmap(), sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return;
    GdiFlush();
    auto* pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
    const size_t count = static_cast<size_t>(image.width()) * static_cast<size_t>(image.height());
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + i * 4;  // blue, green, red, alpha
        const unsigned a = p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = static_cast<uint8_t>((p[k] * a + 127) / 255);
    }
}
