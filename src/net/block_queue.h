#pragma once
// A bounded queue of byte blocks from one producer thread to one consumer thread: the body of a
// download on its way to work done beside it (hashing, decoding). The producer fills a block in
// place and hands it on; the consumer reads it in place, and the block is free again once it has
// released it. When the consumer falls behind, the producer waits for room, so memory stays at
// `blocks` x `blockSize` bytes whatever the speeds.
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
    BlockQueue(size_t blocks, size_t blockSize);
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // False when the memory for the blocks could not be had.
    bool ok() const { return storage_ != nullptr; }

    // Producer: the next block to fill (blockSize bytes), waiting until the consumer is done with
    // it; nullptr once the queue was stopped.
    unsigned char* Acquire();
    // Producer: the acquired block holds `size` bytes; the consumer may have it.
    void Commit(size_t size);
    // Producer: the last block is in.
    void Finish();

    // Consumer: the next block, waiting for one; nullptr when it has had every block after Finish,
    // or the queue was stopped. Valid until Release.
    const unsigned char* Next(size_t* size);
    void Release();
    // Consumer: wants no more blocks; the producer no longer waits for it.
    void Leave();

    // Either side: everyone stops at once; blocks still queued are dropped.
    void Stop();

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::unique_ptr<unsigned char[]> storage_;
    std::unique_ptr<size_t[]> sizes_;
    const size_t blocks_;
    const size_t blockSize_;
    uint64_t committed_ = 0;  // blocks handed on so far
    uint64_t released_ = 0;   // blocks the consumer is done with
    bool left_ = false;
    bool finished_ = false;
    bool stopped_ = false;
};
