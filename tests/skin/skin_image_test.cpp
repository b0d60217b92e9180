#include "skin/gdiplus_runtime.h"
#include "skin/skin_image.h"
#include "support/gui_test_support.h"
#include "test_skins.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

// Each channel within one step of the expected value (rounding of the blend).
::testing::AssertionResult Near(COLORREF actual, int r, int g, int b)
{
    if (std::abs(GetRValue(actual) - r) <= 1 && std::abs(GetGValue(actual) - g) <= 1 && std::abs(GetBValue(actual) - b) <= 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << actual << " is not " << std::dec << r << "," << g << "," << b;
}

}  // namespace

TEST(SkinImage, LoadKeepsTheDecodedFormatAndAMissingResourceChangesNothing)
{
    SkinImage alpha, plain, missing;
    ASSERT_TRUE(LoadPngResource(Self(), IDT_ALPHA, alpha));
    EXPECT_EQ(alpha.width(), 4);
    EXPECT_EQ(alpha.height(), 1);
    EXPECT_EQ(alpha.bitsPerPixel(), 32);
    EXPECT_TRUE(alpha.hasAlpha());
    ASSERT_TRUE(LoadPngResource(Self(), IDT_RGB, plain));
    EXPECT_EQ(plain.bitsPerPixel(), 24);
    EXPECT_FALSE(plain.hasAlpha());

    EXPECT_FALSE(LoadPngResource(Self(), IDT_MISSING, missing));
    EXPECT_EQ(missing.bitmap(), nullptr);
    TestCanvas canvas(4, 1, RGB(1, 2, 3));
    EXPECT_FALSE(DrawKeyed(missing, canvas.dc(), 4, 1, 0, 4, 1));
    EXPECT_FALSE(DrawImage(missing, canvas.dc(), 4, 1, 4, 1));
    EXPECT_EQ(canvas.At(0, 0), RGB(1, 2, 3));
    EXPECT_FALSE(DrawImage(alpha, nullptr, 4, 1, 4, 1));

    // A failed load leaves an earlier image in place.
    HBITMAP before = plain.bitmap();
    EXPECT_FALSE(LoadPngResource(Self(), IDT_MISSING, plain));
    EXPECT_EQ(plain.bitmap(), before);
}

TEST(SkinImage, DrawImageBlendsTheStoredStraightAlpha)
{
    SkinImage image;
    ASSERT_TRUE(LoadPngResource(Self(), IDT_ALPHA, image));
    TestCanvas canvas(4, 1, RGB(40, 60, 20));
    ASSERT_TRUE(DrawImage(image, canvas.dc(), 4, 1, 4, 1));
    // destination = source + destination * (255 - alpha) / 255
    EXPECT_TRUE(Near(canvas.At(0, 0), 200 + 40 * 127 / 255, 100 + 60 * 127 / 255, 50 + 20 * 127 / 255));
    EXPECT_TRUE(Near(canvas.At(1, 0), 140, 210, 220)) << "alpha 0 still adds its colour";
    EXPECT_TRUE(Near(canvas.At(2, 0), 40, 60, 20)) << "black with alpha 0 leaves the destination";
    EXPECT_TRUE(Near(canvas.At(3, 0), 10, 20, 30));

    SkinImage plain;  // without alpha: a plain stretch
    ASSERT_TRUE(LoadPngResource(Self(), IDT_RGB, plain));
    TestCanvas stretched(4, 2);
    ASSERT_TRUE(DrawImage(plain, stretched.dc(), 4, 2, 2, 1));
    EXPECT_EQ(stretched.At(1, 1), RGB(30, 60, 90));
    EXPECT_EQ(stretched.At(2, 0), RGB(200, 150, 100));
}

TEST(SkinImage, DrawKeyedLeavesOutExactMagentaWhateverTheAlpha)
{
    SkinImage image;
    ASSERT_TRUE(LoadPngResource(Self(), IDT_KEYED, image));
    TestCanvas canvas(4, 1, RGB(1, 2, 3));
    ASSERT_TRUE(DrawKeyed(image, canvas.dc(), 4, 1, 0, 4, 1));
    EXPECT_EQ(canvas.At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(canvas.At(1, 0), RGB(1, 2, 3));
    EXPECT_EQ(canvas.At(2, 0), RGB(10, 200, 30)) << "alpha 0 is copied opaque";
    EXPECT_EQ(canvas.At(3, 0), RGB(255, 0, 254));

    TestCanvas frame(1, 1);  // one column from the middle of the image
    ASSERT_TRUE(DrawKeyed(image, frame.dc(), 1, 1, 2, 1, 1));
    EXPECT_EQ(frame.At(0, 0), RGB(10, 200, 30));
}

TEST(SkinImage, IndexedImagesKeepTheirColours)
{
    SkinImage image;
    ASSERT_TRUE(LoadPngResource(Self(), IDT_PALETTE, image));
    TestCanvas canvas(3, 1);
    ASSERT_TRUE(DrawImage(image, canvas.dc(), 3, 1, 3, 1));
    EXPECT_EQ(canvas.At(0, 0), RGB(12, 34, 56));
    EXPECT_EQ(canvas.At(1, 0), RGB(200, 10, 20));
    EXPECT_EQ(canvas.At(2, 0), RGB(0, 255, 0));
}

TEST(SkinImage, ImagingRunsWhileImagesLiveAndMemoryDcsAreReused)
{
    EXPECT_FALSE(ImagingLibraryRunning());
    HDC first = nullptr;
    {
        SkinImage a, b;
        ASSERT_TRUE(LoadPngResource(Self(), IDT_ALPHA, a));
        ASSERT_TRUE(LoadPngResource(Self(), IDT_RGB, b));
        EXPECT_TRUE(ImagingLibraryRunning());
        first = a.AcquireDc();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(a.AcquireDc(), first);  // nested access: the same DC
        a.ReleaseDc();
        EXPECT_EQ(GetCurrentObject(first, OBJ_BITMAP), a.bitmap());
        a.ReleaseDc();
        EXPECT_NE(GetCurrentObject(first, OBJ_BITMAP), a.bitmap());
        EXPECT_EQ(b.AcquireDc(), first) << "the released DC comes back from the cache";
        b.ReleaseDc();
    }
    EXPECT_FALSE(ImagingLibraryRunning());
    SkinImage again;  // and starts once more
    EXPECT_TRUE(LoadPngResource(Self(), IDT_RGB, again));
}
