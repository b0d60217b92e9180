#pragma once
// The steps that every download takes (download.cpp), shared by the plain transfer and the
// pinned one (pinned_download.cpp).
#include "install/install_job.h"
#include "net/async_session.h"
#include "net/download.h"

#include <windows.h>

#include <cstdint>

constexpr DWORD kDownloadBlockSize = 65536;
// "Accept: */*", passed with its length, and the flags that always fetch from the server and
// never keep a copy in the cache.
extern const char kDownloadHeaders[];
extern const DWORD kDownloadHeadersLength;
extern const DWORD kDownloadFlags;

// How far `have` bytes are through a body of `length`, in percent: in KiB once the body passes
// 1 MiB, in 64 bits (a body may pass 4 GiB). No length (0) gives 0; a body longer than announced
// gives more than 100.
inline DWORD DownloadPercentage(uint64_t have, uint64_t length)
{
    if (length > 0x100000)
        return static_cast<DWORD>((have >> 10) * 100 / (length >> 10));
    return length ? static_cast<DWORD>(have * 100 / length) : 0;
}

inline bool DownloadCancelled(const InstallJob& job) { return job.cancelRequested.load() != 0; }

// Opens `session` the way every download does (the connection's proxy setting, the "Agent%ld" user
// agent). False, with the reason in job.message, when WinINet cannot be had or opened.
bool OpenDownloadSession(AsyncInternetSession& session, InstallJob& job);

// The local file's path: a name under the install directory, or a new temporary file with the
// prefix "fgl". False, with the reason in job.message, when there is none.
bool FormLocalPath(const char* targetName, InstallJob& job, char (&path)[kPathSize]);

// The end of every download: progress 100 when `fetched`; otherwise the box (unless `quiet`, or
// a cancel left no reason) and status 0. Returns DownloadFile's result.
int EndDownload(InstallJob& job, bool fetched, bool quiet);

// The failure texts of an address that could not be opened and of a body that could not be read,
// with WinINet's last response text when there is one.
void SetOpenUrlFailure(InstallJob& job, const char* url);
void SetReadFailure(InstallJob& job);

// Transfers a pinned download from `urls` (the list's srcfile first, then its mirrors) into `path`
// (pinned_download.cpp): on failure the reason is in job.message (empty for a cancel) and every
// handle is closed; the partial file is deleted, unless the network failed for longer than the
// allowance (it is kept for the next run).
bool FetchPinned(InstallJob& job, const char* const* urls, int urlCount, const char* path,
                 const DownloadTimeouts& timeouts, const DownloadPin& pin, DownloadTap* tap);
