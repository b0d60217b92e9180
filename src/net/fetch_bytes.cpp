#include "net/fetch_bytes.h"

#include "common/fixed_string.h"
#include "net/download_steps.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr DWORD kPieceSize = 4096;

// A file larger than a small file may be: its first bytes must not pass for it.
void SetSizeFailure(InstallJob& job, const char* url) { FormatString(job.message, "下载文件大小错误.\n文件:%s.", url); }

}  // namespace

FetchDeadline::FetchDeadline(DWORD totalMs) : start_(GetTickCount()), totalMs_(totalMs) {}

DWORD FetchDeadline::Cap(DWORD limitMs) const
{
    const DWORD elapsed = GetTickCount() - start_;
    const DWORD left = elapsed >= totalMs_ ? 0 : totalMs_ - elapsed;
    return left < limitMs ? left : limitMs;
}

DWORD SmallFileDeadlineMs(const DownloadTimeouts& timeouts) { return timeouts.responseMs + timeouts.idleMs; }

bool FetchBytes(InstallJob& job, const char* url, const DownloadTimeouts& timeouts, const FetchDeadline& deadline,
                unsigned char* buffer, size_t capacity, size_t* size, uint64_t* announced)
{
    *size = 0;
    if (announced)
        *announced = 0;
    AsyncInternetSession session(job.cancelRequested);
    if (!OpenDownloadSession(session, job) || DownloadCancelled(job))
        return false;
    const WaitOutcome opened = session.OpenUrl(url, kDownloadHeaders, kDownloadHeadersLength, kDownloadFlags,
                                               deadline.Cap(timeouts.responseMs));
    if (opened == WaitOutcome::Cancelled)
        return false;
    if (opened != WaitOutcome::Done) {
        session.Close();
        SetOpenUrlFailure(job, url);
        return false;
    }
    uint64_t length = 0;
    const bool lengthKnown = session.QueryContentLength(&length);
    if (announced)
        *announced = length;
    if (lengthKnown && length > capacity) {
        SetSizeFailure(job, url);
        return false;
    }
    for (;;) {
        const DWORD waitMs = deadline.Cap(timeouts.idleMs);
        char piece[kPieceSize];
        DWORD got = 0;
        const WaitOutcome read = waitMs == 0 ? WaitOutcome::TimedOut : session.ReadSome(piece, sizeof piece, &got, waitMs);
        if (read == WaitOutcome::Cancelled)
            return false;
        // A connection that closes early looks like the end of the body; only the announced
        // length tells the two apart.
        if (read != WaitOutcome::Done || (got == 0 && lengthKnown && *size < length)) {
            session.Close();
            SetReadFailure(job);
            return false;
        }
        if (got == 0)
            return true;
        if (got > capacity - *size) {
            SetSizeFailure(job, url);
            return false;
        }
        memcpy(buffer + *size, piece, got);
        *size += got;
    }
}

int DownloadSmallFile(InstallJob& job, const char* url, bool quiet, const DownloadTimeouts& timeouts,
                      const FetchDeadline& deadline, ProfileText* text)
{
    memset(job.message, 0, sizeof job.message);
    PostMessageA(job.window, WM_INSTALL_PROGRESS, 0, 0);
    text->Clear();

    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[kSmallFileLimit]);
    size_t size = 0;
    uint64_t length = 0;
    if (!bytes || !FetchBytes(job, url, timeouts, deadline, bytes.get(), kSmallFileLimit, &size, &length))
        return EndDownload(job, false, quiet);
    if (!text->Assign(bytes.get(), size)) {
        CopyString(job.message, "系统内存不够.");
        return EndDownload(job, false, quiet);
    }
    // DownloadFile's percentage after its one block (a file this small is never longer).
    if (size > 0)
        PostMessageA(job.window, WM_INSTALL_PROGRESS, 0, length ? static_cast<LPARAM>(size * 100 / length) : 0);
    return EndDownload(job, true, quiet);
}
