// The skin at display scales other than 100 %: the choice of the drawn set, lengths, the resizing
// filter, and images and buttons loaded for a scale.
#include "skin/pixel_resample.h"
#include "skin/scaled_skin.h"
#include "skin/skin_button.h"
#include "skin/skin_scale.h"
#include "support/gui_test_support.h"
#include "test_skins.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kKey = 0x00FF00FF;

bool IsKey(uint32_t pixel) { return (pixel & 0xFFFFFF) == 0xFF00FF; }

}  // namespace

TEST(SkinScale, EachScaleTakesTheNearestLargerSetAndLengthsRoundHalfUp)
{
    const struct {
        int dpi;
        std::string type;
    } sets[] = {{72, "PNG"}, {96, "PNG"}, {97, "PNG150"}, {120, "PNG150"}, {144, "PNG150"},
                {168, "PNG200"}, {192, "PNG200"}, {288, "PNG200"}};
    for (const auto& s : sets)
        EXPECT_EQ(ChooseSkinSet(s.dpi).resourceType, s.type) << s.dpi;
    EXPECT_EQ(ChooseSkinSet(144).dpi, 144);
    EXPECT_EQ(ChooseSkinSet(120).dpi, 144);

    EXPECT_EQ(ScaleLength(163, 144), 245);  // 244.5: halves go up, where make_skin.py placed the art
    EXPECT_EQ(ScaleLength(455, 192), 910);
    EXPECT_EQ(ScaleLength(13, 120), 16);
    EXPECT_EQ(ScaleLength(683, 120, 144), 569);
    EXPECT_EQ(ScaleLength(-3, 144), -5);
    EXPECT_EQ(ScaleLength(7, 96, 0), 7);
}

TEST(SkinScale, ResizingNeverTintsEdgesWithTheKeyAndKeepsAlphaOfUnkeyedPictures)
{
    // An 8 x 8 green square inside a two-pixel magenta border, reduced to 6 x 6 and enlarged to
    // 20 x 20: every pixel is the key or green, never a blend with magenta; corners stay keyed.
    std::vector<uint32_t> square(64, kKey);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x)
            square[y * 8 + x] = 0xFF008000;
    for (int size : {6, 20}) {
        std::vector<uint32_t> out(static_cast<size_t>(size) * size);
        ResampleSkinPixels(square.data(), 8, 8, 8, out.data(), size, size, size);
        for (uint32_t p : out) {
            if (IsKey(p))
                continue;
            EXPECT_EQ(p >> 24, 0xFFu) << size;
            EXPECT_LE((p >> 16) & 0xFF, 8u) << std::hex << p;
            EXPECT_LE(p & 0xFF, 8u) << std::hex << p;
        }
        EXPECT_TRUE(IsKey(out[0]) && IsKey(out[out.size() - 1])) << size;
        EXPECT_FALSE(IsKey(out[(size / 2) * size + size / 2])) << size;
    }

    // Without key pixels the alpha is the picture's own, resized: half-transparent stays half.
    std::vector<uint32_t> glow(16, 0x80FFFFFF), smaller(4);
    ResampleSkinPixels(glow.data(), 4, 4, 4, smaller.data(), 2, 2, 2);
    for (uint32_t p : smaller) {
        EXPECT_NEAR(static_cast<int>(p >> 24), 0x80, 1);
        EXPECT_EQ(p & 0xFFFFFF, 0xFFFFFFu);
    }
}

TEST(SkinScale, ImagesLoadForTheScaleAndStripsResizeFrameByFrame)
{
    const HMODULE self = GetModuleHandleA(nullptr);
    SkinImage atBase, plain;
    ASSERT_TRUE(LoadSkinImage(self, IDT_RGB, 96, 1, atBase));
    ASSERT_TRUE(LoadPngResource(self, IDT_RGB, plain));
    EXPECT_EQ(atBase.bitsPerPixel(), plain.bitsPerPixel()) << "at 100 % the image loads as it always did";

    // The tests carry no 200 % set: the 100 % strip (four 10 x 10 frames of one colour each, a
    // magenta corner) is resized, each frame on its own.
    SkinImage strip;
    ASSERT_TRUE(LoadSkinImage(self, IDT_STRIP, 192, 4, strip));
    ASSERT_EQ(strip.width(), 80);
    ASSERT_EQ(strip.height(), 20);
    EXPECT_EQ(strip.bitsPerPixel(), 32);
    const COLORREF frames[4] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(128, 128, 128)};
    TestCanvas canvas(80, 20, RGB(1, 2, 3));
    ASSERT_TRUE(DrawKeyed(strip, canvas.dc(), 80, 20, 0, 80, 20));
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(canvas.At(f * 20 + 10, 10), frames[f]) << f;
        EXPECT_EQ(canvas.At(f * 20 + 19, 19), frames[f]) << "nothing of the next frame bleeds in: " << f;
        EXPECT_EQ(canvas.At(f * 20, 0), RGB(1, 2, 3)) << "the magenta corner stays keyed: " << f;
    }
    SkinImage missing;
    EXPECT_FALSE(LoadSkinImage(self, IDT_MISSING, 192, 1, missing));
    EXPECT_EQ(missing.bitmap(), nullptr);
}

TEST(SkinScale, ButtonsTakeTheStripOfANewScaleAndShowFocusOnlyWhenAsked)
{
    DesktopLock lock;
    HWND host = CreateWindowExA(0, "static", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    HWND window = CreateWindowExA(0, "button", "", WS_CHILD | WS_VISIBLE, 10, 10, 37, 31, host, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    {
        CWINButton button;
        ASSERT_TRUE(button.Attach(window));
        EXPECT_FALSE(button.ReloadSkin(192)) << "no strip yet";
        ASSERT_TRUE(button.LoadSkin(GetModuleHandleA(nullptr), IDT_STRIP));
        button.SetEnabled(false);
        ASSERT_TRUE(button.ReloadSkin(192)) << "a disabled button follows the scale too";
        RECT rect, shape;
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.right - rect.left, 20);
        EXPECT_EQ(rect.bottom - rect.top, 20);
        UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(window, region.get()), ERROR);
        GetRgnBox(region.get(), &shape);
        EXPECT_EQ(shape.right, 20);
        EXPECT_EQ(shape.bottom, 20);
        POINT topLeft = {0, 0};
        MapWindowPoints(window, host, &topLeft, 1);
        EXPECT_EQ(topLeft.x, 10) << "it keeps its place";

        button.SetEnabled(true);
        button.SetShowFocus(false);
        SetFocus(window);
        EXPECT_TRUE(button.focus());
        TestCanvas canvas(20, 20);
        button.Compose(canvas.dc(), 20, 20);
        EXPECT_EQ(canvas.At(10, 10), RGB(200, 0, 0)) << "focus not shown: frame 0";
        button.SetShowFocus(true);
        button.Compose(canvas.dc(), 20, 20);
        EXPECT_EQ(canvas.At(10, 10), RGB(0, 200, 0)) << "focus shown: frame 1";
    }
    DestroyWindow(host);
}
