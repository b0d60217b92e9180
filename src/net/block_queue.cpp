#include "net/block_queue.h"

#include "common/win_handles.h"

#include <new>

BlockQueue::BlockQueue(size_t blocks, size_t blockSize)
    : storage_(new (std::nothrow) unsigned char[blocks * blockSize]),
      sizes_(new (std::nothrow) size_t[blocks]),
      blocks_(blocks),
      blockSize_(blockSize)
{
    if (!sizes_)
        storage_.reset();
}

unsigned char* BlockQueue::Acquire()
{
    ScopedExclusiveLock hold(lock_);
    while (!stopped_ && !left_ && committed_ - released_ >= blocks_)
        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    if (stopped_ || !storage_)
        return nullptr;
    return storage_.get() + committed_ % blocks_ * blockSize_;
}

void BlockQueue::Commit(size_t size)
{
    ScopedExclusiveLock hold(lock_);
    sizes_[committed_ % blocks_] = size;
    ++committed_;
    WakeAllConditionVariable(&changed_);
}

void BlockQueue::Finish()
{
    ScopedExclusiveLock hold(lock_);
    finished_ = true;
    WakeAllConditionVariable(&changed_);
}

const unsigned char* BlockQueue::Next(size_t* size)
{
    ScopedExclusiveLock hold(lock_);
    while (!stopped_ && released_ == committed_ && !finished_)
        SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    if (stopped_ || released_ == committed_)
        return nullptr;
    const size_t slot = released_ % blocks_;
    *size = sizes_[slot];
    return storage_.get() + slot * blockSize_;
}

void BlockQueue::Release()
{
    ScopedExclusiveLock hold(lock_);
    ++released_;
    WakeAllConditionVariable(&changed_);
}

void BlockQueue::Leave()
{
    ScopedExclusiveLock hold(lock_);
    left_ = true;
    WakeAllConditionVariable(&changed_);
}

void BlockQueue::Stop()
{
    ScopedExclusiveLock hold(lock_);
    stopped_ = true;
    WakeAllConditionVariable(&changed_);
}
