// The shell steps of an installation against Wine's real registry, file system and shell.
#include "shell/integrate.h"

#include "shell_test_helpers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

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
        IntegrateWithShell(installDir.c_str(), game.c_str(), exe.c_str(), "u.exe", publisher, "客服");
    }

    // The test names: the game with Chinese in it, the shortcut name derived from the executable.
    void Name(const std::string& shortcutName, const std::string& exeName)
    {
        shortcut = shortcutName;
        exe = exeName;
        desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + shortcut + ".lnk";
        group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + game;
        commonGroup = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + game;
    }

    void ExpectInstalledAt(const std::string& dir)
    {
        std::string exePath = dir + exe;
        std::string workingDir = dir.substr(0, dir.size() - 1);
        workingDir[0] = static_cast<char>(toupper(static_cast<unsigned char>(workingDir[0])));
        for (const std::string& link : {desktopLink, group + "\\" + shortcut + ".lnk"}) {
            ShortcutInfo info = ReadShortcut(link);
            EXPECT_TRUE(info.loaded) << link;
            EXPECT_EQ(info.target, exePath) << link;
            EXPECT_EQ(info.workingDirectory, workingDir) << link;
        }
        ShortcutInfo uninstall = ReadShortcut(group + "\\" + shortcut + "卸载.lnk");
        EXPECT_TRUE(uninstall.loaded);
        EXPECT_EQ(uninstall.target, dir + "uninstall\\u.exe");
        EXPECT_EQ(uninstall.workingDirectory, workingDir + "\\uninstall");
        EXPECT_EQ(ListFolder(group), (std::vector<std::string>{shortcut + ".lnk", shortcut + "卸载.lnk"}));

        std::string key = UninstallKey(game);
        EXPECT_EQ(MachineValueCount(key), 7u);
        EXPECT_EQ(ReadMachineValue(key, "DisplayName").bytes, WithTerminator(game));
        EXPECT_EQ(ReadMachineValue(key, "UninstallString").bytes,
                  WithTerminator("\"" + dir + "uninstall\\u.exe\" \"/U:" + dir + "uninstall\\uninstall.ini\""));
        EXPECT_EQ(ReadMachineValue(key, "DisplayIcon").bytes, WithTerminator("\"" + dir + "uninstall\\u.exe\""));
        EXPECT_EQ(ReadMachineValue(key, "Contact").bytes, WithTerminator("客服"));
    }

    std::string game = UniqueName("维洛拉");
    std::string shortcut, exe, desktopLink, group, commonGroup;
};

}  // namespace

TEST_F(IntegrateWithShellTest, RegistersTheUninstallerAndMakesThreeShortcuts)
{
    std::string stem = UniqueName("game");
    Name(stem, stem + ".exe");
    Integrate("c:\\Program Files\\维洛拉\\", "星辰");

    ExpectInstalledAt("c:\\Program Files\\维洛拉\\");
    EXPECT_EQ(ReadMachineValue(UninstallKey(game), "Publisher").bytes, WithTerminator("星辰"));
}

TEST_F(IntegrateWithShellTest, InstallingTwiceLeavesOneSetWithTheSecondRunsValues)
{
    std::string stem = UniqueName("my.game");
    Name(stem, stem + ".exe");
    Integrate("C:\\First\\", "first");
    // Leftovers of earlier installations in both Start menus.
    ASSERT_TRUE(WriteFileBytes(group + "\\stale.lnk", "old"));
    ASSERT_TRUE(CreateDirectoryA(commonGroup.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(commonGroup + "\\old.lnk", "old"));

    Integrate("D:\\Second\\", "");
    ExpectInstalledAt("D:\\Second\\");
    EXPECT_EQ(ReadMachineValue(UninstallKey(game), "Publisher").bytes, std::string(1, '\0'));
    EXPECT_FALSE(FileExists(commonGroup));
    std::vector<std::string> desktop = ListFolder(SpecialFolder(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(std::count(desktop.begin(), desktop.end(), shortcut + ".lnk"), 1);
}
