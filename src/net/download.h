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
    // The wait before the first reconnection of a pinned download that broke off; each further
    // one waits twice as long as the one before.
    DWORD retryMs = 2000;
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

// How many times a pinned download reconnects after its body broke off.
constexpr int kResumeTries = 3;

struct DownloadOptions {
    bool quiet = false;
    // The time-outs of this call; null: those of SetDownloadTimeouts.
    const DownloadTimeouts* timeouts = nullptr;
    // A pinned download hashes the body as it arrives and succeeds only with exactly the pinned
    // size and digest (otherwise the file is deleted: the failure path, with its box). When the
    // body breaks off it reconnects up to kResumeTries times, retryMs, then twice and four times
    // that apart (cancel honoured while waiting), asking for the rest with "Range: bytes=<have>-";
    // a server that answers the whole file (200) instead of the rest (206) starts it again from
    // byte 0. Its progress never goes backwards. Without a pin: the single attempt above.
    const DownloadPin* pin = nullptr;
    // Given every byte of the body as it is written; null: none.
    DownloadTap* tap = nullptr;
};

// DownloadFile with options (the five-argument form is this with `quiet` alone).
int DownloadFile(const char* targetName, InstallJob& job, const char* url, char (&localPath)[kPathSize],
                 const DownloadOptions& options);
