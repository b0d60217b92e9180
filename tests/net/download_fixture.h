#pragma once
// Shared by the download tests: an install directory, recorded posts and boxes, and the local
// server's generated bodies.
#include "common/fixed_string.h"
#include "net/download.h"
#include "support/message_box_recorder.h"
#include "support/posted_messages.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Posts = std::vector<PostedMessage>;

// Bytes offset .. offset+count-1 of the server's generated bodies (byte i is i % 251).
inline std::string Pattern(size_t offset, size_t count)
{
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((offset + i) % 251);
    return bytes;
}

// A generated body of the server, for example "size=1000&length=5000&then=reset".
inline std::string FaultBody(const std::string& query) { return TestServerUrl("fault/body?" + query); }

class DownloadTest : public testing::Test {
protected:
    DownloadTest()
    {
        job.window = sink.window();
        SetInstallDir(dir.path());
        CopyString(job.message, "left from before");
    }
    void SetUp() override { ASSERT_NE(sink.window(), nullptr); }

    void SetInstallDir(const std::string& folder) { CopyString(job.installDir, (folder + "\\").c_str()); }

    int Download(const char* target, const std::string& url, bool quiet = false)
    {
        return DownloadFile(target, job, url.c_str(), localPath, quiet);
    }

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
