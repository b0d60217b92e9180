#include "skin/scaled_skin.h"

#include "skin/pixel_resample.h"
#include "skin/png_pixels.h"
#include "skin/skin_scale.h"

#include <vector>

namespace {

// `decoded`, drawn for `fromDpi`, at `dpi`: each of its frames resized on its own.
bool AssignResized(SkinImage& image, const PngPixels& decoded, int fromDpi, int dpi, int frames)
{
    if (frames < 1 || decoded.width < frames)
        frames = 1;
    const int frameWidth = decoded.width / frames;
    const int targetFrame = ScaleLength(frameWidth, dpi, fromDpi);
    const int targetHeight = ScaleLength(decoded.height, dpi, fromDpi);
    if (targetFrame < 1 || targetHeight < 1)
        return false;
    const int targetWidth = targetFrame * frames;
    std::vector<uint32_t> resized(static_cast<size_t>(targetWidth) * static_cast<size_t>(targetHeight));
    for (int f = 0; f < frames; ++f)
        ResampleSkinPixels(decoded.pixels.data() + static_cast<size_t>(f) * frameWidth, frameWidth, decoded.height,
                           decoded.width, resized.data() + static_cast<size_t>(f) * targetFrame, targetFrame,
                           targetHeight, targetWidth);
    return AssignPixels(image, resized.data(), targetWidth, targetHeight, decoded.hasAlpha);
}

}  // namespace

bool LoadSkinImage(HMODULE module, uint16_t id, int dpi, int frames, SkinImage& image)
{
    const SkinSet set = ChooseSkinSet(dpi);
    if (set.dpi == kBaseDpi && dpi == kBaseDpi)
        return LoadPngResource(module, id, image);
    PngPixels decoded;
    if (DecodePngPixels(module, id, set.resourceType, decoded)) {
        if (set.dpi == dpi)
            return AssignPixels(image, decoded.pixels.data(), decoded.width, decoded.height, decoded.hasAlpha);
        return AssignResized(image, decoded, set.dpi, dpi, frames);
    }
    if (set.dpi != kBaseDpi && DecodePngPixels(module, id, "PNG", decoded))
        return AssignResized(image, decoded, kBaseDpi, dpi, frames);
    return false;
}
