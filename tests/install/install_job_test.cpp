// The whole installation without a window: configuration -> update list -> download -> extraction
// -> uninstall entry -> shortcuts -> uninstall file -> the game started, against the local server
// and Wine's real registry, file system and shell.
#include "install/install_job.h"
#include "install/publisher_trust.h"
#include "install/decode_during_download.h"

#include "common/fixed_string.h"
#include "net/download.h"
#include "package/extract.h"
#include "packing/publisher_keys.h"
#include "support/make_package.h"
#include "support/message_box_recorder.h"
#include "support/posted_messages.h"
#include "support/publisher_test_key.h"
#include "support/swap_at_check.h"
#include "support/gui_test_support.h"
#include "support/running_programs.h"
#include "support/test_support.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Posts = std::vector<PostedMessage>;

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string ReadBuilt(const char* relative)
{
    std::string bytes;
    ReadFileBytes(std::string(VELLORA_TEST_BINARY_DIR) + "\\" + relative, &bytes);
    return bytes;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::vector<int> Statuses(const Posts& posts)
{
    std::vector<int> statuses;
    for (const PostedMessage& m : posts)
        if (m.message == WM_INSTALL_STATUS)
            statuses.push_back(static_cast<int>(m.lParam));
    return statuses;
}

std::string RegistryString(const std::string& key, const char* name)
{
    char value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

std::string ProfileString(const std::string& file, const char* key)
{
    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("config", key, "<missing>", value, sizeof value, file.c_str());
    return value;
}

class InstallJobTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Tests run side by side: every name the shell or the registry sees is the test's own.
        name = std::string("VJ") + testing::UnitTest::GetInstance()->current_test_info()->name();
        exeName = name + ".exe";
        installDir = scratch / "Game Folder\\";
        ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
        served = "job-" + name + "/";

        job.window = sink.window();
        CopyString(job.installDir, installDir.c_str());
        CopyString(job.gameName, name.c_str());
        CopyString(job.exeFileName, exeName.c_str());
        CopyString(job.productTitle, ("Caption " + name).c_str());
        CopyString(job.uninstallerName, "uninst.exe");
        CopyString(job.publisher, "Vellora Studio");
        CopyString(job.contact, "support@vellora.example");
        job.requiredKb = 16 << 10;  // the configuration's size=16
        SetConfig("1.0=" + TestServerUrl(served + "list.txt"));
        SetDownloadTimeouts({5000, 5000});
    }

    void TearDown() override
    {
        EndProgramsAt(installDir + exeName);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kUninstallKey + name).c_str());
        DeleteFileA(DesktopLink().c_str());
        RemoveTree(GroupFolder());
        SetDownloadTimeouts(kDefaultDownloadTimeouts);
    }

    void SetConfig(const std::string& configLines)
    {
        const std::string text = "[setup]\r\ngamename=x\r\n[config]\r\n" + configLines + "\r\n";
        ASSERT_TRUE(job.configText.Assign(text.data(), text.size()));
    }
    void SetList(const std::string& lines)
    {
        ASSERT_TRUE(WriteFileBytes(ServedPath(served + "list.txt"), "[list0]\r\n" + lines + "\r\n"));
    }
    // The usual list: download data.pak and extract it.
    void SetPackageList(int action = 3, const char* cmd = "DEC")
    {
        SetList("action=" + std::to_string(action) + "\r\nsrcfile=" + TestServerUrl(served + "data.pak") +
                "\r\ndestfile=data.pak\r\ncmd=" + cmd);
    }
    // The usual list, pinning the served package, dated and signed with the tests' key.
    void SetSignedPackageList(int action = 3)
    {
        std::string package;
        ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
        SetList("action=" + std::to_string(action) + "\r\nsrcfile=" + TestServerUrl(served + "data.pak") +
                "\r\ndestfile=data.pak\r\ncmd=DEC\r\n" + PinLines(package) + "\r\nexpires=2999-12-31");
        SignTestFile(ServedPath(served + "list.txt"));
    }
    // The demo game and uninstaller in a package, plus `extra` entries.
    void ServePackage(std::vector<PackageFile> extra = {}, bool withGame = true,
                      PackageEncoding encoding = PackageEncoding::LzmaAlone)
    {
        std::vector<PackageFile> entries = {
            {"Game\\uninstall\\uninst.exe", ReadBuilt("demo\\demo_uninstaller.exe")},
            {"Game\\Data\\Readme.TXT", "readme"},
            {"Game\\caption.txt", job.productTitle},
        };
        if (withGame)
            entries.push_back({"Game\\" + exeName, ReadBuilt("demo\\demo_game.exe")});
        entries.insert(entries.end(), extra.begin(), extra.end());
        ASSERT_TRUE(WriteFileBytes(ServedPath(served + "data.pak"), MakePackage(entries, encoding)));
    }

    // Runs the job on its own thread, as the window does, and collects what it posted.
    // `onStatus` sees each status the moment the window would.
    Posts Run(const std::function<void(LPARAM)>& onStatus = {})
    {
        DWORD id;
        HANDLE thread = CreateThread(nullptr, 0, InstallJobThread, &job, 0, &id);
        EXPECT_NE(thread, nullptr);
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, 120000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (onStatus && msg.message == WM_INSTALL_STATUS)
                    onStatus(msg.lParam);
                DispatchMessageA(&msg);
            }
        }
        CloseHandle(thread);
        return sink.Take();
    }

    // Exactly one "错误" box with `text`, owned by the window, and status 0 as the last message.
    void ExpectFailure(const Posts& posts, const std::string& text)
    {
        auto shown = boxes.boxes();
        ASSERT_EQ(shown.size(), 1u) << "boxes";
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].caption, "错误");
        EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(shown[0].owner, job.window);
        ASSERT_FALSE(posts.empty());
        EXPECT_EQ(posts.back(), Status(0));
    }

    std::string DesktopLink() const { return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk"; }
    std::string GroupFolder() const { return SpecialFolder(CSIDL_PROGRAMS) + "\\" + name; }
    std::string Key() const { return kUninstallKey + name; }

    // A started game window takes the activation, and with it the mouse capture of a test that
    // is clicking meanwhile: the desktop is this test's while it may start the game.
    DesktopLock lock;
    ScratchDir scratch{"job"};
    PostedMessages sink;
    MessageBoxRecorder boxes;
    InstallJob job;
    std::string name, exeName, installDir, served;
};

}  // namespace

