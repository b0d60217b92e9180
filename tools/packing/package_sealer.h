#pragma once
// The publisher's side of the package container: the entry table, and the intermediate file's
// bytes (8-byte header, then the content encrypted block by block under the key derived from the
// built-in password, padded with zeros to a whole block).
#include "package/package_container.h"
#include "packing/aes_encrypt.h"
#include "packing/byte_sink.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One entry of the table: its name (top-level folder first, backslashes, at most 259 bytes) and
// the size of its bytes.
struct TableEntry {
    std::string name;
    uint32_t size;
};

// entryCount and the table, the entries' bytes laid out after it in the same order. False when
// the content would not fit the container's 32-bit offsets, a name its 260 bytes, or the entries
// the installer's limit (kMaxPackageEntries).
bool BuildEntryTable(const std::vector<TableEntry>& entries, std::string* table, uint32_t* contentLength);

class PackageSealer final : public ByteSink {
public:
    // Writes the header declaring `contentLength` at once.
    PackageSealer(ByteSink& out, uint32_t contentLength);
    bool Put(const unsigned char* data, size_t size) override;
    using ByteSink::Put;
    // Pads the last block with zeros and hands everything on.
    bool Finish();
    // Content bytes taken so far.
    uint64_t taken() const { return taken_; }

private:
    bool Flush();

    ByteSink& out_;
    AesEncryptContext aes_;
    std::vector<unsigned char> block_;
    size_t filled_ = 0;
    uint64_t taken_ = 0;
};

// The intermediate file for `content` in one piece (tests and samples).
std::string SealContent(const std::string& content, uint32_t contentLength);
