// The installer end to end: the real executable started as a user starts it, clicked with the
// real mouse, fetching its configuration from the built-in slots and the update list and package
// from the local server, installing the demo game into Wine's file system, registry and shell,
// and starting it.
#include "installer_run.h"
#include "run_program.h"
#include "support/make_package.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"
#include "support/mouse_clicks.h"
#include "support/publisher_test_key.h"
#include "support/running_programs.h"
#include "support/test_support.h"
#include "ui/control_ids.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <string>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kNetworkFailure[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决";

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool KeyExists(const std::string& key)
{
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// A message box of `processId`, if one is shown.
HWND BoxOf(DWORD processId, int timeoutMs) { return WaitForWindow("#32770", nullptr, processId, timeoutMs); }

class InstallerEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        // Every name the shell and the registry see is the test's own.
        name_ = std::string("VE") + testing::UnitTest::GetInstance()->current_test_info()->name();
        served_ = "e2e-" + name_ + "/";
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, MAX_PATH);
        defaultDir_ = std::string(system, 3) + "Program Files\\" + name_ + "\\";
        installDir_ = defaultDir_;
        SetList(TestServerUrl(served_ + "data.pak"));
        ASSERT_TRUE(ReadFileBytes(BuildPath("demo\\demo_game.exe"), &game_));
        ASSERT_TRUE(ReadFileBytes(BuildPath("demo\\demo_uninstaller.exe"), &uninstaller_));
        const std::string package = MakePackage({{"Game\\" + name_ + ".exe", game_},
                                                 {"Game\\caption.txt", Caption()},
                                                 {"Game\\uninstall\\uninst.exe", uninstaller_}});
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "data.pak"), package));
    }

    void TearDown() override
    {
        EndProgramsAt(installDir_ + name_ + ".exe");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kUninstallKey + name_).c_str());
        DeleteFileA((SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name_ + ".lnk").c_str());
        RemoveTree(SpecialFolder(CSIDL_PROGRAMS) + "\\" + name_);
        RemoveTree(installDir_);
        RemoveTree(defaultDir_);
    }

    std::string Caption() const { return "Caption " + name_; }
    std::string Config(const std::string& setupExtra = "") const
    {
        return "[setup]\r\n" + setupExtra + "gamename=" + name_ + "\r\nexefilename=" + name_ + ".exe\r\nProductTitle=" + Caption() +
               "\r\nsize=1\r\nurlAgreement=" + TestServerUrl("agreement.html") +
               "\r\nuninstname=uninst.exe\r\nPublisher=Vellora Studio\r\nContact=support@vellora.example\r\n"
               "[config]\r\n1.0=" + TestServerUrl(served_ + "list.txt") + "\r\n";
    }
    void SetList(const std::string& packageUrl)
    {
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "list.txt"),
                                   "[list0]\r\naction=3\r\nsrcfile=" + packageUrl + "\r\ndestfile=data.pak\r\ncmd=DEC\r\n"));
    }

    // The installer's window once it is shown.
    HWND WindowOf(const ChildProcess& installer) const
    {
        return WaitForWindow(kInstallerTitle, kInstallerTitle, installer.id(), 20000);
    }

    // Starts the installer on a package whose first quarter comes at once and the rest in a trickle
    // that would take minutes, starts the installation (a click on install, or Enter) and waits
    // until a quarter is downloaded.
    void StartSlowDownload(std::unique_ptr<ChildProcess>& installer, HWND& window, bool byKeyboard)
    {
        SetList(TestServerUrl("fault/body?size=4000000&length=4000000&first=1000000&chunk=2000&delay=200"));
        installer = std::make_unique<ChildProcess>(Quoted(InstallerPath()));
        window = WindowOf(*installer);
        ASSERT_NE(window, nullptr);
        if (byKeyboard) {
            ASSERT_TRUE(BringToFront(window));
            PressKey(VK_RETURN);
        } else {
            ASSERT_TRUE(ClickCentreOf(GetDlgItem(window, IDC_INSTALL)));
        }
        HWND progress = GetDlgItem(window, IDC_PROGRESS);
        ASSERT_TRUE(PumpUntil([&] { return SendMessageA(progress, PBM_GETPOS, 0, 0) >= 25; }, 30000))
            << "the package's download did not start";
    }

    void ExpectInstalledAndStarted() const
    {
        EXPECT_TRUE(WaitForFile(installDir_ + "started.txt")) << "the game did not start";
        EXPECT_TRUE(FileExists(installDir_ + "uninstall\\uninstall.ini"));
        EXPECT_TRUE(FileExists(installDir_ + "uninstall\\uninst.exe"));
        EXPECT_FALSE(FileExists(installDir_ + "data.pak")) << "the package is deleted";
        EXPECT_TRUE(KeyExists(kUninstallKey + name_));
        EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name_ + ".lnk"));
        EXPECT_TRUE(FileExists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + name_ + "\\" + name_ + ".lnk"));
        EXPECT_NE(FindWindowA(nullptr, Caption().c_str()), nullptr) << "the game's window";
    }

    DesktopLock lock_;
    std::string name_, served_, defaultDir_, installDir_;
    std::string game_, uninstaller_;  // the demo game's and uninstaller's executables
};

}  // namespace

