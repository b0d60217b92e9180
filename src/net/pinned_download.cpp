// A pinned download: the file a signed update list names together with its size and SHA-256.
//
// Only such a file is resumed when its body breaks off. The pins make that safe: the bytes are
// hashed as they arrive, across every break, so a spliced, shortened or swapped file cannot pass,
// whatever the servers and the network did. Without them a resumed file could not be told from a
// damaged one, so plain downloads keep to one attempt.
#include "net/download.h"

#include "common/fixed_string.h"
#include "common/number_text.h"
#include "net/background_hash.h"
#include "net/download_steps.h"
#include "net/download_target.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr DWORD kHttpOk = 200;
constexpr DWORD kHttpPartialContent = 206;
constexpr DWORD kCancelPollMs = 50;
// A pinned body is read in blocks four times the plain download's: each block costs a round of
// WinINet calls and a progress post (a trip through wineserver under Wine), and at 64 KiB those
// took more time than hashing the bytes (about 0.15 s against 0.1 s for 180 MB at 1.3 GB/s).
constexpr DWORD kPinnedBlockSize = 4 * kDownloadBlockSize;

// How one connection ended.
enum class Leg {
    Complete,   // every pinned byte is in
    Broken,     // the body (or the reconnection) broke off: another try may finish the file
    Failed,     // no try can finish it; the reason is in job.message
    Cancelled,
};

class PinnedTransfer {
public:
    PinnedTransfer(InstallJob& job, const char* url, const char* path, const DownloadTimeouts& timeouts,
                   const DownloadPin& pin, DownloadTap* tap)
        : job_(job), url_(url), path_(path), timeouts_(timeouts), pin_(pin), tap_(tap)
    {
    }

