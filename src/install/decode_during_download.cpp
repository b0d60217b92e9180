#include "install/decode_during_download.h"

#include "common/file_system.h"

#include <atomic>
#include <cstring>

namespace {

// Eight blocks of a pinned download (256 KiB each), 2 MiB in all: room enough that neither side
// waits on the other's every block, little beside the decoder's dictionary.
constexpr size_t kQueuedBlocks = 8;
constexpr size_t kBlockSize = 262144;

std::atomic<bool> g_enabled{true};
std::atomic<int> g_taken{0};

}  // namespace

void SetSpeculativeDecoding(bool enabled) { g_enabled = enabled; }

int SpeculativeDecodingsTaken() { return g_taken.load(); }

SpeculativeDecode::SpeculativeDecode() : queue_(kQueuedBlocks, kBlockSize) {}

SpeculativeDecode::~SpeculativeDecode()
{
    if (thread_)
        Abandon();
}

bool SpeculativeDecode::Start(const char* installDir, const char* packageName, const LzmaLimits& limits)
{
    if (!g_enabled || !queue_.ok() || !FormPackagePaths(installDir, packageName, &paths_))
        return false;
    limits_ = limits;
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    return thread_.valid();
}

DWORD WINAPI SpeculativeDecode::Run(LPVOID self)
{
    auto* owner = static_cast<SpeculativeDecode*>(self);
    LzmaStreamDecoder decoder(owner->limits_);
    bool good = true;
    uint64_t taken = 0;
    size_t size = 0;
    while (const unsigned char* block = owner->queue_.Next(&size)) {
        if (!owner->created_)
            good = owner->created_ = decoder.Open(owner->paths_.intermediate);
        good = good && decoder.Feed(block, size);
        taken += size;
        owner->queue_.Release();
        if (!good) {
            // Nothing of this will be used: the download need not wait for the decoder any more,
            // and the disk gets its room back for the package.
            owner->queue_.Leave();
            break;
        }
    }
    owner->decoded_ = decoder.Finish() && good;
    if (!owner->decoded_ && owner->created_) {
        RemoveFile(owner->paths_.intermediate);
        owner->created_ = false;
    }
    owner->decodedFrom_ = taken;
    return 0;
}

void SpeculativeDecode::Bytes(const char* data, size_t size)
{
    if (!thread_ || given_up_)
        return;
    // The download's blocks never exceed ours; should one, the decoding could not follow.
    unsigned char* block = size <= kBlockSize ? queue_.Acquire() : nullptr;
    if (!block) {
        Restart();
        return;
    }
    memcpy(block, data, size);
    queue_.Commit(size);
    fed_ += size;
}

void SpeculativeDecode::Restart()
{
    // A body that starts again no longer lines up with what was decoded.
    given_up_ = true;
    queue_.Stop();
}

void SpeculativeDecode::Join(bool stop)
{
    if (stop)
        queue_.Stop();
    else
        queue_.Finish();
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

bool SpeculativeDecode::Finish(const char* packagePath)
{
    if (!thread_)
        return false;
    Join(false);

    uint64_t onDisk = 0;
    UniqueOsFile package(OpenInputFile(packagePath));
    const bool sized = package && QueryFileSize(package.get(), &onDisk);
    const bool taken = !given_up_ && decoded_ && sized && decodedFrom_ == fed_ && fed_ == onDisk;
    if (taken)
        ++g_taken;
    return taken;
}

void SpeculativeDecode::Abandon()
{
    if (thread_)
        Join(true);
    if (created_)
        RemoveFile(paths_.intermediate);
    created_ = false;
}
