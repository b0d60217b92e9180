#pragma once
// Small files straight into memory: the configuration, the update list and their signatures.
//
// A server decides how long its answer is and how fast it comes. For the package that is bearable:
// the player watches its progress and may cancel, and a signed list pins its size. The small files
// in front of it are another matter. The configuration is fetched before the window shows, so a
// server that streams for ever would fill the temporary folder, and one that sends a byte every
// 19 s would never trip the stall limit, both with nothing on screen and nothing to cancel. So a
// small file has a cap on its size and a deadline for the whole transfer as well as the stall
// limits, and past either it has failed. A small file is never written to disk: the bytes fetched
// are the bytes used (common/profile_text.h).
#include "common/profile_text.h"
#include "common/signed_file.h"
#include "install/install_job.h"
#include "net/download.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr size_t kSmallFileLimit = kSignedFileLimit;

// The end of the time that one small file, or the files of one address, may take.
class FetchDeadline {
public:
    // `totalMs` from now.
    explicit FetchDeadline(DWORD totalMs);
    // `limitMs`, or what is left of the deadline when that is less: 0 once it has passed.
    DWORD Cap(DWORD limitMs) const;

private:
    DWORD start_;
    DWORD totalMs_;
};

// The deadline of a small file fetched with `timeouts`: the time for the answer and one stall's
// time for the body, in all (40 s for the configuration, 180 s for the update list).
DWORD SmallFileDeadlineMs(const DownloadTimeouts& timeouts);

// Fetches `url` into `buffer` with the same request as DownloadFile, silently: nothing is posted,
// no box is shown and nothing is written to disk. False when it cannot be fetched in time, is
// cancelled, is cut short, or holds more than `capacity` bytes; the reason is then in job.message
// (empty for a cancel). `*size` receives the number of bytes, `*announced` (when given) the
// Content-Length, 0 without one.
bool FetchBytes(InstallJob& job, const char* url, const DownloadTimeouts& timeouts, const FetchDeadline& deadline,
                unsigned char* buffer, size_t capacity, size_t* size, uint64_t* announced = nullptr);

// DownloadFile(nullptr, job, url, localPath, quiet) for a file of at most kSmallFileLimit bytes
// that must come within `deadline`: the same progress and status messages, texts and box, but no
// file. The bytes go into `text` alone, from which the caller reads them: a temporary file would
// be written elevated into a folder that is the player's, and read by nothing.
int DownloadSmallFile(InstallJob& job, const char* url, bool quiet, const DownloadTimeouts& timeouts,
                      const FetchDeadline& deadline, ProfileText* text);
