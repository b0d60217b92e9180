#pragma once
// The package container: what is left of a package once the LZMA-alone layer is gone.
//
//   intermediate file:  PackageHeader (8 bytes) + body, N = file size - 8 bytes, N % 16 == 0
//   body:               AES-128 ciphertext of the content, block by block
//   content:            int32 entryCount, entryCount x PackageEntry, the entries' bytes
//
// All numbers are little-endian.
#include "common/progress_sink.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

struct PackageHeader {
    uint32_t contentLength;  // declared length of the content; the directory is parsed within it
    uint32_t reserved;       // never read
};
static_assert(sizeof(PackageHeader) == 8, "the container's header is 8 bytes");

constexpr size_t kPackageNameSize = 260;

struct PackageEntry {
    char name[kPackageNameSize];  // NUL-terminated GBK path, backslash separators
    uint32_t offset;              // of the entry's bytes, from the start of the content
    uint32_t size;
};
static_assert(sizeof(PackageEntry) == 268, "a directory entry is 268 bytes");

// Where one entry's bytes lie in the content.
struct PackageRange {
    uint32_t offset;
    uint32_t size;
};

// Unsigned byte order; on a tie the shorter key first.
struct PackageKeyLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Lowered entry name -> range, iterated in ascending key order (the order files are written in).
using PackageDirectory = std::map<std::string, PackageRange, PackageKeyLess>;

struct FreeDeleter {
    void operator()(void* p) const noexcept { free(p); }
};

// The decrypted body: `size` (N) bytes.
struct PackageContent {
    std::unique_ptr<unsigned char[], FreeDeleter> bytes;
    uint32_t size = 0;
    explicit operator bool() const { return bytes != nullptr; }
};

// Reads the intermediate file at `path` and decrypts its body with the key derived from
// `password`, reporting 25..50 to `progress` (each change in the read and decryption loops
// followed by a 20 ms pause). Returns no content when the file cannot be opened, its body is not
// a multiple of 16 bytes or the memory for it is missing. `*contentLength` (which the caller sets
// to 0) receives the header's declared length once the file passed the length check.
PackageContent ReadPackageFile(const char* password, const char* path, ProgressSink& progress,
                               uint32_t* contentLength);

// Adds the entries of `content` (`contentSize` bytes) to `directory`, parsed within
// `contentLength`. A directory that does not fit, or any entry that does not (no NUL in its name,
// bytes outside the content), makes the whole package invalid: nothing is added.
void ParsePackageDirectory(uint32_t contentLength, const unsigned char* content, uint32_t contentSize,
                           PackageDirectory& directory);

// A name as the directory keys it: A..Z become a..z byte by byte, every other byte stays.
std::string LowerPackageName(const char* name, size_t length);
