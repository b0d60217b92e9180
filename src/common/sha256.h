#pragma once
// SHA-256 (FIPS 180-4), incremental. The installer hashes a whole package with it while the bytes
// arrive, so speed matters: with the processor's SHA instructions (SHA-NI, chosen at run time) it
// runs at well over a gigabyte a second; the portable code takes their place elsewhere. Windows'
// own CNG hash would do under Windows, but under Wine it runs at a tenth of that.
#include <cstddef>
#include <cstdint>

constexpr size_t kSha256Size = 32;

enum class Sha256Path {
    Portable,
    Instructions,  // SHA-NI, with SSSE3 and SSE4.1
};

class Sha256 {
public:
    Sha256();
    // A hasher on the given path; Instructions falls back to Portable where the processor lacks
    // them (tests compare the two).
    explicit Sha256(Sha256Path path);

    // Nothing here can fail: the hash works in its own buffers.
    void Update(const void* data, size_t size);
    // Writes the digest and starts a new message.
    void Final(uint8_t (&digest)[kSha256Size]);
    // Forgets what was hashed and starts a new message.
    void Reset();

private:
    void Compress(const uint8_t* blocks, size_t count);

    uint32_t state_[8];
    uint64_t length_;     // bytes hashed so far
    uint8_t buffer_[64];  // the part of a block not yet compressed
    size_t buffered_;
    bool instructions_;
};

// The SHA-256 of the whole file at `path` (read through common/file_system.h). False when it
// cannot be opened or read to its end.
bool Sha256OfFile(const char* path, uint8_t (&digest)[kSha256Size]);

// True when this processor has the SHA instructions (and what they need).
bool CpuHasShaInstructions();
