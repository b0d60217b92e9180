// Directories, free space and the path questions on Wine's real file system.
#include "shell/directories.h"
#include "shell/free_space.h"
#include "shell/path_name.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(MakeDirectoryPath, CreatesEveryLevelWithMixedSeparatorsAndAgain)
{
    ScratchDir scratch("mkpath");
    std::string path = scratch.path() + "\\Games/Chess\\Data";
    EXPECT_TRUE(MakeDirectoryPath(path.c_str()));
    ASSERT_TRUE(WriteFileBytes(scratch / "Games\\Chess\\Data\\keep.txt", "k"));
    EXPECT_TRUE(MakeDirectoryPath(path.c_str()));
    EXPECT_TRUE(MakeDirectoryPath((path + "\\").c_str()));  // the doubled separator fails harmlessly
    EXPECT_TRUE(FileExists(scratch / "Games\\Chess\\Data\\keep.txt"));

    // The second byte of 衆 (D0 5C) has a backslash's value: a byte-wise scan would also make "衆".
    EXPECT_TRUE(MakeDirectoryPath((scratch / "衆游戏\\数据").c_str()));
    EXPECT_TRUE(FileExists(scratch / "衆游戏\\数据"));
    EXPECT_FALSE(FileExists(scratch / "衆"));
}

TEST(MakeDirectoryPath, CreatesNothingWithoutTheDriveOrRoom)
{
    EXPECT_TRUE(MakeDirectoryPath((MissingDrive() + "\\Games\\Chess").c_str()));
    EXPECT_FALSE(FileExists(MissingDrive() + "\\Games"));
    ScratchDir scratch("mkpath");
    EXPECT_TRUE(MakeDirectoryPath((scratch / "a\\" + std::string(260, 'b')).c_str()));
    EXPECT_FALSE(FileExists(scratch / "a"));
    EXPECT_TRUE(MakeDirectoryPath(nullptr));
}

TEST(DeleteDirectoryTree, RemovesTwoLevelsButNotAReadOnlyFileAndItsAncestors)
{
    ScratchDir scratch("deltree");
    for (const char* file : {"top\\a.txt", "top\\one\\b.txt", "top\\one\\two\\c.txt", "kept\\one\\two\\locked.txt",
                             "kept\\one\\loose.txt", "kept\\other\\x.txt"}) {
        std::string path = scratch / file;
        MakeDirectoryPath(path.substr(0, path.rfind('\\')).c_str());
        ASSERT_TRUE(WriteFileBytes(path, "x"));
    }
    SetFileAttributesA((scratch / "kept\\one\\two\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    DeleteDirectoryTree((scratch / "top").c_str());
    DeleteDirectoryTree((scratch / "kept").c_str());
    EXPECT_FALSE(FileExists(scratch / "top"));
    EXPECT_TRUE(FileExists(scratch / "kept\\one\\two\\locked.txt"));
    EXPECT_FALSE(FileExists(scratch / "kept\\one\\loose.txt"));
    EXPECT_FALSE(FileExists(scratch / "kept\\other"));

    DeleteDirectoryTree((scratch / "top").c_str());  // missing: nothing happens
    DeleteDirectoryTree(nullptr);
}

TEST(QueryFreeSpaceKb, AsksTheDriveOfThePathOrGivesMinusOne)
{
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &free, nullptr, nullptr));
    double expected = static_cast<double>(std::min<ULONGLONG>(free.QuadPart >> 10, INT32_MAX));
    EXPECT_NEAR(QueryFreeSpaceKb("C:\\Games\\NotThere"), expected, 65536.0);  // others write meanwhile
    EXPECT_EQ(QueryFreeSpaceKb("\\\\server\\share"), -1);
    EXPECT_EQ(QueryFreeSpaceKb((MissingDrive() + "\\Games").c_str()), -1);
    EXPECT_EQ(QueryFreeSpaceKb(nullptr), -1);
}

TEST(PathEndsWithName, IgnoresOneTrailingSeparatorAndNeedsALongerPath)
{
    EXPECT_TRUE(PathEndsWithName("D:\\Games\\Chess\\", "Chess"));
    EXPECT_TRUE(PathEndsWithName("D:/Games/Chess", "Chess"));
    EXPECT_TRUE(PathEndsWithName("D:\\MyGame\\", "Game"));  // the character before is not looked at
    EXPECT_TRUE(PathEndsWithName("D:\\游戏衆", "戏衆"));     // 衆 ends in 5C but is no separator
    EXPECT_FALSE(PathEndsWithName("Chess", "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Games\\chess\\", "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Games\\Chess\\\\", "Chess"));
    EXPECT_FALSE(PathEndsWithName(nullptr, "Chess"));
    EXPECT_FALSE(PathEndsWithName("D:\\Chess", nullptr));
}
