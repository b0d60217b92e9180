// The configuration and the update list against servers that never stop sending, or send too
// slowly ever to finish: the address fails, in time, with or without publisher keys.
#include "install/install_job.h"
#include "ui/config_addresses.h"

#include "common/fixed_string.h"
#include "net/download.h"
#include "support/message_box_recorder.h"
#include "support/posted_messages.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Time-outs that a trickle of one byte a second never trips: only the deadline (their sum) can.
constexpr DownloadTimeouts kShortTimeouts = {2000, 1500};

class SmallFilesTest : public testing::Test {
protected:
    void SetUp() override { previous_ = SetDownloadTimeouts(kShortTimeouts); }
    void TearDown() override { SetDownloadTimeouts(previous_); }

    DownloadTimeouts previous_;
};

}  // namespace

TEST_F(SmallFilesTest, EndlessAndTricklingFilesFailTheirAddress)
{
    const std::string config = "[setup]\r\ngamename=Slow\r\nsize=1\r\n[config]\r\n1.0=" + TestServerUrl("small/list.txt") + "\r\n";
    const std::string list = "[list0]\r\naction=0\r\n";
    ASSERT_TRUE(WriteFileBytes(ServedPath("small/tarnhold.txt"), config));
    ASSERT_TRUE(WriteFileBytes(ServedPath("small/list.txt"), list));
    ASSERT_TRUE(WriteFileBytes(ServedPath("small/full.txt"), config + std::string(65536 - config.size(), ';')));
    ASSERT_TRUE(WriteFileBytes(ServedPath("small/over.txt"), config + std::string(65537 - config.size(), ';')));
    const struct {
        const char* what;
        const char* file;  // the configuration's address
        bool taken;
    } configurations[] = {
        {"as it is", "small/tarnhold.txt", true},
        {"64 KiB", "small/full.txt", true},
        {"a byte more than 64 KiB", "small/over.txt", false},
        {"endless", "fault/body?size=endless", false},
        {"one byte a second", "small/tarnhold.txt?trickle=1000", false},
    };
    for (const auto& c : configurations) {
        SCOPED_TRACE(c.what);
        InstallJob job;
        EXPECT_EQ(FetchConfigurationFrom(job, TestServerUrl(c.file).c_str()), c.taken);
        EXPECT_EQ(std::string(job.gameName), c.taken ? "Slow" : "");
    }

    // The update list, on the job's own thread: one box and status 0 for a list that cannot come.
    const struct {
        const char* what;
        const char* file;  // the update list's address
        int status;        // the last status posted
    } lists[] = {
        {"as it is", "small/list.txt", STATUS_INSTALLING},
        {"endless", "fault/body?size=endless", STATUS_FAILED},
        {"one byte a second", "small/list.txt?trickle=1000", STATUS_FAILED},
    };
    for (const auto& c : lists) {
        SCOPED_TRACE(c.what);
        PostedMessages sink;
        MessageBoxRecorder boxes;
        ScratchDir dir("small");
        InstallJob job;
        job.window = sink.window();
        CopyString(job.installDir, (dir.path() + "\\").c_str());
        const std::string text = "[config]\r\n1.0=" + TestServerUrl(c.file) + "\r\n";
        ASSERT_TRUE(job.configText.Assign(text.data(), text.size()));
        char current[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, current);
        RunInstallJob(job);
        SetCurrentDirectoryA(current);  // the job made the game's folder the current one
        const std::vector<PostedMessage> posts = sink.Take();
        ASSERT_FALSE(posts.empty());
        EXPECT_EQ(posts.back(), Status(c.status));
        EXPECT_EQ(boxes.boxes().size(), c.status == STATUS_FAILED ? 1u : 0u);
    }
}
