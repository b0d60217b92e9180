// A pinned download: the file a list names together with its size and SHA-256.
//
// Only such a file is resumed, taken from mirrors or carried over from an earlier run. The pins
// make that safe: the bytes are hashed as they arrive, from the first byte of the file to its
// last, across every break, every address and every run, so a spliced, shortened or swapped file
// cannot pass, whatever the servers, the network and the folder did. Without them a resumed file
// could not be told from a damaged one, so plain downloads keep to one attempt.
//
// What it rides out, and what it leaves behind:
//   - A break, an outage, an address that is gone: it reconnects, from address to address, with
//     growing waits, for as long as reconnect_plan.h allows, asking for the rest with Range.
//   - A run that ended before the file was whole (killed, crashed, or a network that stayed away
//     past the allowance) leaves the partial file; the next run takes it over (held, as
//     TakeKeptFile has it), hashes what is there and asks only for the rest. The bytes it took
//     are fed to the tap first, so a decoding beside the download sees the file from its start.
//   - A file that fails its hash once it is whole, when bytes of an earlier run went into it: they
//     may be what was wrong, so once more from the first byte. Otherwise the addresses that served
//     the failed bytes are not asked again, and it starts again from another one, if any is left.
// The player's cancel and a failure of the pins delete the file; only a network that stayed away
// for the whole allowance keeps it.
#include "net/download.h"

#include "common/fixed_string.h"
#include "common/number_text.h"
#include "net/background_hash.h"
#include "net/download_steps.h"
#include "net/download_target.h"
#include "net/reconnect_plan.h"

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
    Broken,     // no answer, or the body broke off: this address may work later, or another now
    Refused,    // the address answered with something other than the pinned file
    Failed,     // no try can finish the file (the disk, the memory); the reason is in job.message
    Cancelled,
};

// An error status that waiting will not change: the file is not there, or not for us. Time-outs
// (408), throttling (429) and server errors (5xx) may pass.
bool LastingStatus(DWORD status) { return status >= 400 && status < 500 && status != 408 && status != 429; }

class PinnedTransfer {
public:
    PinnedTransfer(InstallJob& job, const char* const* urls, int urlCount, const char* path,
                   const DownloadTimeouts& timeouts, const DownloadPin& pin, DownloadTap* tap)
        : job_(job), urls_(urls), path_(path), timeouts_(timeouts), pin_(pin), tap_(tap),
          plan_(urlCount, timeouts, GetTickCount())
    {
    }

    bool Run()
    {
        if (!StartHash())
            return PinFailed();
        const Leg kept = TakeKeptBytes();
        if (kept != Leg::Complete)
            return Stop(kept);
        plan_.Progress(GetTickCount());  // the allowance starts once the kept bytes are hashed
        for (;;) {
            const Leg leg = file_open_ && have_ == pin_.size ? Leg::Complete : Connect();
            if (leg == Leg::Complete) {
                if (HashMatches())
                    return Finish();
                if (!StartOver())
                    return PinFailed();
                continue;
            }
            if (leg == Leg::Failed || leg == Leg::Cancelled)
                return Stop(leg);
            plan_.Failed(leg == Leg::Refused ? AddressFailure::Refused : AddressFailure::Broken);
            DWORD waitMs = 0;
            const NextTry next = plan_.Next(GetTickCount(), &waitMs);
            if (next == NextTry::GiveUp) {
                // job.message holds the reason of the last failure.
                if (plan_.AnyLeft())
                    file_.Keep();  // the network stayed away: the next run carries on from here
                return false;      // otherwise no address serves the pinned file: it goes
            }
            Reconnecting(true);
            if (next == NextTry::AfterWait && !WaitBeforeTry(waitMs))
                return Stop(Leg::Cancelled);
        }
    }

private:
    // Ends the transfer without the file.
    bool Stop(Leg leg)
    {
        if (leg == Leg::Cancelled)
            job_.message[0] = '\0';  // a cancel is no failure to report, whatever broke before
        return false;
    }

