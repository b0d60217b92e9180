#pragma once
// Resizing skin pixels for a display scale between the drawn sets (skin_scale.h).
//
// Pixels are 32-bit 0xAARRGGBB values, as in a 32-bit DIB, rows top first. The filter is
// Catmull-Rom, widened by the reduction factor when reducing, so every source pixel counts and no
// moire appears. It works on colours premultiplied by alpha, and magenta (the key colour, RGB
// 255, 0, 255) counts as "outside the picture", fully transparent: an edge next to keyed pixels
// does not turn pink. A picture with key pixels comes back keyed: a result pixel covered less than
// half becomes magenta, every other one opaque (and never exactly magenta), so keyed drawing and
// window shapes work on the result as on a drawn set. A picture without key pixels keeps its alpha
// (straight, as stored).
#include <cstdint>

// Resizes the source rectangle of `sourceWidth` x `sourceHeight` pixels, whose rows lie
// `sourceStride` pixels apart, into the target rectangle (rows `targetStride` pixels apart).
// All sizes positive.
void ResampleSkinPixels(const uint32_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                        uint32_t* target, int targetWidth, int targetHeight, int targetStride);
