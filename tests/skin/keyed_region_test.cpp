#include "skin/skin_image.h"
#include "test_skins.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The window region that BuildKeyedRegion gives a window for resource `id`, as rectangles.
std::vector<RECT> RegionOf(uint16_t id, int* type)
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 10, nullptr, nullptr, nullptr, nullptr);
    SkinImage image;
    std::vector<RECT> rects;
    if (!window || !LoadPngResource(GetModuleHandleA(nullptr), id, image) || !BuildKeyedRegion(window, image))
        return rects;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    *type = GetWindowRgn(window, region);
    std::vector<char> data(GetRegionData(region, 0, nullptr));
    if (!data.empty() && GetRegionData(region, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()))) {
        auto* header = reinterpret_cast<RGNDATA*>(data.data());
        auto* first = reinterpret_cast<RECT*>(header->Buffer);
        rects.assign(first, first + header->rdh.nCount);
    }
    DeleteObject(region);
    DestroyWindow(window);
    return rects;
}

bool Contains(const std::vector<RECT>& rects, RECT wanted)
{
    for (const RECT& r : rects) {
        if (EqualRect(&r, &wanted))
            return true;
    }
    return false;
}

}  // namespace

TEST(BuildKeyedRegion, TakesTheRunsOfNonMagentaPixelsOfFrameZero)
{
    int type = 0;
    EXPECT_TRUE(RegionOf(IDT_ALL_MAGENTA, &type).empty());
    EXPECT_EQ(type, NULLREGION);

    std::vector<RECT> full = RegionOf(IDT_OPAQUE, &type);  // (255, 0, 254) included
    ASSERT_EQ(full.size(), 1u);
    EXPECT_TRUE(Contains(full, RECT{0, 0, 4, 3}));

    // Frames of 5 pixels (22 / 4): later frames and the 2 spare columns play no part.
    std::vector<RECT> runs = RegionOf(IDT_RUNS, &type);
    EXPECT_EQ(type, COMPLEXREGION);
    EXPECT_EQ(runs.size(), 4u);
    EXPECT_TRUE(Contains(runs, RECT{1, 0, 4, 1}));
    EXPECT_TRUE(Contains(runs, RECT{0, 1, 2, 2}));
    EXPECT_TRUE(Contains(runs, RECT{3, 1, 5, 2}));
    EXPECT_TRUE(Contains(runs, RECT{0, 2, 5, 3}));
}

TEST(BuildKeyedRegion, ImageWithoutBitmapSetsNothing)
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 10, nullptr, nullptr, nullptr, nullptr);
    SkinImage empty;
    EXPECT_FALSE(BuildKeyedRegion(window, empty));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(window, region), ERROR) << "no region was set";
    DeleteObject(region);
    DestroyWindow(window);
}
