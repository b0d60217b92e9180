// DownloadFile when something goes wrong: the texts, the box or its absence, status 0, no file
// left behind, and waits that end.
#include "download_fixture.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

const char kGeneric[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！";
const char kReadFailure[] = "InternetReadFile 错误.\n";
std::string OpenUrlFailure(const std::string& url) { return "InternetOpenUrl 错误.\n网址:" + url + ".\n."; }
std::string RefusedUrl() { return "http://127.0.0.1:" + std::to_string(TestServerPort("refused")) + "/x.bin"; }

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class DownloadFaultTest : public DownloadTest {
protected:
    // Runs a failing download quietly, then with boxes (under `loudTarget` if given). Quiet: the
    // detailed text stays in message, no box. Otherwise: message and one box hold the generic
    // text, caption "错误", OK only, owned by the window. Both: result 1, posts from progress 0
    // to status 0, no file left under a target name.
    void ExpectFailure(const char* target, const std::string& url, const std::string& detail,
                       const char* loudTarget = nullptr)
    {
        for (bool quiet : {true, false}) {
            SCOPED_TRACE(quiet ? "quiet" : "with box");
            const char* name = quiet || !loudTarget ? target : loudTarget;
            MessageBoxRecorder recorder;
            EXPECT_EQ(Download(name, url, quiet), 1);
            EXPECT_EQ(job.message, quiet ? detail : std::string(kGeneric));
            const auto shown = recorder.boxes();
            ASSERT_EQ(shown.size(), quiet ? 0u : 1u);
            if (!quiet) {
                EXPECT_EQ(shown[0].owner, job.window);
                EXPECT_EQ(shown[0].text + "|" + shown[0].caption, std::string(kGeneric) + "|错误");
                EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
            }
            const Posts posts = sink.Take();
            EXPECT_EQ(posts.front(), Progress(0));
            EXPECT_EQ(posts.back(), Status(0));
            EXPECT_TRUE(!name || !FileExists(localPath)) << localPath;
        }
    }

    // Runs DownloadFile here while another thread sets the cancel flag once `ready()` holds.
    template <typename Ready>
    int DownloadAndCancel(const std::string& url, Ready ready)
    {
        std::thread canceller([&] {
            while (!ready())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            job.cancelRequested = 1;
        });
        int result = Download("pkg.bin", url);
        canceller.join();
        EXPECT_STREQ(job.message, "");
        EXPECT_TRUE(boxes.boxes().empty());
        return result;
    }
};

}  // namespace

TEST_F(DownloadFaultTest, ConnectionRefusedOrNoHttpAddress)
{
    ExpectFailure("pkg.bin", RefusedUrl(), OpenUrlFailure(RefusedUrl()));
    ExpectFailure("pkg.bin", "update/tarnhold.txt", OpenUrlFailure("update/tarnhold.txt"));  // fails at once
}

TEST_F(DownloadFaultTest, UntrustedCertificate)
{
    const std::string url = TestServerHttpsUrl("fault/body?size=10&length=10", "untrusted");
    ExpectFailure("pkg.bin", url, OpenUrlFailure(url));
}

TEST_F(DownloadFaultTest, BodyCutShortOrResetDeletesThePartialFile)
{
    // 70000 of 200000 bytes: the first block is on disk before the loss shows.
    ExpectFailure("pkg.bin", FaultBody("size=70000&length=200000"), kReadFailure);
    ExpectFailure("pkg.bin", FaultBody("size=70000&length=200000&then=reset"), kReadFailure);
    ExpectFailure(nullptr, FaultBody("size=70000&length=200000"), kReadFailure);
    // Announced as 4 GiB + 70000 bytes: counted in 32 bits, the 70000 that came would be all.
    ExpectFailure("pkg.bin", FaultBody("size=70000&length=4295037296"), kReadFailure);
    EXPECT_FALSE(FileExists(localPath));  // a temporary file goes too
    // A failure before the transfer leaves the empty temporary file.
    ASSERT_EQ(Download(nullptr, RefusedUrl(), true), 1);
    EXPECT_EQ(Downloaded(), "");
    DeleteFileA(localPath);
}

TEST_F(DownloadFaultTest, LocalFileFailures)
{
    const std::string url = FaultBody("size=200000&length=200000");
    ExpectFailure("a\\b\\pkg.bin", url, "创建文件错误.\n文件:" + dir.path() + "\\\\a\\b\\pkg.bin.");
    const std::string longName(230, 'n');
    ExpectFailure(longName.c_str(), url, "本地文件路径过长.\n文件:" + longName + ".");

    char savedTmp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH);
    SetEnvironmentVariableA("TMP", (dir.path() + "\\missing").c_str());
    ExpectFailure(nullptr, url, "获取临时文件路径出错");
    SetEnvironmentVariableA("TMP", savedTmp);

    // Writes fail as on a full disk: package-*.bin lead to /dev/full (tests/net/CMakeLists.txt).
    SetInstallDir(TestRuntimeDir() + "\\full-disk");
    ExpectFailure("package-quiet.bin", url,
                  "写入文件错误.\n文件:" + TestRuntimeDir() + "\\full-disk\\\\package-quiet.bin.", "package-box.bin");
}

