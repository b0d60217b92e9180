// The demo uninstaller: what it refuses, and a real uninstall of a made-up installation.
#include "uninstall_plan.h"

#include "support/test_support.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {

UninstallPlan Plan(const std::string& dir, const std::string& ini)
{
    UninstallPlan plan;
    plan.setupDir = dir;
    plan.iniPath = ini;
    plan.gameName = "Vellora";
    plan.shortcutName = "vellora";
    return plan;
}

bool Refused(const UninstallPlan& plan)
{
    std::string reason;
    bool ok = CheckUninstallPlan(plan, &reason);
    EXPECT_EQ(ok, reason.empty());
    return !ok;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

const char kKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void WriteUninstallEntry(const std::string& game, const std::string& command)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (kKey + game).c_str(), &key), ERROR_SUCCESS);
    RegSetValueExA(key, "UninstallString", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
}

bool KeyExists(const std::string& game)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kKey + game).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Runs a program and waits for it; returns its exit code.
DWORD RunProgram(const std::string& command)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string mutableCommand = command;
    if (!CreateProcessA(nullptr, &mutableCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 9999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 9999;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// The hand-over copy finishes after the first process ends; wait for its work to show.
bool WaitUntilGone(const std::string& path)
{
    for (int i = 0; i < 300 && FileExists(path); ++i)
        Sleep(100);
    return !FileExists(path);
}

}  // namespace

TEST(DemoUninstallerPlan, AcceptsTheFolderItWasInstalledTo)
{
    UninstallPlan plan = Plan("D:\\Games\\Vellora\\", "d:\\games\\VELLORA\\uninstall\\uninstall.ini");
    std::string reason;
    EXPECT_TRUE(CheckUninstallPlan(plan, &reason)) << reason;
}

TEST(DemoUninstallerPlan, RefusesEverythingOutsideTheRecordedFolder)
{
    EXPECT_TRUE(Refused(Plan("D:\\", "D:\\uninstall\\uninstall.ini")));                      // a drive root
    EXPECT_TRUE(Refused(Plan("Games\\Vellora\\", "Games\\Vellora\\uninstall\\uninstall.ini")));  // relative
    EXPECT_TRUE(Refused(Plan("\\\\server\\share\\V\\", "\\\\server\\share\\V\\uninstall\\uninstall.ini")));
    EXPECT_TRUE(Refused(Plan("D:\\Games\\..\\", "D:\\Games\\..\\uninstall\\uninstall.ini")));
    EXPECT_TRUE(Refused(Plan("D:\\Games\\\\V\\", "D:\\Games\\\\V\\uninstall\\uninstall.ini")));
    // The file names a folder it does not live in.
    EXPECT_TRUE(Refused(Plan("D:\\Games\\", "D:\\Games\\Vellora\\uninstall\\uninstall.ini")));
    // System folders, even when the file sits inside them.
    std::string windows = SpecialFolder(CSIDL_WINDOWS) + "\\";
    EXPECT_TRUE(Refused(Plan(windows, windows + "uninstall\\uninstall.ini")));
    std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
    EXPECT_TRUE(Refused(Plan(desktop, desktop + "uninstall\\uninstall.ini")));
    std::string programFiles = SpecialFolder(CSIDL_PROGRAM_FILES) + "\\";
    EXPECT_TRUE(Refused(Plan(programFiles, programFiles + "uninstall\\uninstall.ini")));

    UninstallPlan badName = Plan("D:\\Games\\V\\", "D:\\Games\\V\\uninstall\\uninstall.ini");
    badName.gameName = "..\\..\\Windows";
    EXPECT_TRUE(Refused(badName));
}

TEST(DemoUninstallerPlan, ReadsItsArguments)
{
    EXPECT_EQ(FindUninstallArgument("\"C:\\a b\\u.exe\" \"/U:C:\\a b\\uninstall\\uninstall.ini\""),
              "C:\\a b\\uninstall\\uninstall.ini");
    EXPECT_EQ(FindUninstallArgument("u.exe /U:C:\\x\\u.ini /S"), "C:\\x\\u.ini");
    EXPECT_EQ(FindUninstallArgument("u.exe /S"), "");
    EXPECT_TRUE(HasSwitch("u.exe \"/U:x\" /S", "/S"));
    EXPECT_FALSE(HasSwitch("u.exe /Silent", "/S"));
}

class DemoUninstall : public testing::Test {
protected:
    void SetUp() override
    {
        // Tests run side by side: each gets its own game and shortcut names.
        game = std::string("VelloraUninstall") + testing::UnitTest::GetInstance()->current_test_info()->name();
        link = "link" + game;
        setupDir = scratch / "Vellora Game";  // a blank in the path, as under Program Files
        uninstaller = setupDir + "\\uninstall\\u.exe";
        ini = setupDir + "\\uninstall\\uninstall.ini";
        ASSERT_TRUE(CreateDirectoryA(setupDir.c_str(), nullptr));
        CreateDirectoryA((setupDir + "\\uninstall").c_str(), nullptr);
        CreateDirectoryA((setupDir + "\\data").c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(setupDir + "\\vellora.exe", "game"));
        ASSERT_TRUE(WriteFileBytes(setupDir + "\\data\\a.dat", "a"));
        SetFileAttributesA((setupDir + "\\data\\a.dat").c_str(), FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(CopyFileA((std::string(VELLORA_TEST_BINARY_DIR) + "\\demo\\demo_uninstaller.exe").c_str(),
                              uninstaller.c_str(), FALSE));
        WritePrivateProfileStringA("config", "setupdir", (setupDir + "\\").c_str(), ini.c_str());
        WritePrivateProfileStringA("config", "gamename", game.c_str(), ini.c_str());
        WritePrivateProfileStringA("config", "shortcutname", link.c_str(), ini.c_str());
        WritePrivateProfileStringA("config", "ProductTitle", "Vellora Uninstall Test", ini.c_str());
        command = "\"" + uninstaller + "\" \"/U:" + ini + "\" /S";

        desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + link + ".lnk";
        group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + game;
        CreateDirectoryA(group.c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(desktopLink, "link"));
        ASSERT_TRUE(WriteFileBytes(group + "\\" + link + ".lnk", "link"));
        ASSERT_TRUE(WriteFileBytes(group + "\\" + link + "卸载.lnk", "link"));
        ASSERT_TRUE(WriteFileBytes(scratch / "neighbour.txt", "stays"));
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kKey + game).c_str());
        DeleteFileA(desktopLink.c_str());
        RemoveTree(group);
    }

    ScratchDir scratch{"uninstall"};
    std::string game, link, setupDir, uninstaller, ini, command, desktopLink, group;
};

