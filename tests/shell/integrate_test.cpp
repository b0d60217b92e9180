// The shell steps of an installation against Wine's real registry, file system and shell.
#include "shell/integrate.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

class IntegrateWithShellTest : public testing::Test {
protected:
    void TearDown() override
    {
        DeleteFileA(desktopLink.c_str());
        RemoveTree(group);
        RemoveTree(commonGroup);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallKey(game).c_str());
    }

    void Integrate(const std::string& installDir, const char* publisher)
    {
        IntegrateWithShell(installDir.c_str(), game.c_str(), (shortcut + ".exe").c_str(), "u.exe", publisher, "客服");
    }

    // `dir` starts with a lower-case drive letter; working directories get it upper-cased.
    void ExpectInstalledAt(const std::string& dir, const char* publisher)
    {
        std::string workingDir = char(toupper(dir[0])) + dir.substr(1, dir.size() - 2);
        for (const std::string& link : {desktopLink, group + "\\" + shortcut + ".lnk"}) {
            EXPECT_EQ(ReadShortcut(link).target, dir + shortcut + ".exe") << link;
            EXPECT_EQ(ReadShortcut(link).workingDirectory, workingDir) << link;
        }
        ShortcutInfo uninstaller = ReadShortcut(group + "\\" + shortcut + "卸载.lnk");
        EXPECT_EQ(uninstaller.target, dir + "uninstall\\u.exe");
        EXPECT_EQ(uninstaller.workingDirectory, workingDir + "\\uninstall");
        WIN32_FIND_DATAA found;
        UniqueFindHandle search(FindFirstFileA((group + "\\*.*").c_str(), &found));
        int files = 0;
        if (search)
            do ++files; while (FindNextFileA(search.get(), &found));
        EXPECT_EQ(files, 4);  // ".", ".." and the two shortcuts

        std::string key = UninstallKey(game);
        EXPECT_EQ(MachineValueCount(key), 7);
        EXPECT_EQ(ReadMachineValue(key, "DisplayName"), ExpandString(game));
        EXPECT_EQ(ReadMachineValue(key, "UninstallString"),
                  ExpandString("\"" + dir + "uninstall\\u.exe\" \"/U:" + dir + "uninstall\\uninstall.ini\""));
        EXPECT_EQ(ReadMachineValue(key, "Publisher"), ExpandString(publisher));
    }

    std::string game = UniqueName("维洛拉");
    std::string shortcut = UniqueName("my.game");  // my.game<n>.exe gives the shortcut name my.game<n>
    std::string desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + shortcut + ".lnk";
    std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + game;
    std::string commonGroup = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + game;
};

}  // namespace

TEST_F(IntegrateWithShellTest, RegistersTheUninstallerAndMakesThreeShortcuts)
{
    Integrate("c:\\Program Files\\维洛拉\\", "星辰");
    ExpectInstalledAt("c:\\Program Files\\维洛拉\\", "星辰");
}

TEST_F(IntegrateWithShellTest, InstallingTwiceLeavesOneSetWithTheSecondRunsValues)
{
    Integrate("c:\\First\\", "first");
    // Leftovers of earlier installations in both Start menus.
    ASSERT_TRUE(WriteFileBytes(group + "\\stale.lnk", "old"));
    ASSERT_TRUE(CreateDirectoryA(commonGroup.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(commonGroup + "\\old.lnk", "old"));

    Integrate("d:\\Second\\", "");
    ExpectInstalledAt("d:\\Second\\", "");
    EXPECT_FALSE(FileExists(commonGroup));
}