TEST_F(DownloadFaultTest, TargetNamesLeadingOutOfTheInstallDirectoryAreRefused)
{
    // The install directory is a folder below the scratch folder; nothing may land beside it.
    ASSERT_TRUE(CreateDirectoryA((dir.path() + "\\game").c_str(), nullptr));
    SetInstallDir(dir.path() + "\\game");
    const std::string url = FaultBody("size=13&length=13");
    for (const std::string& name : std::vector<std::string>{"..\\escaped.bin", "\\..\\escaped.bin",
                                                            "sub\\..\\..\\escaped.bin", "sub/../../escaped.bin",
                                                            "a\\..\\b\\..\\..\\escaped.bin",
                                                            dir.path() + "\\escaped.bin"}) {
        SCOPED_TRACE(name);
        const std::string shown = name[0] == '\\' ? name.substr(1) : name;
        ExpectFailure(name.c_str(), url, "本地文件路径错误.\n文件:" + shown + ".");
        EXPECT_FALSE(FileExists(dir.path() + "\\escaped.bin"));
    }
    EXPECT_EQ(TestServerLog().find("size=13&length=13"), std::string::npos);  // nothing was asked for
    // Separators the platform reads as one keep the file inside.
    for (const char* name : {"/inside.bin", "\\\\inside.bin", ".\\inside.bin"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Download(name, url), 0);
        EXPECT_TRUE(DeleteFileA((dir.path() + "\\game\\inside.bin").c_str()));
    }
}

TEST_F(DownloadFaultTest, StalledServerEndsWithTheTimeOut)
{
    const DownloadTimeouts previous = SetDownloadTimeouts({2000, 2000});
    const std::string silent = TestServerUrl("fault/stall");
    const std::string silentMidBody = FaultBody("size=70000&length=200000&then=stall");
    for (const auto& [url, detail] : {std::make_pair(silent, OpenUrlFailure(silent)),
                                      std::make_pair(silentMidBody, std::string(kReadFailure))}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Download("pkg.bin", url, true), 1);
        printf("[ figures  ] %s returned after %.2f s (time-outs 2 s)\n", url.c_str(), SecondsSince(start));
        EXPECT_EQ(job.message, detail);
        EXPECT_FALSE(FileExists(localPath));
        EXPECT_EQ(sink.Take().back(), Status(0));
    }
    SetDownloadTimeouts(previous);
}

TEST_F(DownloadFaultTest, CancelEndsTheWaitForAStalledServer)
{
    // With the default time-outs only the cancel can end this wait early.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadAndCancel(TestServerUrl("fault/stall"), [&] { return SecondsSince(start) > 0.5; }), 1);
    printf("[ figures  ] cancelled after 0.5 s, returned after %.2f s\n", SecondsSince(start));
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Status(0)}));
}

TEST_F(DownloadFaultTest, CancelDuringASlowTransferDeletesThePartialFile)
{
    // 64 KiB at once, then 512 bytes every 50 ms: the second block would take 6.4 s. The cancel
    // comes 1 s after the server saw the request, while the second block is on its way.
    const std::string url = FaultBody("size=1048576&length=1048576&first=65536&chunk=512&delay=50");
    auto requested = std::chrono::steady_clock::time_point();
    auto ready = [&] {
        if (requested == std::chrono::steady_clock::time_point() && TestServerLog().find("chunk=512") != std::string::npos)
            requested = std::chrono::steady_clock::now();
        return requested != std::chrono::steady_clock::time_point() && SecondsSince(requested) > 1.0;
    };
    EXPECT_EQ(DownloadAndCancel(url, ready), 1);
    printf("[ figures  ] slow transfer cancelled, returned %.2f s after the request\n", SecondsSince(requested));
    EXPECT_FALSE(FileExists(localPath));
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Progress(6), Status(0)}));
}

TEST_F(DownloadFaultTest, CancelBeforeTheRequestSendsNothing)
{
    job.cancelRequested = 1;
    EXPECT_EQ(DownloadAndCancel(FaultBody("size=11&length=11"), [] { return true; }), 1);
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Status(0)}));
    EXPECT_EQ(TestServerLog().find("size=11&length=11"), std::string::npos);
}
