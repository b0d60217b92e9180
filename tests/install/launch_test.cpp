// Starting programs with LaunchProgram: the demo game for real, and the reasons when nothing
// can start.
#include "install/launch.h"

#include "common/fixed_string.h"
#include "support/gui_test_support.h"
#include "support/running_programs.h"
#include "support/test_support.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kDemoGame = std::string(VELLORA_TEST_BINARY_DIR) + "\\demo\\demo_game.exe";

class LaunchProgramTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& program : copies)
            EndProgramsAt(program);
    }

    // A copy of the demo game at `path`; it writes started.txt beside itself when it runs.
    void PlaceGame(const std::string& path)
    {
        copies.push_back(path);
        ASSERT_TRUE(CopyFileA(kDemoGame.c_str(), path.c_str(), FALSE)) << path;
    }

    bool Launch(const std::string& path) { return LaunchProgram(job, path.c_str()); }

    // A started game window takes the activation, and with it the mouse capture of a test that
    // is clicking meanwhile: the desktop is this test's while it starts games.
    DesktopLock lock;
    ScratchDir scratch{"launch"};
    std::vector<std::string> copies;
    InstallJob job;
};

}  // namespace

TEST_F(LaunchProgramTest, StartsTheGameAndNotAProgramPlantedBeforeItsBlank)
{
    // Unquoted, "...\Program Files\Game\demo_game.exe" would be tried as "...\Program.exe" first.
    ASSERT_TRUE(CreateDirectoryA((scratch / "Program Files").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((scratch / "Program Files\\Game").c_str(), nullptr));
    std::string game = scratch / "Program Files\\Game\\demo_game.exe";
    PlaceGame(game);
    PlaceGame(scratch / "Program.exe");
    CopyString(job.message, "untouched");

    EXPECT_TRUE(Launch(game));
    EXPECT_STREQ(job.message, "untouched");
    EXPECT_TRUE(WaitForFile(scratch / "Program Files\\Game\\started.txt"));
    std::string started;
    ReadFileBytes(scratch / "Program Files\\Game\\started.txt", &started);
    EXPECT_NE(started.find("command line: \"" + game + "\""), std::string::npos) << started;
    EXPECT_FALSE(WaitForFile(scratch / "started.txt", 1500));
}

TEST_F(LaunchProgramTest, NamesAMissingFileAndAFileThatIsNoProgram)
{
    EXPECT_FALSE(Launch(scratch / "missing.exe"));
    EXPECT_EQ(std::string(job.message), "找不到" + (scratch / "missing.exe") + "文件.");

    ASSERT_TRUE(WriteFileBytes(scratch / "readme.exe", "just some text, not a program\r\n"));
    EXPECT_FALSE(Launch(scratch / "readme.exe"));
    EXPECT_EQ(std::string(job.message), (scratch / "readme.exe") + "文件不是有效运行程序.");
}

TEST_F(LaunchProgramTest, CutsALongTextOnAWholeCharacter)
{
    // "找不到" + path + "文件." with a 253-byte path is 264 bytes; 260 would end in half of 文.
    std::string folder = scratch / "长";
    while (folder.size() < 243)
        folder += "长";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string path = folder + "\\" + std::string(253 - folder.size() - 1 - 4, 'x') + ".exe";
    ASSERT_EQ(path.size(), 253u);

    EXPECT_FALSE(Launch(path));
    EXPECT_EQ(std::string(job.message), "找不到" + path);
    EXPECT_EQ(GbkPrefixLength(job.message, strlen(job.message)), strlen(job.message));

    // Too long to be started at all.
    EXPECT_FALSE(Launch(scratch.path() + "\\" + std::string(300, 'y') + ".exe"));
    EXPECT_STREQ(job.message, "路径错误.");
}

// The game starts with the player's rights, not the installer's: as a child of the desktop shell,
// with its token and environment. Wine gives every process the same rights, so what shows here is
// the route, the parent and the working folder; which token the game gets only Windows shows.
TEST_F(LaunchProgramTest, StartsTheGameAsAChildOfTheShellInItsOwnFolder)
{
    EXPECT_EQ(ChooseLaunchRoute(0, 42), LaunchRoute::Direct);   // no shell
    EXPECT_EQ(ChooseLaunchRoute(42, 42), LaunchRoute::Direct);  // a shell of our own
    EXPECT_EQ(ChooseLaunchRoute(7, 42), LaunchRoute::AsShell);

    DWORD shell = 0;
    GetWindowThreadProcessId(GetShellWindow(), &shell);
    ASSERT_NE(shell, 0u) << "Wine's desktop has a shell window";
    ASSERT_EQ(CurrentLaunchRoute(), LaunchRoute::AsShell);

    ASSERT_TRUE(CreateDirectoryA((scratch / "Game").c_str(), nullptr));
    const std::string name = "shell_child_" + std::to_string(GetCurrentProcessId()) + ".exe";
    PlaceGame(scratch / ("Game\\" + name));
    ASSERT_TRUE(Launch(scratch / ("Game\\" + name)));
    ASSERT_TRUE(WaitForFile(scratch / "Game\\started.txt"));
    std::string started;
    ReadFileBytes(scratch / "Game\\started.txt", &started);
    EXPECT_NE(started.find("current directory: " + (scratch / "Game")), std::string::npos) << started;

    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, name.c_str()) == 0)
            parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    EXPECT_EQ(parent, shell);
}
