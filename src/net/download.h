#pragma once
// DownloadFile: one HTTP GET into a local file, with progress, cancel and error texts.

#include "common/publisher_crypto.h"
#include "install/install_job.h"

#include <windows.h>

#include <cstdint>

// How long a download waits for the network before it gives up.
struct DownloadTimeouts {
    // From the request until the response headers have come: name resolution, connection, TLS,
    // and the server's first bytes. Generous, because a mirror may take a long while to start
    // answering for a large file and still deliver it.
    DWORD responseMs;
    // Longest silence inside the body. The clock starts again with every piece of data that
    // comes, so a slow mirror that keeps sending is never cut off.
    DWORD idleMs;
    // The wait before a pinned download goes round its addresses again, when every one of them
    // has failed since the last byte came; each further wait is twice the one before, up to
    // retryLimitMs (net/reconnect_plan.h).
    DWORD retryMs = 2000;
    DWORD retryLimitMs = 15000;
    // How long a pinned download keeps reconnecting while no byte comes, in all: an outage of the
    // network (a router's restart, a Wi-Fi that drops) shorter than this is ridden out.
    DWORD outageMs = 180000;
};
constexpr DownloadTimeouts kDefaultDownloadTimeouts = {120000, 60000};

// The time-outs that DownloadFile uses; tests shorten them. Returns the previous ones.
DownloadTimeouts SetDownloadTimeouts(DownloadTimeouts timeouts);
DownloadTimeouts CurrentDownloadTimeouts();

// Fetches `url` into a local file and returns 0 on success, 1 on failure.
//
//   targetName  name relative to job.installDir (one leading backslash is dropped; a name that
//               leads out of it fails), or null for a new temporary file with the prefix "fgl" in
//               the temporary folder;
//   localPath   receives the local file's full path as soon as it is known;
//   quiet       on failure, show no box and leave the detailed reason in job.message.
//
// Posts WM_INSTALL_PROGRESS to job.window (0 first, the percentage after every 64 KiB block, 100 on
// success) and WM_INSTALL_STATUS 0 after any failure. A failure with a reason shows one "错误" box
// with a generic text unless `quiet`; a cancel (job.cancelRequested) fails without text or box. A
// partly written file is deleted on failure. The HTTP status is not looked at: an error page is
// downloaded like any other body. Nothing is retried.
int DownloadFile(const char* targetName, InstallJob& job, const char* url, char (&localPath)[kPathSize],
                 bool quiet);

// What a signed update list promises about the file it names: its exact size and SHA-256.
struct DownloadPin {
    uint64_t size = 0;
    uint8_t sha256[kSha256Size] = {};
};

// Sees a download's body as it goes into the file, in order: the package's speculative decoding.
class DownloadTap {
public:
    // `size` more bytes, just written to the file.
    virtual void Bytes(const char* data, size_t size) = 0;
    // The body starts again from its first byte (a server that answered a resumption whole).
    virtual void Restart() = 0;
    // The download failed or was cancelled: whatever was made of its bytes goes now, before the
    // failure is shown or posted (the window ends the process when it sees status 0).
    virtual void Abandon() = 0;

protected:
    ~DownloadTap() = default;
};

// How many addresses a list may name for its file beyond srcfile: mirror1= ... mirror4=.
constexpr int kMaxMirrors = 4;

struct DownloadOptions {
    bool quiet = false;
    // The time-outs of this call; null: those of SetDownloadTimeouts.
    const DownloadTimeouts* timeouts = nullptr;
    // A pinned download hashes the body as it arrives and succeeds only with exactly the pinned
    // size and digest. It takes over a partial file that an earlier run left under the target's
    // name, hashes what is there and asks only for the rest ("Range: bytes=<have>-"); it goes
    // from address to address (`url`, then `mirrors`) and reconnects while no byte comes, for up
    // to timeouts.outageMs in all, posting STATUS_RECONNECTING meanwhile and STATUS_DOWNLOADING
    // when bytes come again (cancel honoured at every moment). A cancel and a file that fails its
    // pins delete the file (the failure path, with its box); a network that stays away past the
    // allowance keeps it for the next run. Its progress starts from what is there and never goes
    // backwards. Without a pin: the single attempt above. See pinned_download.cpp.
    const DownloadPin* pin = nullptr;
    // Further addresses of the same pinned bytes, tried after `url` (pinned downloads only).
    const char* const* mirrors = nullptr;
    int mirrorCount = 0;
    // Given every byte of the body as it is written; null: none.
    DownloadTap* tap = nullptr;
};

// DownloadFile with options (the five-argument form is this with `quiet` alone).
int DownloadFile(const char* targetName, InstallJob& job, const char* url, char (&localPath)[kPathSize],
                 const DownloadOptions& options);