TEST_F(InstallJobTest, CompleteRunInstallsRegistersAndStartsTheGame)
{
    SetPackageList();
    ServePackage();
    Posts posts = Run();

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 6, 7, 6}));
    // Progress: the list's download, the package's download, then 0 and the extraction.
    std::vector<std::vector<int>> phases(1);
    for (const PostedMessage& m : posts) {
        if (m.message == WM_INSTALL_STATUS)
            phases.emplace_back();
        else
            phases.back().push_back(static_cast<int>(m.lParam));
    }
    ASSERT_EQ(phases.size(), 7u);
    EXPECT_TRUE(phases[0].empty() && phases[1].empty());
    EXPECT_EQ(phases[2].front(), 0);
    EXPECT_EQ(phases[2].back(), 100);
    EXPECT_EQ(phases[3].front(), 0);
    EXPECT_EQ(phases[3].back(), 100);
    ASSERT_GE(phases[4].size(), 4u);
    EXPECT_EQ(phases[4][0], 0);
    EXPECT_EQ(phases[4][1], 25);
    EXPECT_EQ(phases[4].back(), 100);
    EXPECT_TRUE(std::is_sorted(phases[4].begin(), phases[4].end()));
    EXPECT_TRUE(phases[5].empty() && phases[6].empty());

    // The files, lowered, without the package's top folder; the package and its
    // intermediate file are gone.
    std::string readme;
    EXPECT_TRUE(ReadFileBytes(installDir + "data\\readme.txt", &readme));
    EXPECT_EQ(readme, "readme");
    EXPECT_FALSE(FileExists(installDir + "data.pak"));
    EXPECT_FALSE(FileExists(installDir + "data_.rar"));

    // The uninstall entry, in the registry view of this build (WOW6432Node for i686).
    EXPECT_EQ(RegistryString(Key(), "DisplayName"), name);
    EXPECT_EQ(RegistryString(Key(), "Publisher"), "Vellora Studio");
    EXPECT_EQ(RegistryString(Key(), "UninstallString"),
              "\"" + installDir + "uninstall\\uninst.exe\" \"/U:" + installDir + "uninstall\\uninstall.ini\"");

    // Three shortcuts, and the uninstall file.
    EXPECT_TRUE(FileExists(DesktopLink()));
    EXPECT_TRUE(FileExists(GroupFolder() + "\\" + name + ".lnk"));
    EXPECT_TRUE(FileExists(GroupFolder() + "\\" + name + "卸载.lnk"));
    std::string ini = installDir + "uninstall\\uninstall.ini";
    EXPECT_EQ(ProfileString(ini, "setupdir"), installDir);
    EXPECT_EQ(ProfileString(ini, "gamename"), name);
    EXPECT_EQ(ProfileString(ini, "shortcutname"), name);
    EXPECT_EQ(ProfileString(ini, "ProductTitle"), "Caption " + name);

    // The game runs, started from its own folder.
    EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
}

TEST_F(InstallJobTest, ARunningGameIsClosedBeforeTheFirstFileIsWritten)
{
    // An earlier installation, running.
    ASSERT_TRUE(WriteFileBytes(installDir + exeName, ReadBuilt("demo\\demo_game.exe")));
    ASSERT_TRUE(WriteFileBytes(installDir + "caption.txt", job.productTitle));
    ASSERT_GT(WinExec(("\"" + installDir + exeName + "\"").c_str(), SW_SHOW), 31u);
    for (int i = 0; i < 300 && !FindWindowA(nullptr, job.productTitle); ++i)
        Sleep(100);
    ASSERT_NE(FindWindowA(nullptr, job.productTitle), nullptr);

    SetPackageList();
    ServePackage({{"Game\\new.txt", "new"}});
    Run();
    EXPECT_TRUE(boxes.boxes().empty());

    // What stood beside the game when it handled the close request: no file of the package yet.
    std::string listing;
    ASSERT_TRUE(ReadFileBytes(installDir + "closed.txt", &listing));
    EXPECT_EQ(listing.find("new.txt"), std::string::npos) << listing;
    EXPECT_EQ(("\r\n" + listing).find("\r\ndata\r\n"), std::string::npos) << listing;  // the folder
    EXPECT_TRUE(FileExists(installDir + "new.txt"));
}

