#pragma once
// GDI+ for the skin images: loaded by full path from the system directory (never linked, so no
// copy of gdiplus.dll beside the installer can take its place), started on the first image load
// and shut down when the last SkinImage goes away. One process-wide lock guards the start, the
// shutdown and the count of living images.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

struct GdiplusApi {
    decltype(&Gdiplus::DllExports::GdipCreateBitmapFromStream) CreateBitmapFromStream;
    decltype(&Gdiplus::DllExports::GdipCreateBitmapFromScan0) CreateBitmapFromScan0;
    decltype(&Gdiplus::DllExports::GdipDisposeImage) DisposeImage;
    decltype(&Gdiplus::DllExports::GdipGetImageWidth) GetImageWidth;
    decltype(&Gdiplus::DllExports::GdipGetImageHeight) GetImageHeight;
    decltype(&Gdiplus::DllExports::GdipGetImagePixelFormat) GetImagePixelFormat;
    decltype(&Gdiplus::DllExports::GdipGetImagePaletteSize) GetImagePaletteSize;
    decltype(&Gdiplus::DllExports::GdipGetImagePalette) GetImagePalette;
    decltype(&Gdiplus::DllExports::GdipBitmapLockBits) BitmapLockBits;
    decltype(&Gdiplus::DllExports::GdipBitmapUnlockBits) BitmapUnlockBits;
    decltype(&Gdiplus::DllExports::GdipGetImageGraphicsContext) GetImageGraphicsContext;
    decltype(&Gdiplus::DllExports::GdipSetCompositingMode) SetCompositingMode;
    decltype(&Gdiplus::DllExports::GdipDrawImageRectI) DrawImageRectI;
    decltype(&Gdiplus::DllExports::GdipDeleteGraphics) DeleteGraphics;
};

// A SkinImage was constructed / destroyed. The last one to go shuts GDI+ down.
void RetainImagingLibrary();
void ReleaseImagingLibrary();

// Starts GDI+ if it is not running and returns its functions, or nullptr when it cannot be
// loaded or started (the next call tries again). Only valid while the caller's image lives.
const GdiplusApi* StartImagingLibrary();

// True while GDI+ is started (for tests of the start/stop rule).
bool ImagingLibraryRunning();
