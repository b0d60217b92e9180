// BuildKeyedRegion: a window takes the outline of the opaque pixels of a strip's first frame.
#include "skin/skin_image.h"

bool BuildKeyedRegion(HWND window, SkinImage& image)
{
    if (!image.bitmap())
        return false;
    const int frameWidth = image.width() / 4;
    const int height = image.height();

    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (!region)
        OutputDebugStringA("CreateRectRgn wndRgn ERROR");

    SkinImageDc pixels(image);
    HDC dc = pixels.get();
    // One rectangle per maximal run of non-magenta pixels, row by row. Frames are at most
    // 133 x 55 pixels, so reading them through GetPixel stays cheap.
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < frameWidth) {
            while (x < frameWidth && GetPixel(dc, x, y) == KeyColour)
                ++x;
            const int start = x;
            while (x < frameWidth && GetPixel(dc, x, y) != KeyColour)
                ++x;
            HRGN run = CreateRectRgn(start, y, x, y + 1);
            if (!run) {
                OutputDebugStringA("CreateRectRgn temp ERROR");
                continue;
            }
            if (CombineRgn(region, region, run, RGN_OR) == ERROR)
                OutputDebugStringA("CombineRgn ERROR");
            DeleteObject(run);
        }
    }
    // The window owns the region from here on.
    SetWindowRgn(window, region, TRUE);
    return true;
}
