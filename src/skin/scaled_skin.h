#pragma once
// Skin images for the display's scale (skin_scale.h): the set drawn for that scale as it is, or
// the set of the nearest larger scale reduced (pixel_resample.h).
#include "skin/skin_image.h"

#include <cstdint>

// Loads PNG resource `id` for a display of `dpi` into `image`. An image of `frames` frames side by
// side (a button strip: 4) is resized frame by frame, so the frames keep equal widths and nothing
// of one bleeds into the next. At 96 this is LoadPngResource itself; at other scales the image is
// 32 bits per pixel. A set that lacks the resource is replaced by the 100 % one, resized. On
// failure the image stays as it was and the result is false.
bool LoadSkinImage(HMODULE module, uint16_t id, int dpi, int frames, SkinImage& image);