TEST_F(InstallerEndToEnd, ClickOnInstallInstallsStartsTheGameAndEnds)
{
    ConfigSlotServer config(0, Config());
    ChildProcess installer(Quoted(InstallerPath()));
    HWND window = WindowOf(installer);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ClickCentreOf(GetDlgItem(window, IDC_INSTALL)));
    // Status 7 ends the program.
    EXPECT_EQ(installer.Wait(60000), 0);
    ExpectInstalledAndStarted();
    // Built without keys, it asks for no signature.
    EXPECT_EQ(config.requests(), 1);
    EXPECT_EQ(TestServerLog().find(served_ + "list.txt.sig"), std::string::npos);
}

TEST_F(InstallerEndToEnd, PathOptionInstallsThereWithoutTheUser)
{
    ScratchDir scratch("e2e");
    installDir_ = scratch / "Game Folder\\";
    ConfigSlotServer config(0, Config());
    // The value is the rest of the command line as it stands: spaces need no quotes.
    ChildProcess installer(Quoted(InstallerPath()) + " -path " + installDir_);
    EXPECT_EQ(installer.Wait(60000), 0);
    ExpectInstalledAndStarted();
    EXPECT_FALSE(FileExists(defaultDir_));
}

TEST_F(InstallerEndToEnd, FirstServerDownTheSecondServesTheThirdIsNotAsked)
{
    ConfigSlotServer second(1, Config()), third(2, Config());
    ChildProcess installer(Quoted(InstallerPath()));
    HWND window = WindowOf(installer);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(second.requests(), 1);
    EXPECT_EQ(third.requests(), 0);
    // Close on the start page ends the program.
    ASSERT_TRUE(ClickCentreOf(GetDlgItem(window, IDC_CLOSE)));
    EXPECT_EQ(installer.Wait(20000), 0);
}

TEST_F(InstallerEndToEnd, AllServersDownShowTheNetworkBoxAndNoWindow)
{
    ChildProcess installer(Quoted(InstallerPath()));
    HWND box = BoxOf(installer.id(), 20000);
    ASSERT_NE(box, nullptr);
    char caption[64] = {};
    GetWindowTextA(box, caption, sizeof caption);
    EXPECT_STREQ(caption, "提示");
    EXPECT_EQ(MessageBoxText(box), kNetworkFailure);
    HWND window = GetWindow(box, GW_OWNER);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window)) << "the installer window is never shown";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(installer.Wait(20000), 1) << "nothing was installed: a script must be able to tell";
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(InstallerEndToEnd, CancelDuringTheDownloadEndsWithoutInstalling)
{
    ConfigSlotServer config(0, Config());
    std::unique_ptr<ChildProcess> started;
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartSlowDownload(started, window, false));
    ChildProcess& installer = *started;
    ASSERT_TRUE(ClickCentreOf(GetDlgItem(window, IDC_CANCEL_INSTALL)));
    // The cancelled download reports failure without a box, and that ends the program with 1.
    EXPECT_EQ(installer.Wait(30000), 1);
    EXPECT_EQ(BoxOf(installer.id(), 0), nullptr);
    EXPECT_FALSE(FileExists(installDir_ + "data.pak")) << "the partial package is deleted";
    EXPECT_FALSE(FileExists(installDir_ + name_ + ".exe"));
    EXPECT_FALSE(KeyExists(kUninstallKey + name_));
}

