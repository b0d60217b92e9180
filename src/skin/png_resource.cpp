// LoadPngResource: a PNG resource of the program decoded by GDI+ into a DIB section, keeping the
// alpha values as stored (straight, not premultiplied).
#include "skin/gdiplus_runtime.h"
#include "skin/png_pixels.h"
#include "skin/skin_image.h"
#include "common/win_handles.h"

#include <cstring>

namespace {

using namespace Gdiplus;

// A decoded GDI+ bitmap, disposed with its scope.
class DecodedBitmap {
public:
    explicit DecodedBitmap(const GdiplusApi& api) : api_(api) {}
    ~DecodedBitmap()
    {
        if (bitmap_)
            api_.DisposeImage(bitmap_);
    }
    DecodedBitmap(const DecodedBitmap&) = delete;
    DecodedBitmap& operator=(const DecodedBitmap&) = delete;
    GpBitmap** put() { return &bitmap_; }
    GpBitmap* get() const { return bitmap_; }

private:
    const GdiplusApi& api_;
    GpBitmap* bitmap_ = nullptr;
};

// A stream over a movable global copy of the resource bytes; the block goes with the stream.
bool OpenResourceStream(HMODULE module, uint16_t id, const char* type, ComPtr<IStream>& stream)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!resource)
        return false;
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return false;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return false;
    void* target = GlobalLock(block);
    if (!target) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(block);
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.put()))) {
        GlobalFree(block);
        return false;
    }
    return true;
}

// Bits per pixel of a GDI+ pixel format (stored in bits 8..15 of the format value).
int FormatBits(PixelFormat format) { return static_cast<int>((format >> 8) & 0xFF); }

struct DibFormat {
    PixelFormat format;
    int bitsPerPixel;
    bool hasAlpha;
};

DibFormat ChooseFormat(PixelFormat decoded)
{
    if (decoded & PixelFormatAlpha)
        return {PixelFormat32bppARGB, 32, true};
    if (decoded & PixelFormatGDI)
        return {decoded, FormatBits(decoded), false};
    return {PixelFormat32bppRGB, 32, false};
}

// Header of a bottom-up DIB section (rows padded to 4 bytes) with a colour table that starts
// zeroed, used for 8 bits per pixel or fewer.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

bool CopyPalette(const GdiplusApi& api, GpBitmap* decoded, DibInfo& info)
{
    INT bytes = 0;
    if (api.GetImagePaletteSize(decoded, &bytes) != Ok || bytes < static_cast<INT>(sizeof(ColorPalette)))
        return false;
    // ColorPalette ends in a one-entry array; the full palette follows it in one allocation.
    alignas(ColorPalette) unsigned char storage[sizeof(ColorPalette) + 256 * sizeof(ARGB)];
    if (bytes > static_cast<INT>(sizeof storage))
        return false;
    auto* palette = reinterpret_cast<ColorPalette*>(storage);
    if (api.GetImagePalette(decoded, palette, bytes) != Ok)
        return false;
    if (palette->Count == 0 || palette->Count > 256)
        return false;
    for (UINT i = 0; i < palette->Count; ++i) {
        ARGB c = palette->Entries[i];
        info.colours[i] = {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
    }
    return true;
}

// Same format: row by row, the bytes as decoded (bottom-up in the section).
bool CopyRows(const GdiplusApi& api, GpBitmap* decoded, const DibFormat& dib, int width, int height,
              BYTE* pixels)
{
    GpRect all(0, 0, width, height);
    BitmapData data = {};
    if (api.BitmapLockBits(decoded, &all, ImageLockModeRead, dib.format, &data) != Ok)
        return false;
    const size_t rowBytes = (static_cast<size_t>(width) * dib.bitsPerPixel + 7) / 8;
    const size_t stride = ((static_cast<size_t>(width) * dib.bitsPerPixel + 31) / 32) * 4;
    for (int y = 0; y < height; ++y) {
        const BYTE* from = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        BYTE* to = pixels + static_cast<size_t>(height - 1 - y) * stride;
        std::memcpy(to, from, rowBytes);
    }
    api.BitmapUnlockBits(decoded, &data);
    return true;
}

// Other formats: GDI+ draws the decoded image into a bitmap over the section's own memory.
bool DrawInto(const GdiplusApi& api, GpBitmap* decoded, const DibFormat& dib, int width, int height,
              BYTE* pixels)
{
    const INT stride = static_cast<INT>(((static_cast<size_t>(width) * dib.bitsPerPixel + 31) / 32) * 4);
    BYTE* topRow = pixels + static_cast<size_t>(height - 1) * stride;
    DecodedBitmap wrapper(api);
    if (api.CreateBitmapFromScan0(width, height, -stride, dib.format, topRow, wrapper.put()) != Ok)
        return false;
    GpGraphics* graphics = nullptr;
    if (api.GetImageGraphicsContext(wrapper.get(), &graphics) != Ok)
        return false;
    api.SetCompositingMode(graphics, CompositingModeSourceCopy);
    bool drawn = api.DrawImageRectI(graphics, decoded, 0, 0, width, height) == Ok;
    api.DeleteGraphics(graphics);
    return drawn;
}

// Decodes the resource into `decoded`, with its size and pixel format. GDI+ must stay started
// while the bitmap lives: the caller's image holds it.
bool Decode(HMODULE module, uint16_t id, const char* type, const GdiplusApi& api, DecodedBitmap& decoded,
            UINT& width, UINT& height, PixelFormat& format)
{
    ComPtr<IStream> stream;
    if (!OpenResourceStream(module, id, type, stream))
        return false;
    if (api.CreateBitmapFromStream(stream.get(), decoded.put()) != Ok || !decoded.get())
        return false;
    return api.GetImageWidth(decoded.get(), &width) == Ok && api.GetImageHeight(decoded.get(), &height) == Ok &&
           api.GetImagePixelFormat(decoded.get(), &format) == Ok && width != 0 && height != 0 &&
           width <= 0x7FFF && height <= 0x7FFF;
}

}  // namespace

