// Shortcuts written through the shell's link object and read back the same way.
#include "shell/shortcut.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

TEST(CreateShortcut, CarriesTheTargetAndItsFolderWithAnUpperCaseDrive)
{
    std::string name = UniqueName("shortcut");
    std::string link = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
    CreateShortcut(ShortcutFolder::Desktop, name.c_str(), "c:\\games\\v\\game.exe");

    ShortcutInfo info = ReadShortcut(link);
    DeleteFileA(link.c_str());
    ASSERT_TRUE(info.loaded);
    EXPECT_STREQ(info.target.c_str(), "c:\\games\\v\\game.exe");
    EXPECT_STREQ(info.workingDirectory.c_str(), "C:\\games\\v");
}

TEST(CreateShortcut, CutsTheWorkingDirectoryBetweenCharacters)
{
    // 衆 ends with the byte of a backslash; the folder is cut at the real last one.
    std::string name = UniqueName("shortcut");
    std::string link = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
    CreateShortcut(ShortcutFolder::Desktop, name.c_str(), "c:\\游戏\\衆.exe");

    ShortcutInfo info = ReadShortcut(link);
    DeleteFileA(link.c_str());
    ASSERT_TRUE(info.loaded);
    EXPECT_STREQ(info.workingDirectory.c_str(), "C:\\游戏");
}

TEST(RemoveShortcut, AnyOtherFolderValueActsAsTheDesktop)
{
    std::string name = UniqueName("中文快捷");
    std::string link = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
    CreateShortcut(static_cast<ShortcutFolder>(5), name.c_str(), "C:\\x\\y.exe");
    EXPECT_TRUE(FileExists(link));
    RemoveShortcut(name.c_str(), static_cast<ShortcutFolder>(5), false);
    EXPECT_FALSE(FileExists(link));
    RemoveShortcut(name.c_str(), ShortcutFolder::Desktop, false);  // already gone: nothing happens
}

TEST(RemoveShortcut, RemovesAWholeGroupFromEitherStartMenu)
{
    for (ShortcutFolder folder : {ShortcutFolder::Programs, ShortcutFolder::CommonPrograms}) {
        std::string name = UniqueName("group");
        std::string group = SpecialFolder(folder == ShortcutFolder::Programs ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) +
                            "\\" + name;
        ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr));
        CreateShortcut(folder, (name + "\\a").c_str(), "C:\\x\\a.exe");
        ASSERT_TRUE(FileExists(group + "\\a.lnk"));
        ASSERT_TRUE(WriteFileBytes(group + "\\note.txt", "n"));

        RemoveShortcut((name + "\\a").c_str(), folder, false);
        EXPECT_FALSE(FileExists(group + "\\a.lnk"));
        EXPECT_TRUE(FileExists(group + "\\note.txt"));
        RemoveShortcut(name.c_str(), folder, true);
        EXPECT_FALSE(FileExists(group));
        RemoveTree(group);
    }
}

TEST(RemoveShortcut, RefusesAGroupNameThatNamesNoFolderOfItsOwn)
{
    // An empty game name would otherwise take the whole Start menu with it.
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    std::string sentinel = programs + "\\" + UniqueName("sentinel");
    ASSERT_TRUE(CreateDirectoryA(sentinel.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(sentinel + "\\keep.txt", "k"));
    std::string sentinelName = sentinel.substr(programs.size() + 1);

    std::vector<std::string> names = {"", ".", "..", "\\", "..\\Programs", sentinelName + "\\..",
                                      "\\" + sentinelName, "C:" + sentinel};
    for (const std::string& name : names)
        RemoveShortcut(name.c_str(), ShortcutFolder::Programs, true);
    EXPECT_TRUE(FileExists(sentinel + "\\keep.txt"));
    RemoveTree(sentinel);
}
