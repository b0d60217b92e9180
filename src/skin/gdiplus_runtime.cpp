#include "skin/gdiplus_runtime.h"

#include "common/system_library.h"
#include "common/win_handles.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
int g_livingImages = 0;
HMODULE g_module = nullptr;
ULONG_PTR g_token = 0;
bool g_running = false;
GdiplusApi g_api = {};

template <typename F>
bool Resolve(F& function, const char* name)
{
    return ResolveFunction(g_module, name, function);
}

bool ResolveAll()
{
    return Resolve(g_api.CreateBitmapFromStream, "GdipCreateBitmapFromStream") &&
           Resolve(g_api.CreateBitmapFromScan0, "GdipCreateBitmapFromScan0") &&
           Resolve(g_api.DisposeImage, "GdipDisposeImage") &&
           Resolve(g_api.GetImageWidth, "GdipGetImageWidth") &&
           Resolve(g_api.GetImageHeight, "GdipGetImageHeight") &&
           Resolve(g_api.GetImagePixelFormat, "GdipGetImagePixelFormat") &&
           Resolve(g_api.GetImagePaletteSize, "GdipGetImagePaletteSize") &&
           Resolve(g_api.GetImagePalette, "GdipGetImagePalette") &&
           Resolve(g_api.BitmapLockBits, "GdipBitmapLockBits") &&
           Resolve(g_api.BitmapUnlockBits, "GdipBitmapUnlockBits") &&
           Resolve(g_api.GetImageGraphicsContext, "GdipGetImageGraphicsContext") &&
           Resolve(g_api.SetCompositingMode, "GdipSetCompositingMode") &&
           Resolve(g_api.DrawImageRectI, "GdipDrawImageRectI") &&
           Resolve(g_api.DeleteGraphics, "GdipDeleteGraphics");
}

void UnloadLocked()
{
    if (g_module)
        FreeLibrary(g_module);
    g_module = nullptr;
    g_api = {};
}

// Loads gdiplus.dll by its full path in the system directory and starts it.
bool StartLocked()
{
    g_module = LoadSystemLibrary("gdiplus.dll");
    if (!g_module)
        return false;
    decltype(&Gdiplus::GdiplusStartup) startup = nullptr;
    if (!ResolveAll() || !Resolve(startup, "GdiplusStartup")) {
        UnloadLocked();
        return false;
    }
    Gdiplus::GdiplusStartupInput input;
    if (startup(&g_token, &input, nullptr) != Gdiplus::Ok) {
        UnloadLocked();
        return false;
    }
    g_running = true;
    return true;
}

void ShutdownLocked()
{
    decltype(&Gdiplus::GdiplusShutdown) shutdown = nullptr;
    if (Resolve(shutdown, "GdiplusShutdown"))
        shutdown(g_token);
    g_token = 0;
    g_running = false;
    UnloadLocked();
}

}  // namespace

void RetainImagingLibrary()
{
    ScopedExclusiveLock lock(g_lock);
    ++g_livingImages;
}

void ReleaseImagingLibrary()
{
    ScopedExclusiveLock lock(g_lock);
    if (--g_livingImages == 0 && g_running)
        ShutdownLocked();
}

const GdiplusApi* StartImagingLibrary()
{
    ScopedExclusiveLock lock(g_lock);
    if (!g_running && !StartLocked())
        return nullptr;
    return &g_api;
}

bool ImagingLibraryRunning()
{
    ScopedExclusiveLock lock(g_lock);
    return g_running;
}
