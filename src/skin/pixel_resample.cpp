#include "skin/pixel_resample.h"

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kKeyRgb = 0xFF00FF;
constexpr uint32_t kKeyPixel = 0x00FF00FF;   // magenta, alpha 0, as the drawn sets store it
constexpr uint32_t kNearKey = 0xFFFF00FE;    // opaque (255, 0, 254): the nearest colour that is no key

struct Colour {
    float a, r, g, b;  // premultiplied
};

float CatmullRom(float x)
{
    x = std::fabs(x);
    if (x < 1)
        return (1.5f * x - 2.5f) * x * x + 1;
    if (x < 2)
        return ((-0.5f * x + 2.5f) * x - 4) * x + 2;
    return 0;
}

// For each target position along one axis, the source positions that make it and their weights.
struct Taps {
    std::vector<int> start;  // per target: first entry in `index` and `weight`; one more at the end
    std::vector<int> index;
    std::vector<float> weight;
};

Taps MakeTaps(int sourceLength, int targetLength)
{
    const float step = static_cast<float>(sourceLength) / static_cast<float>(targetLength);
    const float widen = step > 1 ? step : 1;  // reducing: the filter covers every source pixel
    const float radius = 2 * widen;
    Taps taps;
    taps.start.reserve(static_cast<size_t>(targetLength) + 1);
    for (int t = 0; t < targetLength; ++t) {
        taps.start.push_back(static_cast<int>(taps.index.size()));
        const float centre = (static_cast<float>(t) + 0.5f) * step - 0.5f;
        const int first = static_cast<int>(std::floor(centre - radius)) + 1;
        const int last = static_cast<int>(std::floor(centre + radius));
        float sum = 0;
        const size_t begin = taps.weight.size();
        for (int i = first; i <= last; ++i) {
            const float w = CatmullRom((static_cast<float>(i) - centre) / widen);
            if (w == 0)
                continue;
            // Past the edges the edge pixel repeats.
            taps.index.push_back(i < 0 ? 0 : (i >= sourceLength ? sourceLength - 1 : i));
            taps.weight.push_back(w);
            sum += w;
        }
        if (sum != 0) {
            for (size_t k = begin; k < taps.weight.size(); ++k)
                taps.weight[k] /= sum;
        }
    }
    taps.start.push_back(static_cast<int>(taps.index.size()));
    return taps;
}

Colour Premultiply(uint32_t pixel)
{
    if ((pixel & 0xFFFFFF) == kKeyRgb)
        return {0, 0, 0, 0};
    const float a = static_cast<float>(pixel >> 24);
    const float f = a / 255;
    return {a, static_cast<float>((pixel >> 16) & 0xFF) * f, static_cast<float>((pixel >> 8) & 0xFF) * f,
            static_cast<float>(pixel & 0xFF) * f};
}

uint32_t Channel(float value)
{
    if (!(value > 0))
        return 0;
    if (value >= 255)
        return 255;
    return static_cast<uint32_t>(value + 0.5f);
}

uint32_t Straighten(const Colour& c, bool keyed)
{
    if (keyed) {
        if (c.a < 127.5f)
            return kKeyPixel;
        const float f = 255 / c.a;
        const uint32_t rgb = Channel(c.r * f) << 16 | Channel(c.g * f) << 8 | Channel(c.b * f);
        return rgb == kKeyRgb ? kNearKey : 0xFF000000 | rgb;
    }
    const uint32_t a = Channel(c.a);
    if (a == 0)
        return 0;
    const float f = 255 / c.a;
    return a << 24 | Channel(c.r * f) << 16 | Channel(c.g * f) << 8 | Channel(c.b * f);
}

}  // namespace

void ResampleSkinPixels(const uint32_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                        uint32_t* target, int targetWidth, int targetHeight, int targetStride)
{
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0)
        return;
    const size_t sw = static_cast<size_t>(sourceWidth), sh = static_cast<size_t>(sourceHeight);
    const size_t tw = static_cast<size_t>(targetWidth);
    bool keyed = false;
    std::vector<Colour> pixels(sw * sh);
    for (size_t y = 0; y < sh; ++y) {
        for (size_t x = 0; x < sw; ++x) {
            const uint32_t p = source[y * static_cast<size_t>(sourceStride) + x];
            keyed = keyed || (p & 0xFFFFFF) == kKeyRgb;
            pixels[y * sw + x] = Premultiply(p);
        }
    }

    // Rows first (into target width x source height), then columns.
    const Taps across = MakeTaps(sourceWidth, targetWidth);
    std::vector<Colour> rows(tw * sh);
    for (size_t y = 0; y < sh; ++y) {
        for (size_t x = 0; x < tw; ++x) {
            Colour sum = {0, 0, 0, 0};
            for (int k = across.start[x]; k < across.start[x + 1]; ++k) {
                const Colour& c = pixels[y * sw + static_cast<size_t>(across.index[k])];
                const float w = across.weight[k];
                sum = {sum.a + c.a * w, sum.r + c.r * w, sum.g + c.g * w, sum.b + c.b * w};
            }
            rows[y * tw + x] = sum;
        }
    }
    const Taps down = MakeTaps(sourceHeight, targetHeight);
    for (size_t y = 0; y < static_cast<size_t>(targetHeight); ++y) {
        for (size_t x = 0; x < tw; ++x) {
            Colour sum = {0, 0, 0, 0};
            for (int k = down.start[y]; k < down.start[y + 1]; ++k) {
                const Colour& c = rows[static_cast<size_t>(down.index[k]) * tw + x];
                const float w = down.weight[k];
                sum = {sum.a + c.a * w, sum.r + c.r * w, sum.g + c.g * w, sum.b + c.b * w};
            }
            target[y * static_cast<size_t>(targetStride) + x] = Straighten(sum, keyed);
        }
    }
}
