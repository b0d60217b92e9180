// The window's questions: free space on a drive, and whether a path ends with the game's name.
#include "shell/free_space.h"
#include "shell/integrate.h"
#include "shell/path_name.h"

#include "shell_test_helpers.h"

#include <gtest/gtest.h>

TEST(QueryFreeSpaceKb, AsksTheDriveOfThePath)
{
    ULARGE_INTEGER freeToCaller;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &freeToCaller, nullptr, nullptr));
    unsigned long long expected = freeToCaller.QuadPart >> 10;
    if (expected > INT32_MAX)
        expected = INT32_MAX;

    int32_t kb = QueryFreeSpaceKb("C:\\Games\\NotThere\\");
    EXPECT_GE(kb, 0);
    // Other tests write meanwhile: allow 64 MiB of drift.
    EXPECT_NEAR(static_cast<double>(kb), static_cast<double>(expected), 65536.0);
    EXPECT_GE(QueryFreeSpaceKb("c:"), 0);
}

TEST(QueryFreeSpaceKb, ReportsNoDriveAsMinusOne)
{
    EXPECT_EQ(QueryFreeSpaceKb("\\\\server\\share"), -1);
    EXPECT_EQ(QueryFreeSpaceKb((MissingDrive() + "\\Games").c_str()), -1);
    EXPECT_EQ(QueryFreeSpaceKb(nullptr), -1);
}

TEST(PathEndsWithName, IgnoresOneTrailingSeparatorAndNeedsALongerPath)
{
    EXPECT_TRUE(PathEndsWithName("D:\\Games\\Chess\\", "Chess"));
    EXPECT_TRUE(PathEndsWithName("D:\\Games\\Chess", "Chess"));
    EXPECT_TRUE(PathEndsWithName("D:/Games/Chess/", "Chess"));
    EXPECT_TRUE(PathEndsWithName("D:\\MyGame\\", "Game"));  // the character before is not looked at
    EXPECT_TRUE(PathEndsWithName("D:\\游戏\\象棋\\", "象棋"));
    EXPECT_FALSE(PathEndsWithName("Chess", "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Games\\chess\\", "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Games\\Chess\\\\", "Chess"));  // only one separator is ignored
    EXPECT_FALSE(PathEndsWithName(nullptr, "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Chess", nullptr));
    // 衆 ends with the byte of a backslash; it is a character, not a separator.
    EXPECT_TRUE(PathEndsWithName("D:\\游戏衆", "戏衆"));
}

TEST(MakeShortcutName, CutsBeforeTheLastDot)
{
    char name[8];
    EXPECT_TRUE(MakeShortcutName(name, "game.exe"));
    EXPECT_STREQ(name, "game");
    EXPECT_TRUE(MakeShortcutName(name, "my.game.exe"));
    EXPECT_STREQ(name, "my.game");
    EXPECT_TRUE(MakeShortcutName(name, "game"));
    EXPECT_STREQ(name, "game");
    EXPECT_FALSE(MakeShortcutName(name, "longgame.exe"));
    EXPECT_STREQ(name, "");
}