TEST_F(DemoUninstall, RemovesFilesShortcutsAndItsOwnRegistryEntry)
{
    WriteUninstallEntry(game, "\"" + uninstaller + "\" \"/U:" + ini + "\"");
    EXPECT_EQ(RunProgram(command), 0u);
    EXPECT_TRUE(WaitUntilGone(setupDir));
    EXPECT_FALSE(FileExists(desktopLink));
    EXPECT_FALSE(FileExists(group));
    EXPECT_FALSE(KeyExists(game));
    EXPECT_TRUE(FileExists(scratch / "neighbour.txt"));
}

TEST_F(DemoUninstall, KeepsTheEntryOfAnotherInstallation)
{
    WriteUninstallEntry(game, "\"D:\\Elsewhere\\uninstall\\u.exe\" \"/U:D:\\Elsewhere\\uninstall\\uninstall.ini\"");
    EXPECT_EQ(RunProgram(command), 0u);
    EXPECT_TRUE(WaitUntilGone(setupDir));
    EXPECT_TRUE(KeyExists(game));
}

TEST_F(DemoUninstall, RefusesAFileThatNamesAnotherFolder)
{
    WritePrivateProfileStringA("config", "setupdir", (scratch.path() + "\\").c_str(), ini.c_str());
    EXPECT_EQ(RunProgram(command), 1u);
    EXPECT_TRUE(FileExists(setupDir + "\\vellora.exe"));
    EXPECT_TRUE(FileExists(scratch / "neighbour.txt"));
    EXPECT_TRUE(FileExists(desktopLink));
}
