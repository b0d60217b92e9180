#include "packing/package_sealer.h"

#include "package/package_container.h"
#include "package/package_key.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

constexpr size_t kRun = 1 << 16;  // bytes encrypted and handed on at a time: whole blocks
constexpr size_t kBlock = 16;

void PutLe32(unsigned char* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

bool BuildEntryTable(const std::vector<TableEntry>& entries, std::string* table, uint32_t* contentLength)
{
    const uint64_t tableSize = 4 + static_cast<uint64_t>(entries.size()) * sizeof(PackageEntry);
    uint64_t total = tableSize;
    for (const TableEntry& entry : entries) {
        if (entry.name.size() >= kPackageNameSize || entry.name.find('\0') != std::string::npos)
            return false;
        total += entry.size;
    }
    // The body is the content padded to whole blocks, and the offsets are 32-bit.
    if (entries.size() > kMaxPackageEntries || total > UINT32_MAX - (kBlock - 1))
        return false;

    table->assign(static_cast<size_t>(tableSize), '\0');
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&(*table)[0]);
    PutLe32(bytes, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(tableSize);
    for (size_t i = 0; i < entries.size(); ++i) {
        unsigned char* record = bytes + 4 + i * sizeof(PackageEntry);
        memcpy(record, entries[i].name.data(), entries[i].name.size());
        PutLe32(record + offsetof(PackageEntry, offset), offset);
        PutLe32(record + offsetof(PackageEntry, size), entries[i].size);
        offset += entries[i].size;
    }
    *contentLength = static_cast<uint32_t>(total);
    return true;
}

PackageSealer::PackageSealer(ByteSink& out, uint32_t contentLength) : out_(out), block_(kRun)
{
    unsigned char key[17] = {};
    DerivePackageKey(PackagePassword, key);
    AesSetEncryptKey(&aes_, key);
    unsigned char header[sizeof(PackageHeader)] = {};
    PutLe32(header, contentLength);
    if (!out_.Put(header, sizeof header))
        Fail(out_.error());
}

bool PackageSealer::Flush()
{
    AesEncryptBlocks(&aes_, block_.data(), filled_ / kBlock);
    size_t size = filled_;
    filled_ = 0;
    return out_.Put(block_.data(), size) || Fail(out_.error());
}

bool PackageSealer::Put(const unsigned char* data, size_t size)
{
    if (!error().empty())
        return false;
    taken_ += size;
    while (size > 0) {
        size_t part = std::min(size, block_.size() - filled_);
        memcpy(block_.data() + filled_, data, part);
        filled_ += part;
        data += part;
        size -= part;
        if (filled_ == block_.size() && !Flush())
            return false;
    }
    return true;
}

bool PackageSealer::Finish()
{
    if (!error().empty())
        return false;
    size_t padded = (filled_ + kBlock - 1) / kBlock * kBlock;
    memset(block_.data() + filled_, 0, padded - filled_);
    filled_ = padded;
    return Flush();
}

std::string SealContent(const std::string& content, uint32_t contentLength)
{
    StringSink out;
    PackageSealer sealer(out, contentLength);
    sealer.Put(content);
    sealer.Finish();
    return out.bytes;
}