    // The partial file an earlier run left, hashed and fed to the tap from its first byte:
    // Complete, or Cancelled, or Failed.
    Leg TakeKeptBytes()
    {
        uint64_t size = 0;
        if (!file_.Resume(path_, &size))
            return Leg::Complete;
        file_open_ = true;
        // Longer than the pin: not the pinned file, whatever it is.
        bool usable = size <= pin_.size;
        while (usable && have_ < size) {
            if (DownloadCancelled(job_))
                return Leg::Cancelled;
            char* block = hash_->NextBlock();
            const uint64_t rest = size - have_;
            const DWORD want = rest < kPinnedBlockSize ? static_cast<DWORD>(rest) : kPinnedBlockSize;
            DWORD got = 0;
            usable = block && file_.Read(block, want, &got) && got > 0;
            if (usable)
                Take(block, got);
        }
        // What cannot be used is downloaded again; a file that cannot even be emptied goes, and a
        // new one is made.
        if (!usable && !StartFromZero()) {
            file_.Discard();
            file_open_ = false;
            have_ = 0;
            if (!StartHash()) {
                PinFailed();
                return Leg::Failed;
            }
        }
        kept_ = have_;
        return DownloadCancelled(job_) ? Leg::Cancelled : Leg::Complete;
    }

    // One connection to the plan's current address: from the start, or for the rest.
    Leg Connect()
    {
        const int address = plan_.address();
        const char* url = urls_[address];
        AsyncInternetSession session(job_.cancelRequested);
        if (!OpenDownloadSession(session, job_))
            return Leg::Failed;
        if (DownloadCancelled(job_))
            return Leg::Cancelled;

        char headers[96];
        const bool resuming = have_ > 0;
        if (resuming)
            FormatString(headers, "Accept: */*\r\nRange: bytes=%" PRIu64 "-\r\n\r\n", have_);
        else
            CopyString(headers, kDownloadHeaders);
        // During an outage a connection may take little longer than what is left of the allowance.
        DWORD responseMs = plan_.AllowanceLeft(GetTickCount());
        responseMs = responseMs < timeouts_.retryMs ? timeouts_.retryMs : responseMs;
        responseMs = responseMs > timeouts_.responseMs ? timeouts_.responseMs : responseMs;
        const WaitOutcome opened = session.OpenUrl(url, headers, static_cast<DWORD>(strlen(headers)), kDownloadFlags,
                                                   responseMs);
        if (opened == WaitOutcome::Cancelled)
            return Leg::Cancelled;
        if (opened != WaitOutcome::Done) {
            session.Close();
            SetOpenUrlFailure(job_, url);
            return Leg::Broken;
        }
        if (!file_open_) {
            if (!file_.Create(path_)) {
                FormatString(job_.message, "创建文件错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
            file_open_ = true;
        }
        if (DownloadCancelled(job_))
            return Leg::Cancelled;

        const Leg answer = CheckAnswer(session, url, resuming);
        if (answer != Leg::Complete)
            return answer;
        return Receive(session, address);
    }

    // Whether the answer's head promises the pinned bytes from have_ on: Complete when it does.
    Leg CheckAnswer(AsyncInternetSession& session, const char* url, bool resuming)
    {
        DWORD status = 0;
        if (!session.QueryStatusCode(&status) || status < 200) {
            // No status line: a connection that was reset or closed before it answered (WinINet
            // under Wine can report such an open as done).
            SetOpenUrlFailure(job_, url);
            return Leg::Broken;
        }
        if (status >= 400) {
            FormatString(job_.message, "InternetOpenUrl 错误.\n网址:%s.\n错误信息:HTTP %lu.", url,
                         static_cast<unsigned long>(status));
            return LastingStatus(status) ? Leg::Refused : Leg::Broken;
        }
        uint64_t length = 0;
        const bool lengthKnown = session.QueryContentLength(&length);
        if (resuming && status == kHttpPartialContent) {
            char range[96];
            uint64_t first = 0, total = 0;
            if (!session.QueryHeaderText(HTTP_QUERY_CONTENT_RANGE, range, sizeof range) ||
                !ParseContentRange(range, &first, &total) || first != have_ || total != pin_.size ||
                (lengthKnown && length != pin_.size - have_)) {
                SetReadFailure(job_);
                return Leg::Refused;  // a broken Range: it will not mend
            }
            return Leg::Complete;
        }
        if (resuming && status != kHttpOk) {
            SetReadFailure(job_);
            return Leg::Broken;
        }
        if (resuming) {
            // The whole file again. Better the rest from another address, while one may give it;
            // from this one, once none can.
            if (!plan_.OthersFailed()) {
                SetReadFailure(job_);
                return Leg::Broken;
            }
            if (!StartFromZero()) {
                FormatString(job_.message, "写入文件错误.\n文件:%s.", path_);
                return Leg::Failed;
            }
        }
        // A whole body announced with another length than the pinned one is the wrong file.
        if (lengthKnown && length != pin_.size)
            return WrongSize();
        return Leg::Complete;
    }

    Leg Receive(AsyncInternetSession& session, int address)
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
            Take(block, got);
            served_ |= 1u << address;
            plan_.Progress(GetTickCount());
            Reconnecting(false);
            if (DownloadCancelled(job_))
                return Leg::Cancelled;
        }
    }