bool DecodePngPixels(HMODULE module, uint16_t id, const char* type, PngPixels& out)
{
    const GdiplusApi* api = StartImagingLibrary();
    if (!api)
        return false;
    DecodedBitmap decoded(*api);
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    if (!Decode(module, id, type, *api, decoded, width, height, format))
        return false;
    GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    BitmapData data = {};
    if (api->BitmapLockBits(decoded.get(), &all, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return false;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.hasAlpha = (format & PixelFormatAlpha) != 0;
    out.pixels.resize(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(&out.pixels[static_cast<size_t>(y) * width],
                    static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    static_cast<size_t>(width) * 4);
    api->BitmapUnlockBits(decoded.get(), &data);
    return true;
}

bool AssignPixels(SkinImage& image, const uint32_t* pixels, int width, int height, bool hasAlpha)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: bottom-up rows, as every skin image
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap section(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits)
        return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<uint32_t*>(bits) + static_cast<size_t>(height - 1 - y) * width,
                    pixels + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
    GdiFlush();
    image.Assign(section.release(), width, height, 32, hasAlpha);
    return true;
}

bool LoadPngResource(HMODULE module, uint16_t id, SkinImage& image)
{
    const GdiplusApi* api = StartImagingLibrary();
    if (!api)
        return false;
    DecodedBitmap decoded(*api);
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    if (!Decode(module, id, "PNG", *api, decoded, width, height, format))
        return false;
    const DibFormat dib = ChooseFormat(format);
    if (dib.bitsPerPixel == 0)
        return false;

    DibInfo info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = static_cast<LONG>(width);
    info.header.biHeight = static_cast<LONG>(height);  // positive: bottom-up rows
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(dib.bitsPerPixel);
    info.header.biCompression = BI_RGB;
    if ((dib.format & PixelFormatIndexed) && !CopyPalette(*api, decoded.get(), info))
        return false;

    void* pixels = nullptr;
    UniqueBitmap section(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                          DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!section || !pixels)
        return false;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const bool filled = dib.format == format
                            ? CopyRows(*api, decoded.get(), dib, w, h, static_cast<BYTE*>(pixels))
                            : DrawInto(*api, decoded.get(), dib, w, h, static_cast<BYTE*>(pixels));
    if (!filled)
        return false;
    GdiFlush();
    image.Assign(section.release(), w, h, dib.bitsPerPixel, dib.hasAlpha);
    return true;
}
