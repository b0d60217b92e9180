// DownloadFile when something goes wrong: the texts, the box or its absence, status 0, no file
// left behind, and waits that end.
#include "download_fixture.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

namespace {

const char kGeneric[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！";

std::string OpenUrlFailure(const std::string& url) { return "InternetOpenUrl 错误.\n网址:" + url + ".\n."; }
const char kReadFailure[] = "InternetReadFile 错误.\n";

std::string RefusedUrl() { return "http://127.0.0.1:" + std::to_string(TestServerPort("refused")) + "/x.bin"; }

class DownloadFaultTest : public DownloadTest {
protected:
    // Runs a failing download quietly and then with boxes. Quiet: the detailed text stays in
    // message and no box shows. Otherwise: one "错误" box with the generic text, owned by the
    // window. Both: result 1, status 0 as the last post, no file left under the target name.
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
                EXPECT_EQ(shown[0].text, kGeneric);
                EXPECT_EQ(shown[0].caption, "错误");
                EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
            }
            const Posts posts = sink.Take();
            ASSERT_GE(posts.size(), 2u);
            EXPECT_EQ(posts.front(), Progress(0));
            EXPECT_EQ(posts.back(), Status(0));
            if (name) {
                EXPECT_FALSE(FileExists(localPath)) << localPath;
            }
        }
    }

    // Sets the cancel flag from another thread once `ready` holds, while DownloadFile runs here.
    template <typename Ready>
    int DownloadAndCancel(const char* target, const std::string& url, Ready ready)
    {
        std::thread canceller([&] {
            while (!ready())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            job.cancelRequested = 1;
        });
        int result = Download(target, url);
        canceller.join();
        return result;
    }
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_F(DownloadFaultTest, ConnectionRefused) { ExpectFailure("pkg.bin", RefusedUrl(), OpenUrlFailure(RefusedUrl())); }

TEST_F(DownloadFaultTest, UntrustedCertificate)
{
    ASSERT_NE(TestServerPort("untrusted"), 0) << "no https listeners: run scripts/setup.sh";
    const std::string url = TestServerHttpsUrl("fault/body?size=10&length=10", "untrusted");
    ExpectFailure("pkg.bin", url, OpenUrlFailure(url));
}

TEST_F(DownloadFaultTest, BodyCutShortOrResetDeletesThePartialFile)
{
    // Closed after 70000 of 200000 bytes: the first block was written before the loss showed.
    ExpectFailure("pkg.bin", FaultBody("size=70000&length=200000"), kReadFailure);
    ExpectFailure("pkg.bin", FaultBody("size=70000&length=200000&then=reset"), kReadFailure);
    // The same for a temporary file, which the failed read removes too.
    ExpectFailure(nullptr, FaultBody("size=70000&length=200000"), kReadFailure);
    EXPECT_FALSE(FileExists(localPath));
}

TEST_F(DownloadFaultTest, TemporaryFileStaysWhenTheFailureComesBeforeTheTransfer)
{
    ASSERT_EQ(Download(nullptr, RefusedUrl(), true), 1);
    EXPECT_EQ(Downloaded(), "");
    DeleteFileA(localPath);
}

TEST_F(DownloadFaultTest, FullDiskIsAFailure)
{
    // package-quiet.bin and package-box.bin lead to /dev/full (see CMakeLists.txt).
    SetInstallDir(TestRuntimeDir() + "\\full-disk");
    const std::string url = FaultBody("size=200000&length=200000");
    ExpectFailure("package-quiet.bin", url,
                  "写入文件错误.\n文件:" + TestRuntimeDir() + "\\full-disk\\\\package-quiet.bin.", "package-box.bin");
}

TEST_F(DownloadFaultTest, FolderThatCannotBeMadeEndsAfterOneRetry)
{
    ExpectFailure("a\\b\\pkg.bin", FaultBody("size=10&length=10"),
                  "创建文件错误.\n文件:" + dir.path() + "\\\\a\\b\\pkg.bin.");
}

TEST_F(DownloadFaultTest, NoTemporaryFolder)
{
    char saved[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TMP", (dir.path() + "\\missing").c_str());
    ExpectFailure(nullptr, FaultBody("size=10&length=10"), "获取临时文件路径出错");
    SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);
}

TEST_F(DownloadFaultTest, PathTooLongForItsBuffer)
{
    const std::string name(230, 'n');
    ExpectFailure(name.c_str(), FaultBody("size=12&length=12"), "本地文件路径过长.\n文件:" + name + ".");
    EXPECT_EQ(TestServerLog().find("size=12&length=12"), std::string::npos);
}

TEST_F(DownloadFaultTest, StalledServerEndsWithTheTimeOut)
{
    ScopedTimeouts shortened({2000, 2000});
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
}

TEST_F(DownloadFaultTest, CancelEndsTheWaitForAStalledServer)
{
    // The default time-outs: only the cancel can end this wait early.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadAndCancel("pkg.bin", TestServerUrl("fault/stall"),
                                [&] { return SecondsSince(start) > 0.5; }), 1);
    printf("[ figures  ] cancelled after 0.5 s, returned after %.2f s\n", SecondsSince(start));
    EXPECT_STREQ(job.message, "");
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Status(0)}));
}

TEST_F(DownloadFaultTest, CancelDuringASlowTransferDeletesThePartialFile)
{
    // 64 KiB at once, then 1 KiB every 50 ms: the second block would take 3.2 s, the rest a minute.
    // The cancel comes after 1 s, while the second block is on its way.
    const std::string url = FaultBody("size=1048576&length=1048576&first=65536&chunk=1024&delay=50");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadAndCancel("pkg.bin", url, [&] { return SecondsSince(start) > 1.0; }), 1);
    printf("[ figures  ] slow transfer cancelled after 1 s, returned after %.2f s\n", SecondsSince(start));
    EXPECT_FALSE(FileExists(localPath));
    EXPECT_STREQ(job.message, "");
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Progress(6), Status(0)}));
}

TEST_F(DownloadFaultTest, CancelBeforeTheRequestSendsNothing)
{
    job.cancelRequested = 1;
    EXPECT_EQ(Download("pkg.bin", FaultBody("size=11&length=11")), 1);
    EXPECT_STREQ(job.message, "");
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Status(0)}));
    EXPECT_EQ(TestServerLog().find("size=11&length=11"), std::string::npos);
}
