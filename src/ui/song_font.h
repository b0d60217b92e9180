#pragma once
// The one face of every text in the installer window: "宋体" in GB2312, fixed pitch, modern
// family, proof quality. The window's fonts differ only in size and weight.
#include <windows.h>

inline HFONT CreateSongFont(int height, int width, int weight)
{
    return CreateFontA(height, width, 0, 0, weight, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, "宋体");
}
