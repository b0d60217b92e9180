#pragma once
// What the download tests share: an install directory, a recorded window and message boxes, and
// the addresses of the local server's misbehaving bodies.
#include "common/fixed_string.h"
#include "net/download.h"
#include "support/message_box_recorder.h"
#include "support/posted_messages.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Posts = std::vector<PostedMessage>;

// Bytes offset .. offset+count-1 of the test server's generated bodies (byte i is i % 251).
inline std::string Pattern(size_t offset, size_t count)
{
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((offset + i) % 251);
    return bytes;
}

// A generated body of the test server, for example "size=1000&length=5000&then=reset".
inline std::string FaultBody(const std::string& query) { return TestServerUrl("fault/body?" + query); }

// Shortens DownloadFile's time-outs for one test.
class ScopedTimeouts {
public:
    explicit ScopedTimeouts(DownloadTimeouts timeouts) : previous_(SetDownloadTimeouts(timeouts)) {}
    ~ScopedTimeouts() { SetDownloadTimeouts(previous_); }

private:
    DownloadTimeouts previous_;
};

class DownloadTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(sink.window(), nullptr) << "no message-only window: " << GetLastError(); }

    DownloadTest()
    {
        job.window = sink.window();
        SetInstallDir(dir.path());
        CopyString(job.message, "left from before");
    }

    void SetInstallDir(const std::string& folder) { CopyString(job.installDir, (folder + "\\").c_str()); }

    int Download(const char* target, const std::string& url, bool quiet = false)
    {
        return DownloadFile(target, job, url.c_str(), localPath, quiet);
    }

    // The contents of the file the last download wrote ("<missing>" when there is none).
    std::string Downloaded() const
    {
        std::string bytes;
        return ReadFileBytes(localPath, &bytes) ? bytes : "<missing>";
    }

    ScratchDir dir{"net"};
    PostedMessages sink;
    MessageBoxRecorder boxes;
    InstallJob job;
    char localPath[kPathSize] = {};
};