    bool Run()
    {
        if (!StartHash()) {
            FormatString(job_.message, "下载文件校验错误.\n文件:%s.", path_);
            return false;
        }
        for (int tries = 0;; ++tries) {
            const Leg leg = Connect();
            if (leg == Leg::Complete)
                return Finish();
            if (leg == Leg::Failed)
                return false;
            if (leg == Leg::Broken && tries == kResumeTries)
                return false;  // job.message holds the reason of the last break
            if (leg == Leg::Cancelled || !WaitBeforeTry(timeouts_.retryMs << tries)) {
                job_.message[0] = '\0';  // a cancel is no failure to report, whatever broke before
                return false;
            }
        }
    }

private:
    // One connection: from the start, or for the rest after a break.
    Leg Connect()
    {
        AsyncInternetSession session(job_.cancelRequested);
        if (!OpenDownloadSession(session, job_))
            return Leg::Failed;
        if (DownloadCancelled(job_))
            return Leg::Cancelled;

        char headers[96];
        const bool resuming = file_created_ && have_ > 0;
        if (resuming)
            FormatString(headers, "Accept: */*\r\nRange: bytes=%" PRIu64 "-\r\n\r\n", have_);
        else
            CopyString(headers, kDownloadHeaders);
        const WaitOutcome opened = session.OpenUrl(url_, headers, static_cast<DWORD>(strlen(headers)),
                                                   kDownloadFlags, timeouts_.responseMs);
        if (opened == WaitOutcome::Cancelled)
            return Leg::Cancelled;
        if (opened != WaitOutcome::Done) {
            session.Close();
            SetOpenUrlFailure(job_, url_);
            // The first connection is the plain download's: one attempt. Later ones are tries.
            return file_created_ ? Leg::Broken : Leg::Failed;
        }
        if (!file_created_) {
            if (!file_.Create(path_)) {
                FormatString(job_.message, "创建文件错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
            file_created_ = true;
        }
        if (DownloadCancelled(job_))
            return Leg::Cancelled;

        DWORD status = 0;
        session.QueryStatusCode(&status);
        if (resuming && status == kHttpPartialContent) {
            char range[96];
            uint64_t first = 0, total = 0;
            if (!session.QueryHeaderText(HTTP_QUERY_CONTENT_RANGE, range, sizeof range) ||
                !ParseContentRange(range, &first, &total) || first != have_ || total != pin_.size) {
                SetReadFailure(job_);
                return Leg::Broken;
            }
        } else if (resuming && status == kHttpOk) {
            // The server sends the whole file again: so be it, from its first byte.
            if (!file_.Truncate() || !StartHash()) {
                FormatString(job_.message, "写入文件错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
            have_ = 0;
            if (tap_)
                tap_->Restart();
        } else if (resuming) {
            SetReadFailure(job_);
            return Leg::Broken;
        }
        if (!resuming || status == kHttpOk) {
            // A whole body announced with another length than the pinned one is the wrong file.
            uint64_t length = 0;
            if (session.QueryContentLength(&length) && length != pin_.size)
                return WrongSize();
        }
        return Receive(session);
    }

    Leg Receive(AsyncInternetSession& session)
    {
        for (;;) {
            // Read straight into the hash's queue: the block goes to the file from there.
            char* block = hash_->NextBlock();
            if (!block) {
                FormatString(job_.message, "下载文件校验错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
            DWORD got = 0;
            const WaitOutcome read = session.ReadBlock(block, kPinnedBlockSize, &got, timeouts_.idleMs);
            if (read == WaitOutcome::Cancelled)
                return Leg::Cancelled;
            if (read != WaitOutcome::Done) {
                SetReadFailure(job_);
                return Leg::Broken;
            }
            if (got == 0) {
                if (have_ == pin_.size)
                    return Leg::Complete;
                // A connection that closes early looks like the end of the body.
                SetReadFailure(job_);
                return Leg::Broken;
            }
            if (got > pin_.size - have_)
                return WrongSize();
            if (!file_.Write(block, got)) {
                FormatString(job_.message, "写入文件错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
            if (tap_)
                tap_->Bytes(block, got);
            hash_->Hash(got);  // the block is the hash's from here
            have_ += got;
            // A restart from byte 0 does not take the bar back.
            const DWORD percent = DownloadPercentage(have_, pin_.size);
            if (percent > posted_)
                posted_ = percent;
            PostMessageA(job_.window, WM_INSTALL_PROGRESS, 0, posted_);
            if (DownloadCancelled(job_))
                return Leg::Cancelled;
        }
    }

    // A new hash, from the body's first byte.
    bool StartHash()
    {
        hash_.reset(new (std::nothrow) BackgroundHash(kPinnedBlockSize));
        return hash_ && hash_->ok();
    }

    Leg WrongSize()
    {
        FormatString(job_.message, "下载文件大小错误.\n文件:%s.", path_);
        return Leg::Failed;
    }

    // False when the user cancels meanwhile.
    bool WaitBeforeTry(DWORD waitMs)
    {
        for (DWORD waited = 0; waited < waitMs; waited += kCancelPollMs) {
            if (DownloadCancelled(job_))
                return false;
            Sleep(waitMs - waited < kCancelPollMs ? waitMs - waited : kCancelPollMs);
        }
        return !DownloadCancelled(job_);
    }

    bool Finish()
    {
        uint8_t digest[kSha256Size];
        if (!hash_->Final(digest) || memcmp(digest, pin_.sha256, kSha256Size) != 0) {
            file_.Discard();
            FormatString(job_.message, "下载文件校验错误.\n文件:%s.", path_);
            return false;
        }
        if (!file_.Finish()) {
            FormatString(job_.message, "写入文件错误.\n文件:%s.", path_);
            return false;
        }
        job_.message[0] = '\0';  // a try that broke off left its reason here
        return true;
    }

    InstallJob& job_;
    const char* url_;
    const char* path_;
    const DownloadTimeouts& timeouts_;
    const DownloadPin& pin_;
    DownloadTap* tap_;
    std::unique_ptr<BackgroundHash> hash_;  // on its own thread, beside the reads
    DownloadTarget file_;  // deletes a partial file on every path that does not finish it
    bool file_created_ = false;
    uint64_t have_ = 0;
    DWORD posted_ = 0;
};

}  // namespace

bool FetchPinned(InstallJob& job, const char* url, const char* path, const DownloadTimeouts& timeouts,
                 const DownloadPin& pin, DownloadTap* tap)
{
    return PinnedTransfer(job, url, path, timeouts, pin, tap).Run();
}
