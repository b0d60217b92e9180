#pragma once
// A bounded queue of byte blocks from one producer thread to one or more consumer threads: the
// body of a download on its way to work done beside it (hashing, decoding). The producer fills a
// block in place and hands it on; every consumer reads it in place, and the block is free again
// once each has released it. When a consumer falls behind, the producer waits for room, so memory
// stays at `blocks` x `blockSize` bytes whatever the speeds.
//
// Slim reader/writer locks and condition variables: under Wine they wait in the process, where
// the runtime's mutexes and events go through wineserver at every hand-over, thousands of times
// for one package.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

class BlockQueue {
public:
    static constexpr int kMaxConsumers = 2;

    BlockQueue(size_t blocks, size_t blockSize, int consumers = 1);
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // False when the memory for the blocks could not be had.
    bool ok() const { return storage_ != nullptr; }

    // Producer: the next block to fill (blockSize bytes), waiting until every consumer is done
    // with it; nullptr once the queue was stopped.
    unsigned char* Acquire();
    // Producer: the acquired block holds `size` bytes; the consumers may have it.
    void Commit(size_t size);
    // Producer: the last block is in.
    void Finish();

    // Consumer `who`: its next block, waiting for one; nullptr when it has had every block after
    // Finish, or the queue was stopped. Valid until Release.
    const unsigned char* Next(int who, size_t* size);
    void Release(int who);
    // Consumer `who` wants no more blocks: the producer no longer waits for it.
    void Leave(int who);

    // Either side: everyone stops at once; blocks still queued are dropped.
    void Stop();

private:
    uint64_t SlowestLocked() const;

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::unique_ptr<unsigned char[]> storage_;
    std::unique_ptr<size_t[]> sizes_;
    const size_t blocks_;
    const size_t blockSize_;
    const int consumers_;
    uint64_t committed_ = 0;                   // blocks handed on so far
    uint64_t released_[kMaxConsumers] = {};    // blocks each consumer is done with
    bool left_[kMaxConsumers] = {};
    bool finished_ = false;
    bool stopped_ = false;
};