TEST_F(InstallJobTest, InstallingTwiceLeavesOneSetWithTheSecondRunsValues)
{
    SetPackageList();
    ServePackage();
    Run();
    EndProgramsAt(installDir + exeName);
    CopyString(job.publisher, "Second Publisher");
    ServePackage();
    Run();

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(RegistryString(Key(), "Publisher"), "Second Publisher");
    // The group holds the two shortcuts, nothing more.
    int links = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((GroupFolder() + "\\*.lnk").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do ++links; while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(links, 2);
    EXPECT_TRUE(FileExists(DesktopLink()));
}

TEST_F(InstallJobTest, EndsWithoutAnythingWhenTheListSaysNothingToDo)
{
    SetList("action=0\r\nsrcfile=x\r\ndestfile=y\r\ncmd=DEC");
    Posts posts = Run();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 6}));
}

TEST_F(InstallJobTest, DownloadAloneEndsWithStatusSixAndInstallsNothing)
{
    SetPackageList(2);
    ServePackage();
    Posts posts = Run();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 6}));
    EXPECT_TRUE(FileExists(installDir + "data.pak"));
    EXPECT_FALSE(FileExists(installDir + exeName));
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(InstallJobTest, EachBrokenConfigurationOrListShowsItsText)
{
    struct Case {
        const char* config;  // [config] lines; empty: the usual
        const char* list;    // [list0] lines
        const char* text;
    };
    const Case cases[] = {
        {"other=", "action=3", "从文件中,获取版本对应的更新URL错误."},
        {"", "srcfile=x\r\ndestfile=y\r\ncmd=DEC", "解析更新列表文件错误."},
        {"", "action=1\r\ndestfile=data.pak", "解析更新列表文件错误,动作有命令但命令为空."},
        {"", "action=2\r\nsrcfile=http://127.0.0.1/x", "解析更新列表文件错误,动作为下载文件但文件路径为空."},
        {"", "action=1\r\ndestfile=data.pak\r\ncmd=dec", "未知的命令参数"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MessageBoxRecorder fresh;
        if (c.config[0])
            SetConfig(c.config);
        else
            SetConfig("1.0=\r\nother=" + TestServerUrl(served + "list.txt"));  // "other" when "1.0" is empty
        SetList(c.list);
        Posts posts = Run();
        auto shown = fresh.boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.text);
        EXPECT_EQ(shown[0].caption, "错误");
        EXPECT_EQ(posts.back(), Status(0));
        EXPECT_EQ(std::count(posts.begin(), posts.end(), Status(0)), 1);
    }
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(InstallJobTest, AnUnknownCommandComesAfterTheDownload)
{
    SetPackageList(3, "UNPACK");
    ServePackage();
    Posts posts = Run();
    ExpectFailure(posts, "未知的命令参数");
    EXPECT_TRUE(FileExists(installDir + "data.pak"));
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 6, 0}));
}

TEST_F(InstallJobTest, AFailedPackageDownloadEndsWithTheDownloadsBoxAndStatusZero)
{
    ServePackage();
    const std::string refused = "http://127.0.0.1:" + std::to_string(TestServerPort("refused")) + "/data.pak";
    // An earlier run's intermediate file: a download that never starts leaves it alone.
    ASSERT_TRUE(WriteFileBytes(installDir + "data_.rar", "earlier"));
    // A server that cannot be reached, and a destfile that would lead out of the install directory.
    for (const std::string& files : {"srcfile=" + refused + "\r\ndestfile=data.pak",
                                     "srcfile=" + TestServerUrl(served + "data.pak") + "\r\ndestfile=..\\escaped.pak"}) {
        SCOPED_TRACE(files);
        MessageBoxRecorder fresh;
        SetList("action=3\r\ncmd=DEC\r\n" + files);
        Posts posts = Run();
        auto shown = fresh.boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！");
        // Status 0 from the download, then once more from the job.
        EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 0, 0}));
    }
    EXPECT_FALSE(FileExists(scratch / "escaped.pak"));
    EXPECT_FALSE(FileExists(installDir + "data.pak"));
    EXPECT_TRUE(FileExists(installDir + "data_.rar"));
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(InstallJobTest, AFailedExtractionRegistersNothing)
{
    SetPackageList();
    ASSERT_TRUE(WriteFileBytes(ServedPath(served + "data.pak"), "this is no package"));
    Posts posts = Run();
    ExpectFailure(posts, "解压文件失败");
    EXPECT_EQ(RegistryString(Key(), "DisplayName"), "<missing>");
    EXPECT_FALSE(FileExists(DesktopLink()));
    EXPECT_FALSE(FileExists(GroupFolder()));
}

