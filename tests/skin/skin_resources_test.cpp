// The skin as it ships: every PNG resource of the installer executable.
#include "skin/skin_image.h"
#include "support/gui_test_support.h"
#include "test_paths.h"
#include "ui/resource_ids.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Skin {
    uint16_t id;
    int width, height;
    bool strip;
};
const Skin kSkins[] = {
    {IDB_BACKGROUND, 455, 325, false}, {IDB_BANNER, 455, 200, false},     {IDB_CLOSE, 88, 22, true},
    {IDB_AGREEMENT, 188, 12, true},    {IDB_BACK, 144, 12, true},         {IDB_CANCEL, 188, 12, true},
    {IDB_CUSTOM_INSTALL, 284, 12, true}, {IDB_DEFAULT_PATH, 284, 12, true}, {IDB_MINIMIZE, 88, 22, true},
    {IDB_INSTALL, 532, 55, true},      {IDB_SLIDE_FIRST, 455, 200, false}, {IDB_SLIDE_FIRST + 1, 455, 200, false},
    {IDB_SLIDE_FIRST + 2, 455, 200, false}, {IDB_BROWSE, 208, 31, true},
};

}  // namespace

TEST(InstallerSkin, EveryImageHasItsSizeFormatAndOneOutlinePerStrip)
{
    const std::string exe = std::string(VELLORA_TEST_BINARY_DIR) + "\\src\\app\\vellora_setup.exe";
    HMODULE installer = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(installer, nullptr);
    for (const Skin& skin : kSkins) {
        SCOPED_TRACE(skin.id);
        SkinImage image;
        ASSERT_TRUE(LoadPngResource(installer, skin.id, image));
        EXPECT_EQ(image.width(), skin.width);
        EXPECT_EQ(image.height(), skin.height);
        EXPECT_EQ(image.hasAlpha(), skin.id != IDB_INSTALL);
        EXPECT_EQ(image.bitsPerPixel(), skin.id == IDB_INSTALL ? 24 : 32);
        SkinImageDc pixels(image);
        const int frame = skin.width / 4;
        int keyed = 0;
        for (int y = 0; y < skin.height; ++y) {
            for (int x = 0; x < (skin.strip ? frame : skin.width); ++x) {
                const bool key = GetPixel(pixels.get(), x, y) == KeyColour;
                keyed += key;
                // All four states share frame 0's outline, which shapes the button.
                for (int f = 1; skin.strip && f < 4; ++f)
                    ASSERT_EQ(GetPixel(pixels.get(), f * frame + x, y) == KeyColour, key) << x << "," << y << " frame " << f;
            }
        }
        if (skin.id == IDB_BACKGROUND) {
            EXPECT_EQ(keyed, 0) << "magenta in the background would not reach the window";
        }
    }
    EXPECT_FALSE(FindResourceA(installer, MAKEINTRESOURCEA(157), "PNG"));
    EXPECT_FALSE(FindResourceA(installer, MAKEINTRESOURCEA(165), "PNG"));
    FreeLibrary(installer);
}
