// Shortcuts and the uninstall entry, read back through the shell link object and the registry.
#include "shell/shortcut.h"
#include "shell/uninstall_entry.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CreateShortcut, CarriesTheTargetAndItsFolderWithAnUpperCaseDrive)
{
    // 衆 ends in the byte of a backslash: the folder is cut at the real last one.
    for (const char* target : {"c:\\games\\v\\game.exe", "c:\\游戏\\衆.exe"}) {
        std::string name = UniqueName("快捷");
        std::string link = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
        CreateShortcut(static_cast<ShortcutFolder>(5), name.c_str(), target);  // 5 acts as Desktop
        ShortcutInfo info = ReadShortcut(link);
        EXPECT_EQ(info.target, target);
        EXPECT_EQ(info.workingDirectory, std::string(target) == "c:\\games\\v\\game.exe" ? "C:\\games\\v" : "C:\\游戏");
        RemoveShortcut(name.c_str(), static_cast<ShortcutFolder>(5), false);
        EXPECT_FALSE(FileExists(link));
    }
}

TEST(RemoveShortcut, RefusesAGroupNameThatNamesNoFolderOfItsOwn)
{
    // An empty game name would otherwise take the whole Start menu with it.
    std::string name = UniqueName("sentinel");
    std::string sentinel = SpecialFolder(CSIDL_PROGRAMS) + "\\" + name;
    ASSERT_TRUE(CreateDirectoryA(sentinel.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(sentinel + "\\keep.txt", "k"));
    for (const std::string& group : std::vector<std::string>{"", ".", "..", "\\", "..\\Programs", name + "\\..",
                                                             "\\" + name, "C:" + sentinel})
        RemoveShortcut(group.c_str(), ShortcutFolder::Programs, true);
    EXPECT_TRUE(FileExists(sentinel + "\\keep.txt"));
    RemoveTree(sentinel);
}

TEST(RegisterUninstallEntry, WritesTheSevenValuesWithTheirTerminators)
{
    std::string name = UniqueName("维洛拉");
    std::string key = UninstallKey(name);
    RegisterUninstallEntry(name.c_str(), "维洛拉", "星辰", "客服", "C:\\V\\uninstall\\u.exe", "C:\\V\\u.ini");
    EXPECT_EQ(MachineValueCount(key), 7);
    EXPECT_EQ(MachineValueCount(key, kOtherView), -1);  // its own view only
    EXPECT_EQ(ReadMachineValue(key, "DisplayName"), ExpandString("维洛拉"));
    EXPECT_EQ(ReadMachineValue(key, "NoModify"), std::to_string(REG_DWORD) + ":" + std::string("\1\0\0\0", 4));
    EXPECT_EQ(ReadMachineValue(key, "NoRepair"), std::to_string(REG_DWORD) + ":" + std::string("\1\0\0\0", 4));
    EXPECT_EQ(ReadMachineValue(key, "UninstallString"), ExpandString("\"C:\\V\\uninstall\\u.exe\" \"/U:C:\\V\\u.ini\""));
    EXPECT_EQ(ReadMachineValue(key, "Publisher"), ExpandString("星辰"));
    EXPECT_EQ(ReadMachineValue(key, "Contact"), ExpandString("客服"));
    EXPECT_EQ(ReadMachineValue(key, "DisplayIcon"), ExpandString("\"C:\\V\\uninstall\\u.exe\""));

    // Again with empty texts and no argument: the same seven, overwritten.
    RegisterUninstallEntry(name.c_str(), "", "", "", "C:\\a b\\u.exe");
    EXPECT_EQ(MachineValueCount(key), 7);
    EXPECT_EQ(ReadMachineValue(key, "Publisher"), ExpandString(""));
    EXPECT_EQ(ReadMachineValue(key, "UninstallString"), ExpandString("\"C:\\a b\\u.exe\""));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());

    // A missing value, or a command line too long for its buffer: nothing at all, nothing cut.
    std::string longPath = "C:\\" + std::string(600, 'x');
    RegisterUninstallEntry(name.c_str(), "n", nullptr, "c", "u.exe");
    RegisterUninstallEntry(name.c_str(), "n", "p", "c", longPath.c_str(), longPath.c_str());
    EXPECT_EQ(MachineValueCount(key), -1);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());

    // No name: the key of all entries keeps its values as they are.
    std::string all = UninstallKey("");
    all.pop_back();  // no trailing backslash
    int before = MachineValueCount(all);
    RegisterUninstallEntry("", "n", "p", "c", "u.exe");
    RegisterUninstallEntry("\\", "n", "p", "c", "u.exe");
    EXPECT_EQ(MachineValueCount(all), before);
}
