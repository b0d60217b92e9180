#include "net/background_hash.h"

namespace {
// Blocks in flight: enough to ride out a scheduling hiccup.
constexpr size_t kQueuedBlocks = 8;
}  // namespace

BackgroundHash::BackgroundHash(size_t blockSize) : queue_(kQueuedBlocks, blockSize)
{
    if (queue_.ok())
        thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

BackgroundHash::~BackgroundHash()
{
    if (thread_) {
        queue_.Stop();
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

DWORD WINAPI BackgroundHash::Run(LPVOID self)
{
    auto* owner = static_cast<BackgroundHash*>(self);
    size_t size = 0;
    while (const unsigned char* block = owner->queue_.Next(&size)) {
        owner->hash_.Update(block, size);
        owner->queue_.Release();
    }
    return 0;
}

char* BackgroundHash::NextBlock() { return thread_ ? reinterpret_cast<char*>(queue_.Acquire()) : nullptr; }

void BackgroundHash::Hash(size_t size) { queue_.Commit(size); }

bool BackgroundHash::Final(uint8_t (&digest)[kSha256Size])
{
    if (!thread_)
        return false;
    queue_.Finish();
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    hash_.Final(digest);
    return true;
}
