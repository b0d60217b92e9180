// Pinned downloads (a list gives the size and SHA-256): the checks, and how a body that breaks off
// is resumed with Range requests, in this run or the next, against the local server's cut, Range
// and down modes.
#include "download_fixture.h"

#include "common/publisher_crypto.h"

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

namespace {

constexpr size_t kFileSize = 300000;

class PinnedDownloadTest : public DownloadTest {
protected:
    void SetUp() override
    {
        DownloadTest::SetUp();
        // Short waits between tries; the time-outs as the job tests have them.
        previous_ = SetDownloadTimeouts({5000, 5000, 100});
        served_ = std::string("pinned-") + testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
        content_ = Pattern(7, kFileSize);
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_), content_));
        pin_.size = content_.size();
        Sha256 hash;
        hash.Update(content_.data(), content_.size());
        hash.Final(pin_.sha256);
    }
    void TearDown() override { SetDownloadTimeouts(previous_); }

    int Fetch(const std::string& query, const DownloadPin& pin)
    {
        DownloadOptions options;
        options.pin = &pin;
        return DownloadFile("game.bin", job, (TestServerUrl(served_) + query).c_str(), localPath, options);
    }
    // This test's requests as the server logged them, one "GET path [RANGE=...]" a line.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> lines;
        std::istringstream log(TestServerLog());
        for (std::string line; std::getline(log, line);)
            if (line.find(served_) != std::string::npos)
                lines.push_back(line.substr(line.find(" RANGE=") == std::string::npos ? line.size() : line.find(" RANGE=")));
        return lines;
    }
    static std::vector<int> Progresses(const Posts& posts)
    {
        std::vector<int> values;
        for (const PostedMessage& m : posts)
            if (m.message == WM_INSTALL_PROGRESS)
                values.push_back(static_cast<int>(m.lParam));
        return values;
    }

    DownloadTimeouts previous_{};
    std::string served_, content_;
    DownloadPin pin_;
};

TEST_F(PinnedDownloadTest, ABodyCutTwiceArrivesWholeWithTwoRangeRequestsAndProgressOnlyRises)
{
    EXPECT_EQ(Fetch("?cut=100000,200000", pin_), 0);
    EXPECT_TRUE(Downloaded() == content_);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"", " RANGE=bytes=100000-", " RANGE=bytes=200000-"}));
    const std::vector<int> progress = Progresses(sink.Take());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PinnedDownloadTest, AServerThatIgnoresRangeSendsItAllAgainFromByteZero)
{
    EXPECT_EQ(Fetch("?cut=100000&range=ignore", pin_), 0);
    EXPECT_TRUE(Downloaded() == content_);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"", " RANGE=bytes=100000-"}));
    const std::vector<int> progress = Progresses(sink.Take());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << "the restart does not take the bar back";
}

// A wrong pin, whether the server announces another length or the bytes differ: the failure path,
// and no file left.
TEST_F(PinnedDownloadTest, WrongSizeOrWrongHashFail)
{
    DownloadPin wrongHash = pin_, larger = pin_, smaller = pin_;
    wrongHash.sha256[31] ^= 1;
    larger.size += 1;
    smaller.size -= 1;
    const struct {
        const char* what;
        const DownloadPin& pin;
        const char* query;
        size_t requests;
    } cases[] = {
        {"hash", wrongHash, "", 1},
        {"larger", larger, "", 1},
        {"smaller", smaller, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = Requests().size(), boxesBefore = boxes.boxes().size();
        EXPECT_EQ(Fetch(c.query, c.pin), 1);
        EXPECT_EQ(Requests().size() - before, c.requests);
        EXPECT_FALSE(FileExists(localPath));
        EXPECT_EQ(boxes.boxes().size() - boxesBefore, 1u);
        EXPECT_EQ(sink.Take().back(), Status(0));
    }
}

// The network gone for longer than the allowance (1.5 s here): the download fails, its box and
// status 0, and keeps what it has. The next download of the same pin carries on from there.
TEST_F(PinnedDownloadTest, ANetworkGonePastTheAllowanceKeepsThePartFetchedForTheNextRun)
{
    SetDownloadTimeouts({5000, 5000, 100, 400, 1500});
    EXPECT_EQ(Fetch("?cut=100000&down=forever", pin_), 1);
    std::string kept;
    ASSERT_TRUE(ReadFileBytes(localPath, &kept));
    EXPECT_TRUE(kept == content_.substr(0, 100000)) << kept.size();
    EXPECT_EQ(boxes.boxes().size(), 1u);
    std::vector<int> statuses;
    for (const PostedMessage& m : sink.Take())
        if (m.message == WM_INSTALL_STATUS)
            statuses.push_back(static_cast<int>(m.lParam));
    EXPECT_EQ(statuses, (std::vector<int>{STATUS_RECONNECTING, STATUS_FAILED}));
    const std::vector<std::string> first = Requests();
    ASSERT_GE(first.size(), 3u) << "reconnected until the allowance ran out";
    EXPECT_EQ(first[1], " RANGE=bytes=100000-");

    EXPECT_EQ(Fetch("", pin_), 0);
    EXPECT_TRUE(Downloaded() == content_);
    EXPECT_EQ(Requests().size(), first.size() + 1);
    EXPECT_EQ(Requests().back(), " RANGE=bytes=100000-");
    const std::vector<int> progress = Progresses(sink.Take());
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[1], 33) << "from what was there";
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(PinnedDownloadTest, ACancelDuringTheWaitEndsAtOnceWithoutABox)
{
    SetDownloadTimeouts({5000, 5000, 20000});
    std::atomic<bool> done{false};
    std::thread canceller([&] {
        // Once the first body has broken off the download waits 20 s before it tries again.
        while (!done && Requests().empty())
            Sleep(20);
        Sleep(1500);
        job.cancelRequested = 1;
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(Fetch("?cut=100000", pin_), 1);
    done = true;
    canceller.join();
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(FileExists(localPath));
}

}  // namespace