// What a publisher ships: pkgtool release makes the site from the game's folder, a real web server
// (nginx) serves it, and the installer built with the publisher's key and signed with Authenticode
// checks both signatures and the pinned package, and installs.
TEST_F(InstallerEndToEnd, TheSignedInstallerInstallsFromASiteThatPkgtoolReleased)
{
    ScratchDir scratch("release");
    const std::string game = scratch / "Game";
    ASSERT_TRUE(CreateDirectoryA(game.c_str(), nullptr) && CreateDirectoryA((game + "\\uninstall").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(game + "\\" + name_ + ".exe", game_));
    ASSERT_TRUE(WriteFileBytes(game + "\\caption.txt", Caption()));
    ASSERT_TRUE(WriteFileBytes(game + "\\uninstall\\uninst.exe", uninstaller_));
    ASSERT_TRUE(WriteFileBytes(scratch / "release.txt",
                               "game = " + name_ + "\nexecutable = " + name_ + ".exe\ncaption = " + Caption() +
                                   "\nsize = 1\nuninstaller = uninst.exe\npublisher = Vellora Studio\nsite = " +
                                   ReleaseSiteUrl() + "\nkey = " + TestKeyPath("test-publisher.key") +
                                   "\nproduct = " + kTestGame + "\n"));
    ProgramRun release = RunProgram(BuildPath("tools\\pkgtool.exe"),
                                    {"release", scratch / "release.txt", game, "-o", ReleaseSitePath()}, scratch.path());
    ASSERT_EQ(release.status, 0) << release.err;

    installDir_ = scratch / "Installed\\";
    ChildProcess installer(Quoted(BuildPath("tests\\app\\vellora_setup_signed.exe")) + " -path " + installDir_);
    EXPECT_EQ(installer.Wait(60000), 0);
    ExpectInstalledAndStarted();
    std::string served;
    ASSERT_TRUE(ReadFileBytes(TestRuntimeDir() + "\\nginx\\access.log", &served));
    EXPECT_NE(served.find("GET /update/tarnhold.txt.sig "), std::string::npos) << served;
    EXPECT_NE(served.find("GET /update/list.txt.sig "), std::string::npos) << served;
}

// The installer built with the tests' publisher key takes no unsigned configuration; one built
// with a broken key ends before it fetches anything.
TEST_F(InstallerEndToEnd, AKeyedInstallerRefusesAnUnsignedConfigurationAndABrokenKeyEverything)
{
    ScratchDir scratch("e2e");
    installDir_ = scratch / "Game Folder\\";
    const std::string config = Config("expires=2999-12-31\r\n");
    const struct {
        const char* what;
        const char* installer;
        std::string signature;  // of the configuration
        const char* box;        // the caption of the one box shown
        int requests;           // of the configuration's server
    } cases[] = {
        {"an unsigned configuration", "tests\\app\\keyed\\vellora_setup.exe", "", "提示", 2},
        {"a broken key", "tests\\app\\broken-key\\vellora_setup.exe", TestSignature(config), "错误", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigSlotServer slot(0, config, c.signature);
        ChildProcess installer(Quoted(BuildPath(c.installer)) + " -path " + installDir_);
        HWND box = BoxOf(installer.id(), 30000);
        ASSERT_NE(box, nullptr);
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        EXPECT_STREQ(caption, c.box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(installer.Wait(60000), 1);
        EXPECT_FALSE(FileExists(installDir_ + name_ + ".exe"));
        EXPECT_EQ(slot.requests(), c.requests) << "the configuration and its signature";
    }
}

// By the keyboard alone: real key strokes to the installer's window, no click.
TEST_F(InstallerEndToEnd, EnterOnTheStartPageInstallsIntoTheDefaultFolder)
{
    ConfigSlotServer config(0, Config());
    ChildProcess installer(Quoted(InstallerPath()));
    HWND window = WindowOf(installer);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(BringToFront(window));
    PressKey(VK_RETURN);
    EXPECT_EQ(installer.Wait(60000), 0);
    ExpectInstalledAndStarted();
}

TEST_F(InstallerEndToEnd, TabToCustomInstallEnterTypeAFolderEnterInstallsThere)
{
    ScratchDir scratch("e2e");
    installDir_ = scratch / (name_ + "\\");
    ConfigSlotServer config(0, Config());
    ChildProcess installer(Quoted(InstallerPath()));
    HWND window = WindowOf(installer);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(BringToFront(window));
    // Install, the agreement box, the agreement link, custom install.
    for (int i = 0; i < 3; ++i)
        PressKey(VK_TAB);
    PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(window, IDC_PATH_EDIT)) != FALSE; }))
        << "Enter on custom install did not open the custom page";
    // The folder field has the focus, its text selected: typing replaces it.
    TypeText(scratch.path().c_str());
    PressKey(VK_RETURN);
    EXPECT_EQ(installer.Wait(60000), 0);
    ExpectInstalledAndStarted();
    EXPECT_FALSE(FileExists(defaultDir_));
}

