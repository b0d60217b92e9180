#pragma once
// The intermediate file of a package, read and decrypted one range at a time.
//
// A game's content runs to several GiB, and a 32-bit process has less than 2 GiB of address
// space, split by its DLLs: the body cannot be held whole. It need not be: the cipher decrypts
// every 16-byte block on its own, so any range of the content can be read and decrypted alone,
// from the blocks that hold it. Memory stays at one chunk, whatever the package's size.
//
// The file is held open, shared for reading only, from the length check to the last range: what
// was checked is what is read.
#include "common/file_system.h"
#include "package/aes_decrypt.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

class PackageBody {
public:
    // The most a single Decrypt gives.
    static constexpr uint32_t kChunkSize = 1 << 20;

    PackageBody() = default;
    PackageBody(const PackageBody&) = delete;
    PackageBody& operator=(const PackageBody&) = delete;

    // Opens the intermediate file at `path` and sets the key derived from `password` up. False
    // when the file cannot be opened, is shorter than its 8-byte header, its body is not a whole
    // number of 16-byte blocks or is longer than the format's 32-bit lengths can address, or the
    // chunk's memory is missing.
    bool Open(const char* password, const char* path);

    // Closes the file (before it can be deleted).
    void Close() { file_.reset(); }

    // The header's declared content length (the directory is parsed within it).
    uint32_t contentLength() const { return contentLength_; }
    // N, the body's length: the file's size less the header.
    uint32_t size() const { return size_; }

    // The decrypted bytes [offset, offset + length) of the content, valid until the next call;
    // nullptr when the file cannot be read there (a read error, or a file that got shorter).
    // `length` is at most kChunkSize and the range lies within size(). Ranges that end on a
    // block boundary and follow each other are read without seeking and without reading a block
    // twice.
    const unsigned char* Decrypt(uint32_t offset, uint32_t length);

private:
    bool ReadAt(uint64_t position, unsigned char* to, uint32_t length);

    struct FreeDeleter {
        void operator()(void* p) const noexcept { free(p); }
    };

    UniqueOsFile file_;
    AesDecryptContext aes_ = {};
    std::unique_ptr<unsigned char[], FreeDeleter> chunk_;
    uint32_t contentLength_ = 0;
    uint32_t size_ = 0;
    static constexpr uint64_t kPositionUnknown = UINT64_MAX;  // after a failed seek or read
    uint64_t position_ = 0;  // the file's position after the last read
};

// The body's first `n` bytes, in whole 16-byte blocks: where a range's blocks begin and end.
constexpr uint32_t BlockFloor(uint32_t n) { return n & ~uint32_t{15}; }