TEST_F(InstallJobTest, APackageOutsideTheFolderIsNeitherExtractedNorDeleted)
{
    // A list that only extracts (action 1) names a valid package one folder up.
    ServePackage();
    std::string package;
    ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
    ASSERT_TRUE(WriteFileBytes(scratch / "outside.pak", package));
    ASSERT_TRUE(WriteFileBytes(scratch / "outside_.rar", "the player's own file"));
    SetList("action=1\r\ndestfile=..\\outside.pak\r\ncmd=DEC");
    Posts posts = Run();
    ExpectFailure(posts, "解压文件失败");
    EXPECT_TRUE(FileExists(scratch / "outside.pak"));
    std::string kept;
    ASSERT_TRUE(ReadFileBytes(scratch / "outside_.rar", &kept));
    EXPECT_EQ(kept, "the player's own file");
    EXPECT_FALSE(FileExists(installDir + exeName));
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(InstallJobTest, AMissingGameIsReportedAfterShortcutsAndEntryAreMade)
{
    SetPackageList();
    ServePackage({}, /*withGame=*/false);
    Posts posts = Run();
    ExpectFailure(posts, "找不到" + installDir + exeName + "文件.");
    EXPECT_EQ(RegistryString(Key(), "DisplayName"), name);
    EXPECT_TRUE(FileExists(DesktopLink()));
    EXPECT_TRUE(FileExists(installDir + "uninstall\\uninstall.ini"));
}

TEST_F(InstallJobTest, CancelDuringTheListsDownloadEndsWithoutABox)
{
    // A list that trickles in for half a minute (within its size cap and its deadline).
    SetConfig("1.0=" + TestServerUrl("fault/body?size=60000&first=1000&chunk=200&delay=100"));
    DWORD id;
    HANDLE thread = CreateThread(nullptr, 0, InstallJobThread, &job, 0, &id);
    ASSERT_NE(thread, nullptr);
    Sleep(300);
    job.cancelRequested = 1;
    Posts posts;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    CloseHandle(thread);
    posts = sink.Take();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 0}));
}

namespace {

// Every file below `folder`, with its bytes, by path relative to it.
void ListTree(const std::string& folder, const std::string& relative, std::map<std::string, std::string>* tree)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + relative + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[relative + name + "\\"] = "";
            ListTree(folder, relative + name + "\\", tree);
        } else {
            ReadFileBytes(folder + relative + name, &(*tree)[relative + name]);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The posts of a run, without the progress of a download that a cancel cut at some point in time.
Posts WithoutProgress(const Posts& posts)
{
    Posts kept;
    for (const PostedMessage& m : posts)
        if (m.message != WM_INSTALL_PROGRESS)
            kept.push_back(m);
    return kept;
}

}  // namespace

// Decoding the package while it downloads changes nothing but the time: the same posts, boxes and
// files as without, whatever the download does, in either encoding; where no package stays, no
// intermediate file does.
TEST_F(InstallJobTest, SpeculativeDecodingChangesNothingButTime)
{
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        SCOPED_TRACE(PackageEncodingName(encoding));
        ServePackage({}, true, encoding);
        std::string package;
        ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
        std::string corrupt = package;
        corrupt[corrupt.size() / 2] ^= 0x10;  // of an .xz package, a block in the middle
        ASSERT_TRUE(WriteFileBytes(ServedPath(served + "corrupt.pak"), corrupt));
        const struct {
            const char* what;
            std::string address;
            bool cancel;
        } cases[] = {
            {"whole", "data.pak", false},
            {"cut short", "data.pak?cut=" + std::to_string(package.size() / 2), false},
            {"damaged in the middle", "corrupt.pak", false},
            {"cancelled", "data.pak?rate=300000", true},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            SetList("action=3\r\nsrcfile=" + TestServerUrl(served + c.address) + "\r\ndestfile=data.pak\r\ncmd=DEC");
            struct Outcome {
                Posts posts;
                std::vector<std::string> boxes;
                std::map<std::string, std::string> tree;
            } outcomes[2];
            for (bool speculative : {false, true}) {
                SetSpeculativeDecoding(speculative);
                const size_t boxesBefore = boxes.boxes().size();
                job.cancelRequested = 0;
                std::thread canceller;
                if (c.cancel) {
                    canceller = std::thread([&] {
                        // Once a good part of the package is in.
                        for (std::string part; !ReadFileBytes(installDir + "data.pak", &part) || part.size() < package.size() / 3;)
                            Sleep(20);
                        job.cancelRequested = 1;
                    });
                }
                Outcome& outcome = outcomes[speculative];
                const int taken = SpeculativeDecodingsTaken();
                outcome.posts = Run();
                // Only a whole package's decoding can be taken; and it must be, or nothing was proved.
                EXPECT_EQ(SpeculativeDecodingsTaken() - taken, speculative && c.address == "data.pak" ? 1 : 0);
                if (canceller.joinable())
                    canceller.join();
                if (c.cancel)
                    outcome.posts = WithoutProgress(outcome.posts);
                for (size_t i = boxesBefore; i < boxes.boxes().size(); ++i)
                    outcome.boxes.push_back(boxes.boxes()[i].text);
                EndProgramsAt(installDir + exeName);
                ListTree(installDir, "", &outcome.tree);
                SetCurrentDirectoryA(scratch.path().c_str());  // the job made the game's folder the current one
                RemoveTree(installDir);
                ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
            }
            SetSpeculativeDecoding(true);
            // What a failed decoding leaves in the intermediate file is what it had decoded: how
            // much, the threads of the .xz decoder decide from run to run.
            for (Outcome& outcome : outcomes) {
                if (encoding == PackageEncoding::Xz && outcome.tree.count("data_.rar"))
                    outcome.tree["data_.rar"] = "(decoded so far)";
            }
            EXPECT_EQ(outcomes[1].posts, outcomes[0].posts);
            EXPECT_EQ(outcomes[1].boxes, outcomes[0].boxes);
            EXPECT_TRUE(outcomes[1].tree == outcomes[0].tree) << outcomes[1].tree.size() << " files against " << outcomes[0].tree.size();
            if (c.cancel) {
                EXPECT_EQ(outcomes[1].tree.count("data.pak") + outcomes[1].tree.count("data_.rar"), 0u);
            }
        }
    }
}