    // `size` bytes at `block` (a block of the hash's queue) are the file's next ones.
    void Take(char* block, DWORD size)
    {
        if (tap_)
            tap_->Bytes(block, size);
        hash_->Hash(size);  // the block is the hash's from here
        have_ += size;
        // A restart from byte 0 does not take the bar back.
        const DWORD percent = DownloadPercentage(have_, pin_.size);
        if (percent > posted_)
            posted_ = percent;
        PostMessageA(job_.window, WM_INSTALL_PROGRESS, 0, posted_);
    }

    // A new hash, from the body's first byte.
    bool StartHash()
    {
        hash_.reset(new (std::nothrow) BackgroundHash(kPinnedBlockSize));
        return hash_ && hash_->ok();
    }

    // Empties the file and hashes again from its first byte.
    bool StartFromZero()
    {
        if (tap_ && have_ > 0)
            tap_->Restart();
        have_ = 0;
        kept_ = 0;
        served_ = 0;
        return file_.Truncate() && StartHash();
    }

    // The whole file failed its hash: once more from the first byte, without whatever may have
    // spoilt it. False when nothing is left to try.
    bool StartOver()
    {
        if (kept_ == 0) {
            for (int address = 0; address <= kMaxMirrors; ++address) {
                if (served_ & (1u << address))
                    plan_.Refuse(address);
            }
        }
        return plan_.AnyLeft() && StartFromZero();
    }

    bool HashMatches()
    {
        uint8_t digest[kSha256Size];
        return hash_->Final(digest) && memcmp(digest, pin_.sha256, kSha256Size) == 0;
    }

    Leg WrongSize()
    {
        FormatString(job_.message, "下载文件大小错误.\n文件:%s.", path_);
        return Leg::Refused;
    }

    bool PinFailed()
    {
        FormatString(job_.message, "下载文件校验错误.\n文件:%s.", path_);
        return false;
    }

    // Tells the window, once per change, whether the download is waiting for the network.
    void Reconnecting(bool reconnecting)
    {
        if (reconnecting == reconnecting_)
            return;
        reconnecting_ = reconnecting;
        PostMessageA(job_.window, WM_INSTALL_STATUS, 0, reconnecting ? STATUS_RECONNECTING : STATUS_DOWNLOADING);
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
        if (!file_.Finish()) {
            FormatString(job_.message, "写入文件错误.\n文件:%s.", path_);
            return false;
        }
        job_.message[0] = '\0';  // a try that broke off left its reason here
        return true;
    }

    InstallJob& job_;
    const char* const* urls_;
    const char* path_;
    const DownloadTimeouts& timeouts_;
    const DownloadPin& pin_;
    DownloadTap* tap_;
    ReconnectPlan plan_;
    std::unique_ptr<BackgroundHash> hash_;  // on its own thread, beside the reads
    DownloadTarget file_;  // deletes the file on every path that neither finishes nor keeps it
    bool file_open_ = false;
    uint64_t have_ = 0;
    uint64_t kept_ = 0;    // bytes of an earlier run among them
    unsigned served_ = 0;  // the addresses that served them, a bit each
    DWORD posted_ = 0;
    bool reconnecting_ = false;
};

}  // namespace

bool FetchPinned(InstallJob& job, const char* const* urls, int urlCount, const char* path,
                 const DownloadTimeouts& timeouts, const DownloadPin& pin, DownloadTap* tap)
{
    return PinnedTransfer(job, urls, urlCount, path, timeouts, pin, tap).Run();
}
