#pragma once
// Skin images: PNG resources of the program decoded into DIB sections, drawn alpha-blended or
// keyed on magenta, and window shapes cut out of them.
#include <windows.h>

#include <cstdint>

// The transparent colour of every keyed image and shape: magenta, exact match only.
constexpr COLORREF KeyColour = RGB(255, 0, 255);

class SkinImage {
public:
    SkinImage();
    ~SkinImage();
    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;

    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    bool hasAlpha() const { return hasAlpha_; }

    // Selects the bitmap into a memory DC (from the process-wide cache) on the first access and
    // deselects it when the last access ends. nullptr without a bitmap or a DC.
    HDC AcquireDc();
    void ReleaseDc();

    // Takes a freshly decoded bitmap section, releasing the previous one.
    void Assign(HBITMAP bitmap, int width, int height, int bitsPerPixel, bool hasAlpha);

private:
    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    bool hasAlpha_ = false;
    HDC dc_ = nullptr;            // memory DC while accessed
    HGDIOBJ previousBitmap_ = nullptr;
    int accessCount_ = 0;
};

// One access to an image's pixels through its memory DC.
class SkinImageDc {
public:
    explicit SkinImageDc(SkinImage& image) : image_(image), dc_(image.AcquireDc()) {}
    ~SkinImageDc()
    {
        if (dc_)
            image_.ReleaseDc();
    }
    SkinImageDc(const SkinImageDc&) = delete;
    SkinImageDc& operator=(const SkinImageDc&) = delete;
    HDC get() const { return dc_; }

private:
    SkinImage& image_;
    HDC dc_;
};

// Decodes PNG resource `id` (type "PNG") of `module` into `image`. On any failure the image stays
// as it was and the result is false.
bool LoadPngResource(HMODULE module, uint16_t id, SkinImage& image);

// The whole image, scaled from (0, 0, sourceWidth, sourceHeight) to (0, 0, width, height) of
// `dc`: alpha-blended with the stored straight alpha when the image has alpha, else copied.
bool DrawImage(SkinImage& image, HDC dc, int width, int height, int sourceWidth, int sourceHeight);

// The source rectangle (sourceX, 0, sourceWidth, sourceHeight) to (0, 0, width, height) of `dc`,
// leaving out KeyColour pixels. Alpha plays no part.
bool DrawKeyed(SkinImage& image, HDC dc, int width, int height, int sourceX, int sourceWidth,
               int sourceHeight);

// A 24-bit DIB section of width x height, black: colours without a fourth byte, so that a keyed
// copy out of it compares colours only (TransparentBlt implementations differ on the fourth byte
// of 32-bit pixels; Wine matches it as part of the colour). nullptr on failure.
HBITMAP CreateColourSection(int width, int height);

// A frame drawn around `area` of `dc` from a 32-bit image whose colours are premultiplied by
// alpha (PremultiplyAlpha): the four corners of `corner` x `corner` pixels as they are, the edges
// stretched between them, the middle left out. False without a DC or bitmap.
bool DrawNineSlice(SkinImage& image, HDC dc, const RECT& area, int corner);

// Multiplies the colours of a 32-bit image with alpha by its alpha, as the blends of DrawNineSlice
// expect; an image without alpha is left as it is.
void PremultiplyAlpha(SkinImage& image);

// Gives `window` the shape of the non-magenta pixels of the first frame of a four-frame strip.
bool BuildKeyedRegion(HWND window, SkinImage& image);