// The game packed either way installs byte for byte the same; an .xz package cut short, or with a
// damaged block, fails as such an LZMA-alone package does: "解压文件失败", nothing registered.
TEST_F(InstallJobTest, EitherEncodingInstallsTheSameGameAndADamagedXzPackageNothing)
{
    SetPackageList();
    std::map<std::string, std::string> trees[2];
    std::string xz;
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        SCOPED_TRACE(PackageEncodingName(encoding));
        ServePackage({}, true, encoding);
        ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &xz));
        const Posts posts = Run();
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 6, 7, 6}));
        EndProgramsAt(installDir + exeName);
        ListTree(installDir, "", &trees[encoding == PackageEncoding::Xz]);
        SetCurrentDirectoryA(scratch.path().c_str());
        RemoveTree(installDir);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key().c_str());
        DeleteFileA(DesktopLink().c_str());
        ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
    }
    EXPECT_GT(trees[1].size(), 5u);
    EXPECT_TRUE(trees[1] == trees[0]);

    std::string damaged = xz;
    const size_t firstBlockData = 12 + (static_cast<uint8_t>(xz[12]) + 1) * 4u;
    damaged[firstBlockData + 100] ^= 0x20;
    for (const std::string& bytes : {xz.substr(0, xz.size() / 2), damaged}) {
        ASSERT_TRUE(WriteFileBytes(ServedPath(served + "data.pak"), bytes));
        const size_t boxesBefore = boxes.boxes().size();
        const Posts posts = Run();
        ASSERT_EQ(boxes.boxes().size(), boxesBefore + 1);
        EXPECT_EQ(boxes.boxes().back().text, "解压文件失败");
        EXPECT_EQ(posts.back(), Status(STATUS_FAILED));
        EXPECT_EQ(std::count(posts.begin(), posts.end(), Status(STATUS_COMPLETE)), 0);
        EXPECT_EQ(RegistryString(Key(), "DisplayName"), "<missing>");
        EXPECT_FALSE(FileExists(DesktopLink()));
        EXPECT_FALSE(FileExists(installDir + exeName));
    }
}

// A pinned package (signed list) whose body breaks off twice is resumed, and what it installs is
// the package: whether the decoding went on across the breaks or the extraction decoded it anew.
TEST_F(InstallJobTest, AResumedPinnedPackageInstallsThePackage)
{
    UseTestPublisherKey(0);
    SetDownloadTimeouts({5000, 5000, 100});

    ServePackage();
    std::string package;
    ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
    const std::string cuts = std::to_string(package.size() / 3) + "," + std::to_string(package.size() / 3 * 2);
    SetList("action=3\r\nsrcfile=" + TestServerUrl(served + "data.pak?cut=" + cuts) +
            "\r\ndestfile=data.pak\r\ncmd=DEC\r\n" + PinLines(package) + "\r\nexpires=2999-12-31");
    SignTestFile(ServedPath(served + "list.txt"));

    const int taken = SpeculativeDecodingsTaken();
    const Posts posts = Run();
    EXPECT_EQ(SpeculativeDecodingsTaken() - taken, 1) << "the decoding went on across the breaks";
    UseNoPublisherKeys();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(posts.back(), Status(STATUS_INSTALLING));
    std::string readme;
    EXPECT_TRUE(ReadFileBytes(installDir + "data\\readme.txt", &readme) && readme == "readme");
    EXPECT_FALSE(FileExists(installDir + "data.pak"));
    EXPECT_FALSE(FileExists(installDir + "data_.rar"));
    EXPECT_NE(TestServerLog().find(served + "data.pak?cut=" + cuts + " RANGE=bytes=" + std::to_string(package.size() / 3 * 2) + "-"),
              std::string::npos)
        << "the second break was resumed";
    EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
}

