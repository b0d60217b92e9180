#pragma once
// PNG resources as plain pixels, for the images that are resized before they are drawn
// (scaled_skin.h), and plain pixels made into a skin image.
#include "skin/skin_image.h"

#include <cstdint>
#include <vector>

struct PngPixels {
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, straight alpha, rows top first
    int width = 0;
    int height = 0;
    bool hasAlpha = false;  // the PNG has an alpha channel (or transparency)
};

// Decodes PNG resource `id` of resource type `type`. False when there is none or it cannot be
// decoded.
bool DecodePngPixels(HMODULE module, uint16_t id, const char* type, PngPixels& out);

// Makes `pixels` (width x height, rows top first) the image's bitmap: a 32-bit section.
bool AssignPixels(SkinImage& image, const uint32_t* pixels, int width, int height, bool hasAlpha);