TEST_F(InstallerEndToEnd, EscDuringTheDownloadAsksAndEnterOnTheQuestionCancels)
{
    ConfigSlotServer config(0, Config());
    std::unique_ptr<ChildProcess> started;
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartSlowDownload(started, window, true));
    ChildProcess& installer = *started;
    PressKey(VK_ESCAPE);
    HWND box = BoxOf(installer.id(), 10000);
    ASSERT_NE(box, nullptr) << "Esc asked nothing";
    EXPECT_EQ(MessageBoxText(box), "确定要取消安装吗？");
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_TRUE(installer.Running()) << "the question alone cancels nothing";
    ASSERT_TRUE(BringToFront(box));
    PressKey(VK_RETURN);
    EXPECT_EQ(installer.Wait(30000), 1);
    EXPECT_FALSE(FileExists(installDir_ + "data.pak")) << "the partial package is deleted";
    EXPECT_FALSE(FileExists(installDir_ + name_ + ".exe"));
}

// A run ended half-way through a pinned package (as by a crash, a power cut or the Task Manager),
// then run again: the second run asks only for the rest, and the game installs intact.
TEST_F(InstallerEndToEnd, ARunKilledHalfWayThroughThePackageIsResumedByTheNextRun)
{
    ScratchDir scratch("e2e");
    installDir_ = scratch / "Game Folder\\";
    std::string noise(4 << 20, '\0');  // incompressible, so that the package takes seconds at the pace below
    for (size_t i = 0, x = 2463534242u; i < noise.size(); ++i, x = x * 1103515245 + 12345)
        noise[i] = static_cast<char>(x >> 16);
    const std::string package = MakePackage({{"Game\\" + name_ + ".exe", game_},
                                             {"Game\\caption.txt", Caption()},
                                             {"Game\\uninstall\\uninst.exe", uninstaller_},
                                             {"Game\\noise.bin", noise}});
    ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "data.pak"), package));
    const std::string source = served_ + "data.pak?rate=1500000";
    ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "list.txt"),
                               "[list0]\r\naction=3\r\nsrcfile=" + TestServerUrl(source) + "\r\ndestfile=data.pak\r\ncmd=DEC\r\n" +
                                   PinLines(package) + "\r\nexpires=2999-12-31\r\n"));
    SignTestFile(ServedPath(served_ + "list.txt"));
    const std::string config = Config("expires=2999-12-31\r\n");
    ConfigSlotServer slot(0, config, TestSignature(config));
    const std::string installer = Quoted(BuildPath("tests\\app\\keyed\\vellora_setup.exe")) + " -path " + installDir_;
    {
        ChildProcess first(installer);
        ASSERT_TRUE(PumpUntil(
            [&] {
                WIN32_FILE_ATTRIBUTE_DATA data;
                return GetFileAttributesExA((installDir_ + "data.pak").c_str(), GetFileExInfoStandard, &data) &&
                       data.nFileSizeLow >= package.size() / 2;
            },
            60000));
    }  // ended there and then (TerminateProcess)
    EXPECT_TRUE(FileExists(installDir_ + "data.pak")) << "kept for the next run";

    const size_t logged = TestServerLog().size();
    ChildProcess second(installer);
    EXPECT_EQ(second.Wait(60000), 0);
    ExpectInstalledAndStarted();
    // What the second run asked for: the bytes from each of its requests' first to the end.
    uint64_t asked = 0;
    const std::string log = TestServerLog().substr(logged);
    for (size_t at = 0; (at = log.find("GET /" + source, at)) != std::string::npos; ++at) {
        const size_t range = log.find(" RANGE=bytes=", at), end = log.find('\n', at);
        asked += package.size() - (range < end ? std::stoull(log.substr(range + 13)) : 0);
    }
    EXPECT_GT(asked, 0u);
    EXPECT_LE(asked, package.size() / 2);
}