// The window ends the process the moment it sees status 0: by then the decoding beside the
// download must have deleted its intermediate file, also for a package that fills its queue.
TEST_F(InstallJobTest, NoIntermediateFileIsLeftWhenTheWindowHearsOfAFailedDownload)
{
    std::string noise(3 << 20, '\0');  // incompressible: a package larger than the decoding queue
    for (size_t i = 0, x = 12345; i < noise.size(); ++i, x = x * 1103515245 + 12345)
        noise[i] = static_cast<char>(x >> 16);
    UseTestPublisherKey(0);
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        ServePackage({{"Game\\noise.bin", noise}}, true, encoding);
        std::string package;
        ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
        const std::string wrongPin = "\r\nsize=" + std::to_string(package.size()) + "\r\nsha256=" + std::string(64, '0');
        for (bool cancel : {true, false}) {
            SCOPED_TRACE(std::string(PackageEncodingName(encoding)) + (cancel ? ", cancelled" : ", wrong hash"));
            SetList("action=3\r\nsrcfile=" + TestServerUrl(served + (cancel ? "data.pak?rate=1000000" : "data.pak")) +
                    "\r\ndestfile=data.pak\r\ncmd=DEC" + wrongPin + "\r\nexpires=2999-12-31");
            SignTestFile(ServedPath(served + "list.txt"));
            job.cancelRequested = 0;
            std::thread canceller;
            if (cancel) {
                canceller = std::thread([&] {
                    for (std::string part; !ReadFileBytes(installDir + "data.pak", &part) || part.size() < package.size() / 2;)
                        Sleep(20);
                    job.cancelRequested = 1;
                });
            }
            int failures = 0;
            Run([&](LPARAM status) {
                if (status == STATUS_FAILED && failures++ == 0) {
                    EXPECT_FALSE(FileExists(installDir + "data_.rar"));
                }
            });
            if (canceller.joinable())
                canceller.join();
            EXPECT_GT(failures, 0);
            EXPECT_FALSE(FileExists(installDir + "data.pak"));
        }
    }
    UseNoPublisherKeys();
}

// Local swap: another process of the player's replaces the package, or its intermediate file, the
// moment the package has matched its pins. Neither can be written, moved over or deleted until the
// extraction is done, and what is installed is the package that was checked.
TEST_F(InstallJobTest, APackageSwappedAfterItsCheckIsNeverUsed)
{
    const std::vector<PackageFile> swapped = {{"Game\\Data\\Readme.TXT", "swapped"},
                                              {"Game\\" + exeName, ReadBuilt("demo\\demo_game.exe")}};
    const struct {
        const char* what;
        bool speculative;
        std::string bytes;
        std::string target;  // "": the package
    } cases[] = {
        {"the package, decoded after its download", false, MakePackage(swapped), ""},
        {"the package, decoded while it downloaded", true, MakePackage(swapped), ""},
        {"the intermediate file, decoded while the package downloaded", true, MakeContainer(swapped),
         installDir + "data_.rar"},
    };
    UseTestPublisherKey(0);
    ServePackage();
    SetSignedPackageList();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetSpeculativeDecoding(c.speculative);
        SwapAtCheck swap("data.pak", c.bytes, c.target);
        const Posts posts = Run();
        EXPECT_EQ(swap.tried(), 1);
        EXPECT_EQ(swap.swapped(), 0);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(posts.back(), Status(STATUS_INSTALLING));
        std::string readme;
        EXPECT_TRUE(ReadFileBytes(installDir + "data\\readme.txt", &readme) && readme == "readme") << readme;
        EXPECT_FALSE(FileExists(installDir + "data.pak"));
        EXPECT_FALSE(FileExists(installDir + "data_.rar"));
        EndProgramsAt(installDir + exeName);
    }
    SetSpeculativeDecoding(true);
    UseNoPublisherKeys();
}

// Arbitrary data before the check: a mirror serves exactly the pinned number of bytes of a
// decompression bomb, in either encoding (the .xz one in blocks that the decoder's threads take).
// Decoded while it downloads, it writes no more than the signed configuration says the game takes
// (size=1: 1 MiB) into the game's folder before the hash fails.
TEST_F(InstallJobTest, ADecompressionBombOfThePinnedSizeIsDecodedNoFurtherThanTheSignedSize)
{
    UseTestPublisherKey(0);
    job.requiredKb = 1 << 10;
    const int bytes = 40000;  // about 270 MiB of zeros once decoded (160 MiB in .xz)
    for (const char* format : {"", "&format=xz"}) {
        SCOPED_TRACE(format);
        SetList("action=3\r\nsrcfile=" + TestServerUrl("fault/bomb?size=" + std::to_string(bytes) + format) +
                "\r\ndestfile=data.pak\r\ncmd=DEC\r\nsize=" + std::to_string(bytes) + "\r\nsha256=" +
                std::string(64, '0') + "\r\nexpires=2999-12-31");
        SignTestFile(ServedPath(served + "list.txt"));
        std::atomic<bool> running{true};
        uint64_t largest = 0;
        std::thread watcher([&] {
            for (WIN32_FILE_ATTRIBUTE_DATA data; running; Sleep(2)) {
                if (GetFileAttributesExA((installDir + "data_.rar").c_str(), GetFileExInfoStandard, &data))
                    largest = std::max(largest, uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow);
            }
        });
        const size_t boxesBefore = boxes.boxes().size();
        const Posts posts = Run();
        running = false;
        watcher.join();
        EXPECT_LE(largest, 1u << 20) << "the decoder wrote past the signed size";
        ASSERT_EQ(boxes.boxes().size(), boxesBefore + 1);
        EXPECT_EQ(boxes.boxes().back().text, "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！");
        EXPECT_EQ(posts.back(), Status(STATUS_FAILED));
        EXPECT_FALSE(FileExists(installDir + "data.pak"));
        EXPECT_FALSE(FileExists(installDir + "data_.rar"));
    }
    UseNoPublisherKeys();
}

