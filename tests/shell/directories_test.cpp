// Creating and removing directory trees on Wine's real file system.
#include "shell/directories.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(MakeDirectoryPath, CreatesEveryLevelWithMixedSeparatorsAndAgain)
{
    ScratchDir scratch("mkpath");
    std::string path = scratch.path() + "\\Games/Chess\\Data";
    EXPECT_TRUE(MakeDirectoryPath(path.c_str()));
    EXPECT_TRUE(IsDirectory(scratch / "Games"));
    EXPECT_TRUE(IsDirectory(scratch / "Games\\Chess"));
    EXPECT_TRUE(IsDirectory(scratch / "Games\\Chess\\Data"));

    ASSERT_TRUE(WriteFileBytes(scratch / "Games\\Chess\\Data\\keep.txt", "k"));
    EXPECT_TRUE(MakeDirectoryPath(path.c_str()));
    EXPECT_TRUE(MakeDirectoryPath((path + "\\").c_str()));  // the doubled separator fails harmlessly
    EXPECT_TRUE(FileExists(scratch / "Games\\Chess\\Data\\keep.txt"));
}

TEST(MakeDirectoryPath, SplitsOnlyBetweenCharacters)
{
    // The second byte of 衆 (D0 5C) has a backslash's value: a byte-wise scan would make the
    // stray folder "衆" in front of "衆游戏".
    ScratchDir scratch("mkpath");
    std::string path = scratch.path() + "\\衆游戏\\数据";
    EXPECT_TRUE(MakeDirectoryPath(path.c_str()));
    EXPECT_TRUE(IsDirectory(path));
    EXPECT_FALSE(FileExists(scratch / "衆"));
}

TEST(MakeDirectoryPath, ReturnsTrueAndCreatesNothingWithoutTheDriveOrRoom)
{
    std::string drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    EXPECT_TRUE(MakeDirectoryPath((drive + "\\Games\\Chess").c_str()));
    EXPECT_FALSE(FileExists(drive + "\\Games"));

    ScratchDir scratch("mkpath");
    std::string tooLong = scratch.path() + "\\a\\" + std::string(260, 'b');
    EXPECT_TRUE(MakeDirectoryPath(tooLong.c_str()));
    EXPECT_FALSE(FileExists(scratch / "a"));
    EXPECT_TRUE(MakeDirectoryPath(nullptr));
}

TEST(DeleteDirectoryTree, RemovesATreeTwoLevelsDeep)
{
    ScratchDir scratch("deltree");
    std::string top = scratch / "top";
    ASSERT_TRUE(MakeDirectoryPath((top + "\\one\\two").c_str()));
    ASSERT_TRUE(WriteFileBytes(top + "\\a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(top + "\\one\\b.txt", "b"));
    ASSERT_TRUE(WriteFileBytes(top + "\\one\\two\\c.txt", "c"));
    ASSERT_TRUE(WriteFileBytes(scratch / "neighbour.txt", "n"));

    DeleteDirectoryTree(top.c_str());
    EXPECT_FALSE(FileExists(top));
    EXPECT_TRUE(FileExists(scratch / "neighbour.txt"));

    DeleteDirectoryTree(top.c_str());  // missing now: nothing happens
    DeleteDirectoryTree(nullptr);
    EXPECT_TRUE(FileExists(scratch / "neighbour.txt"));
}

TEST(DeleteDirectoryTree, LeavesAReadOnlyFileWithItsAncestors)
{
    ScratchDir scratch("deltree");
    std::string top = scratch / "top";
    ASSERT_TRUE(MakeDirectoryPath((top + "\\one\\two").c_str()));
    ASSERT_TRUE(MakeDirectoryPath((top + "\\other").c_str()));
    ASSERT_TRUE(WriteFileBytes(top + "\\one\\two\\locked.txt", "l"));
    ASSERT_TRUE(WriteFileBytes(top + "\\one\\loose.txt", "x"));
    ASSERT_TRUE(SetFileAttributesA((top + "\\one\\two\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    DeleteDirectoryTree(top.c_str());
    EXPECT_TRUE(FileExists(top + "\\one\\two\\locked.txt"));
    EXPECT_FALSE(FileExists(top + "\\one\\loose.txt"));
    EXPECT_FALSE(FileExists(top + "\\other"));
}
