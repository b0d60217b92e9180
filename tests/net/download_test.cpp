// DownloadFile when the transfer succeeds: what it posts, where the file goes, what it holds.
#include "download_fixture.h"

#include <windows.h>

TEST_F(DownloadTest, PostsZeroThenEveryBlocksPercentageThenHundred)
{
    const std::string body = Pattern(0, 200000);  // three full 64 KiB blocks and 3392 bytes
    ASSERT_TRUE(WriteFileBytes(ServedPath("net/200k.bin"), body));
    ASSERT_EQ(Download("pkg.bin", TestServerUrl("net/200k.bin")), 0);
    EXPECT_EQ(sink.Take(), (Posts{Progress(0), Progress(32), Progress(65), Progress(98), Progress(100), Progress(100)}));
    EXPECT_EQ(std::string(localPath), dir.path() + "\\\\pkg.bin");  // installDir's backslash, then "\"
    EXPECT_EQ(Downloaded(), body);
    EXPECT_STREQ(job.message, "");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(DownloadTest, OddBodiesAndHttpsCountAsDownloaded)
{
    struct Case {
        std::string url;
        Posts posts;
        std::string body;
    } cases[] = {
        // No Content-Length: the percentage stays 0 until the end.
        {FaultBody("size=200000"), {Progress(0), Progress(0), Progress(0), Progress(0), Progress(0), Progress(100)},
         Pattern(0, 200000)},
        // More bytes than announced: WinINet hands over what came, and the percentage passes 100.
        {FaultBody("size=300&length=200"), {Progress(0), Progress(150), Progress(100)}, Pattern(0, 300)},
        {FaultBody("size=0&length=0"), {Progress(0), Progress(100)}, ""},
        // The status is not examined: the error page is the download.
        {TestServerUrl("net/no-such-file.bin"), {Progress(0), Progress(100), Progress(100)},
         "<html><body><h1>404 Not Found</h1></body></html>"},
        // A certificate from the test CA that the test run trusts (scripts/setup.sh).
        {TestServerHttpsUrl("fault/body?size=100000&length=100000"), {Progress(0), Progress(65), Progress(100),
         Progress(100)}, Pattern(0, 100000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(Download("pkg.bin", c.url), 0) << job.message;
        EXPECT_EQ(sink.Take(), c.posts);
        EXPECT_EQ(Downloaded(), c.body);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(DownloadTest, BodiesAboveOneMebibyteCountInKibibytes)
{
    ASSERT_EQ(Download("big.bin", FaultBody("size=47185920&length=47185920")), 0);  // 45 MiB
    const Posts posts = sink.Take();
    ASSERT_EQ(posts.size(), 720u + 2);
    EXPECT_EQ(posts[360], Progress(50));   // 23040 KiB of 46080
    EXPECT_EQ(posts[700], Progress(97));   // 44800 KiB; total * 100 in bytes would wrap to 6
    EXPECT_EQ(posts[720], Progress(100));  // the last block
    for (size_t i = 1; i < posts.size(); ++i)
        ASSERT_LE(posts[i - 1].lParam, posts[i].lParam) << i;
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(localPath, GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 45u << 20);
}

TEST_F(DownloadTest, TargetNamesAndTemporaryFiles)
{
    const std::string url = FaultBody("size=10&length=10");
    ASSERT_EQ(Download("\\lead.bin", url), 0);
    const std::string withBackslash = localPath;
    ASSERT_EQ(Download("lead.bin", url), 0);
    EXPECT_EQ(withBackslash, localPath);
    // A missing folder one level down is made.
    ASSERT_EQ(Download("sub\\pkg.bin", url), 0);
    EXPECT_EQ(std::string(localPath), dir.path() + "\\\\sub\\pkg.bin");
    // "嘰" ends in the byte of a backslash (GBK 87 5C): the folder to make is still "子目录".
    ASSERT_EQ(Download("子目录\\嘰嘰.bin", url), 0);
    EXPECT_EQ(Downloaded(), Pattern(0, 10));

    // No target name: a new temporary file "fgl....tmp".
    ASSERT_EQ(Download(nullptr, url), 0);
    char temp[MAX_PATH];
    const std::string prefix = std::string(temp, GetTempPathA(MAX_PATH, temp)) + "fgl";
    EXPECT_EQ(std::string(localPath).substr(0, prefix.size()), prefix);
    EXPECT_EQ(Downloaded(), Pattern(0, 10));
    DeleteFileA(localPath);
}

TEST_F(DownloadTest, WithoutAWindowThePostsGoToTheThreadQueue)
{
    job.window = nullptr;
    ASSERT_EQ(Download("pkg.bin", FaultBody("size=10&length=10"), true), 0);
    ASSERT_EQ(Download("pkg.bin", "http://127.0.0.1:" + std::to_string(TestServerPort("refused")) + "/", true), 1);
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_EQ(PostedMessages::TakeThreadMessages(),
              (Posts{Progress(0), Progress(100), Progress(100), Progress(0), Status(0)}));
}