// The game's folder may be the player's: nothing that another process of theirs plants there is
// installed or started by the (elevated) installer with keys.
TEST_F(InstallJobTest, NothingPlantedInTheFolderIsInstalledOrStarted)
{
    UseTestPublisherKey(0);
    ServePackage();
    const std::vector<PackageFile> planted = {{"Game\\" + exeName, ReadBuilt("demo\\demo_game.exe")},
                                              {"Game\\planted.txt", "planted"}};
    {
        SCOPED_TRACE("a signed list that only extracts, beside a planted package");
        ASSERT_TRUE(WriteFileBytes(installDir + "data.pak", MakePackage(planted)));
        SetSignedPackageList(1);
        MessageBoxRecorder fresh;
        const Posts posts = Run();
        ASSERT_EQ(fresh.boxes().size(), 1u);
        EXPECT_EQ(fresh.boxes()[0].text, "更新列表文件签名错误.");
        EXPECT_EQ(posts.back(), Status(0));
        ASSERT_TRUE(DeleteFileA((installDir + "data.pak").c_str()));
    }
    {
        SCOPED_TRACE("an intermediate file planted and held open by its planter");
        SetSignedPackageList();
        ASSERT_TRUE(WriteFileBytes(installDir + "data_.rar", MakeContainer(planted)));
        HANDLE held = CreateFileA((installDir + "data_.rar").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        MessageBoxRecorder fresh;
        const Posts posts = Run();
        CloseHandle(held);
        ASSERT_EQ(fresh.boxes().size(), 1u);
        EXPECT_EQ(fresh.boxes()[0].text, "解压文件失败");
        EXPECT_EQ(posts.back(), Status(0));
        EXPECT_TRUE(FileExists(installDir + "data.pak")) << "kept for the next run";
    }
    EXPECT_FALSE(FileExists(installDir + "planted.txt"));
    EXPECT_FALSE(FileExists(installDir + exeName));
    EXPECT_FALSE(WaitForFile(installDir + "started.txt", 500));

    // Let go, the intermediate file is the run's own, and the game is the package's.
    MessageBoxRecorder fresh;
    const Posts posts = Run();
    UseNoPublisherKeys();
    EXPECT_TRUE(fresh.boxes().empty());
    EXPECT_EQ(Statuses(posts).back(), STATUS_INSTALLING);
    EXPECT_FALSE(FileExists(installDir + "planted.txt"));
    EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
}

// A file of the earlier install that another process holds (without sharing writes) is waited for
// a moment, then fails the run, named, with the package kept; the run after it completes.
TEST_F(InstallJobTest, AFileHeldByAnotherProcessFailsTheRunUntilItIsLetGo)
{
    SetPackageList();
    ServePackage();
    Run();
    EndProgramsAt(installDir + exeName);
    ASSERT_TRUE(boxes.boxes().empty());

    SetBusyFileWait(500);
    HANDLE held = CreateFileA((installDir + "data\\readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Posts posts = Run();
    CloseHandle(held);
    SetBusyFileWait(5000);
    ExpectFailure(posts, "解压文件失败\n文件:" + installDir + "data\\readme.txt.");
    EXPECT_TRUE(FileExists(installDir + "data.pak"));

    MessageBoxRecorder fresh;
    posts = Run();
    EXPECT_TRUE(fresh.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 6, 7, 6}));
}

namespace {

// The requests for `file` that the server logged after `before` bytes of its log: " RANGE=..." for
// one with a Range header, "" for one without.
std::vector<std::string> RequestsFor(const std::string& file, size_t before)
{
    std::vector<std::string> found;
    const std::string log = TestServerLog().substr(before);
    for (size_t at = 0; (at = log.find("GET /" + file, at)) != std::string::npos; at = log.find('\n', at)) {
        const std::string line = log.substr(at, log.find('\n', at) - at);
        const size_t range = line.find(" RANGE=");
        if (line.compare(5, std::string::npos, file) == 0 || range == 5 + file.size())
            found.push_back(range == std::string::npos ? "" : line.substr(range));
    }
    return found;
}

}  // namespace

// The server gone for 40 s in the middle of a pinned package: the download waits, says it is
// reconnecting, and carries on where it broke off once the server is back.
TEST_F(InstallJobTest, AnOutageOfFortySecondsInTheMiddleOfThePackageIsRiddenOut)
{
    UseTestPublisherKey(0);
    ServePackage();
    std::string package;
    ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
    const std::string half = std::to_string(package.size() / 2);
    SetList("action=3\r\nsrcfile=" + TestServerUrl(served + "data.pak?cut=" + half + "&down=40") +
            "\r\ndestfile=data.pak\r\ncmd=DEC\r\n" + PinLines(package) + "\r\nexpires=2999-12-31");
    SignTestFile(ServedPath(served + "list.txt"));
    const Posts posts = Run();
    UseNoPublisherKeys();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(Statuses(posts), (std::vector<int>{2, 2, 4, 8, 4, 6, 7, 6}));
    EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
    const std::vector<std::string> requests = RequestsFor(served + "data.pak?cut=" + half + "&down=40", 0);
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests.back(), " RANGE=bytes=" + half + "-");
}

