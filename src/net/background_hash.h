#pragma once
// SHA-256 of a download's body on a thread of its own, so that hashing a package costs the
// download next to nothing as long as the hash keeps up with the network (it does by far: see
// common/sha256.h). The download reads each block straight into the hash's queue, writes it to
// the file from there and hands it on; the hash reads it in place.
#include "common/sha256.h"
#include "common/win_handles.h"
#include "net/block_queue.h"

#include <windows.h>

class BackgroundHash {
public:
    explicit BackgroundHash(size_t blockSize);
    ~BackgroundHash();  // stops the thread, whatever is still queued
    BackgroundHash(const BackgroundHash&) = delete;
    BackgroundHash& operator=(const BackgroundHash&) = delete;

    // False when the thread or its queue could not be had.
    bool ok() const { return thread_.valid(); }
    // The block to read the next bytes into (blockSize bytes), waiting only when the
    // hash falls behind; nullptr if the hash has stopped.
    char* NextBlock();
    // The block from NextBlock holds `size` bytes to hash.
    void Hash(size_t size);
    // Waits for every queued byte and writes the digest. Once only.
    bool Final(uint8_t (&digest)[kSha256Size]);

private:
    static DWORD WINAPI Run(LPVOID self);

    BlockQueue queue_;
    Sha256 hash_;  // the thread's alone until it has ended
    UniqueHandle thread_;
};
