#include "net/fetch_bytes.h"

#include "net/download_steps.h"

#include <cstring>

bool FetchBytes(InstallJob& job, const char* url, const DownloadTimeouts& timeouts, unsigned char* buffer,
                size_t capacity, size_t* size)
{
    *size = 0;
    AsyncInternetSession session(job.cancelRequested);
    if (!OpenDownloadSession(session, job) || DownloadCancelled(job))
        return false;
    if (session.OpenUrl(url, kDownloadHeaders, kDownloadHeadersLength, kDownloadFlags, timeouts.responseMs) !=
        WaitOutcome::Done)
        return false;
    uint64_t lengthHeader = 0;
    const bool lengthKnown = session.QueryContentLength(&lengthHeader);
    for (;;) {
        char piece[512];
        DWORD got = 0;
        if (session.ReadBlock(piece, sizeof piece, &got, timeouts.idleMs) != WaitOutcome::Done)
            return false;
        if (got == 0)
            return !lengthKnown || *size == lengthHeader;  // a cut body is no file
        if (got > capacity - *size)
            return false;  // a larger file must not pass for its first `capacity` bytes
        memcpy(buffer + *size, piece, got);
        *size += got;
    }
}