// Mirrors of a pinned package (here without keys: a list that names mirrors must pin its file).
// Whatever an address does, the hash over all of them decides.
TEST_F(InstallJobTest, MirrorsCarryOnWhereAnAddressFailedAndABadOneCostsOnlyTime)
{
    ServePackage();
    std::string package;
    ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
    std::string other = package;  // the same length, other bytes
    other[other.size() * 3 / 4] ^= 0x40;
    ASSERT_TRUE(WriteFileBytes(ServedPath(served + "other.pak"), other));
    const std::string half = std::to_string(package.size() / 2);
    const std::string dying = "data.pak?cut=" + half + "&down=forever", good = "data.pak", bad = "other.pak";
    const char kNetwork[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！";
    const struct {
        const char* what;
        std::vector<std::string> mirrors;
        std::string pins;
        const char* box;  // nullptr: installed
        std::vector<std::string> fromGood;  // the requests of the good address
    } cases[] = {
        {"srcfile dies for good: mirror1 goes on", {good}, PinLines(package), nullptr, {" RANGE=bytes=" + half + "-"}},
        {"mirror1 serves other bytes: mirror2 starts again", {bad, good}, PinLines(package), nullptr, {""}},
        {"mirror1 serves other bytes, and no other", {bad}, PinLines(package), kNetwork, {}},
        {"mirrors without pins", {good}, "", "解析更新列表文件错误,下载文件缺少大小或校验值.", {}},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = served + std::to_string(++number) + "/";
        for (const char* file : {"data.pak", "other.pak"})
            ASSERT_TRUE(WriteFileBytes(ServedPath(folder + file), file[0] == 'd' ? package : other));
        std::string list = "action=3\r\nsrcfile=" + TestServerUrl(folder + dying) + "\r\ndestfile=data.pak\r\ncmd=DEC\r\n" + c.pins;
        for (size_t i = 0; i < c.mirrors.size(); ++i)
            list += "\r\nmirror" + std::to_string(i + 1) + "=" + TestServerUrl(folder + c.mirrors[i]);
        SetList(list);
        MessageBoxRecorder fresh;
        const Posts posts = Run();
        if (c.box) {
            ASSERT_EQ(fresh.boxes().size(), 1u);
            EXPECT_EQ(fresh.boxes()[0].text, c.box);
            EXPECT_EQ(posts.back(), Status(0));
            EXPECT_FALSE(FileExists(installDir + exeName));
            EXPECT_FALSE(FileExists(installDir + "data.pak"));
        } else {
            EXPECT_TRUE(fresh.boxes().empty());
            EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
        }
        EXPECT_EQ(RequestsFor(folder + good, 0), c.fromGood);
        EndProgramsAt(installDir + exeName);
        SetCurrentDirectoryA(scratch.path().c_str());
        RemoveTree(installDir);
        ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
    }
}

// A package an earlier run left unfinished in the folder (killed, or the network gone for too
// long) is taken over, held from before its bytes are hashed, and trusted only as far as its hash
// says: a good part is carried on with Range and fed to the decoding first; anything else costs a
// download from the first byte, and nothing it links to is written.
TEST_F(InstallJobTest, AKeptPartialPackageCountsOnlyAsFarAsItsHashSays)
{
    UseTestPublisherKey(0);
    ServePackage();
    std::string package;
    ASSERT_TRUE(ReadFileBytes(ServedPath(served + "data.pak"), &package));
    SetSignedPackageList();
    const size_t half = package.size() / 2;
    std::string flipped = package.substr(0, half);
    flipped[half / 2] ^= 1;
    const std::string range = " RANGE=bytes=" + std::to_string(half) + "-";
    const std::string outside = scratch / "outside.pak";
    const struct {
        const char* what;
        std::string kept;
        bool link;  // data.pak a hard link to `outside` with the kept bytes
        std::vector<std::string> requests;
        int decoded;  // the decoding during the download was taken
    } cases[] = {
        {"the first half", package.substr(0, half), false, {range}, 1},
        {"the whole package (killed while it was being extracted)", package, false, {}, 1},
        {"the first half with a byte flipped", flipped, false, {range, ""}, 0},
        {"longer than the pin", package + "x", false, {""}, 1},
        {"a hard link to a file elsewhere", package.substr(0, half), true, {""}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(c.link ? outside : installDir + "data.pak", c.kept));
        if (c.link) {
            ASSERT_TRUE(CreateHardLinkA((installDir + "data.pak").c_str(), outside.c_str(), nullptr));
        }
        const size_t logged = TestServerLog().size();
        const int taken = SpeculativeDecodingsTaken();
        SwapAtCheck swap("data.pak", "swapped");
        const Posts posts = Run();
        EXPECT_EQ(swap.tried(), 1);
        EXPECT_EQ(swap.swapped(), 0);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(posts.back(), Status(STATUS_INSTALLING));
        EXPECT_TRUE(WaitForFile(installDir + "started.txt"));
        EXPECT_EQ(RequestsFor(served + "data.pak", logged), c.requests);
        EXPECT_EQ(SpeculativeDecodingsTaken() - taken, c.decoded);
        std::string left;
        EXPECT_TRUE(!c.link || (ReadFileBytes(outside, &left) && left == c.kept)) << "written through the link";
        EndProgramsAt(installDir + exeName);
        DeleteFileA((installDir + "started.txt").c_str());
    }
    UseNoPublisherKeys();
}
