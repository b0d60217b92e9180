#include "common/join_path.h"

#include <gtest/gtest.h>

#include <string>

static std::string Join(const char* dir, const char* rel)
{
    char out[260];
    EXPECT_TRUE(JoinPath(out, dir, rel)) << dir << " + " << (rel ? rel : "(null)");
    return out;
}

TEST(JoinPath, EmptyNameKeepsDirectoryWithItsTrailingBackslashes)
{
    EXPECT_EQ(Join("D:\\Game\\", ""), "D:\\Game\\");
    EXPECT_EQ(Join("D:\\Game\\\\", nullptr), "D:\\Game\\\\");
    EXPECT_EQ(Join("D:\\Game", ""), "D:\\Game");
}

TEST(JoinPath, JoinsWithExactlyOneBackslash)
{
    EXPECT_EQ(Join("D:\\Game\\", "data.pak"), "D:\\Game\\data.pak");
    EXPECT_EQ(Join("D:\\Game", "data.pak"), "D:\\Game\\data.pak");
    EXPECT_EQ(Join("D:\\Game\\\\\\", "\\\\res\\a.txt"), "D:\\Game\\res\\a.txt");
    EXPECT_EQ(Join("", "\\a"), "\\a");
}

TEST(JoinPath, OnlyBackslashesAreSeparators)
{
    EXPECT_EQ(Join("D:/Game/", "/a"), "D:/Game/\\/a");
}

TEST(JoinPath, GbkNamesPassThroughByteForByte)
{
    // "游戏" in GBK.
    EXPECT_EQ(Join("C:\\\xD3\xCE\xCF\xB7\\", "\xD3\xCE\xCF\xB7.exe"), "C:\\\xD3\xCE\xCF\xB7\\\xD3\xCE\xCF\xB7.exe");
}

TEST(JoinPath, RefusesWhatDoesNotFitAndLeavesOutputEmpty)
{
    char out[8];
    EXPECT_TRUE(JoinPath(out, "abc", "def"));  // 7 bytes + NUL
    EXPECT_STREQ(out, "abc\\def");
    EXPECT_FALSE(JoinPath(out, "abc", "defg"));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(JoinPath(out, "abcdefgh", ""));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(JoinPath(out, 0, "a", "b"));
}
