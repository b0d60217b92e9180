// ReadPackageDirectory: the content's entry table becomes the PackageDirectory, read from the
// intermediate file a chunk of records at a time.
#include "package/package_container.h"

#include "common/file_system.h"
#include "package/package_body.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kCountSize = 4;
// Whole records per read: the table of a game with many files may run to tens of MiB.
constexpr uint32_t kRecordsPerChunk = PackageBody::kChunkSize / sizeof(PackageEntry);
constexpr uint32_t kFirstNamesSize = 64 << 10;

char LowerPackageChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Unsigned byte order, as PackageKeyLess; names hold no NUL of their own.
int CompareKeys(const char* a, const char* b) { return strcmp(a, b); }  // strcmp compares unsigned bytes

}  // namespace

// Builds a directory in its two blocks. Every allocation goes through the file door, where it may
// fail (and tests can make it fail); a failure gives up the whole table.
class PackageDirectoryBuilder {
public:
    explicit PackageDirectoryBuilder(PackageDirectory& directory) : directory_(directory) {}

    bool Reserve(uint32_t count)
    {
        directory_.entries_ = static_cast<PackageDirectoryEntry*>(AllocateMemory(count * sizeof(PackageDirectoryEntry)));
        return directory_.entries_ != nullptr;
    }

    // Takes the entry's name lowered, and its range.
    bool Add(const char* name, size_t length, const PackageRange& range)
    {
        if (length + 1 > kMaxDirectoryNameBytes - namesUsed_ || !RoomForName(length + 1))
            return false;
        char* key = directory_.names_ + namesUsed_;
        for (size_t i = 0; i < length; ++i)
            key[i] = LowerPackageChar(name[i]);
        key[length] = '\0';
        PackageDirectoryEntry& entry = directory_.entries_[directory_.size_];
        entry.key = nullptr;
        entry.keyOffset = namesUsed_;
        entry.index = static_cast<uint32_t>(directory_.size_);
        entry.range = range;
        ++directory_.size_;
        namesUsed_ += static_cast<uint32_t>(length + 1);
        return true;
    }

    // Puts the entries in key order; of entries with one key the last in the table gives the range.
    void Finish()
    {
        PackageDirectoryEntry* entries = directory_.entries_;
        const char* names = directory_.names_;
        std::sort(entries, entries + directory_.size_, [names](const PackageDirectoryEntry& a, const PackageDirectoryEntry& b) {
            const int order = CompareKeys(names + a.keyOffset, names + b.keyOffset);
            return order != 0 ? order < 0 : a.index < b.index;
        });
        size_t kept = 0;
        for (size_t i = 0; i < directory_.size_; ++i) {
            if (kept > 0 && CompareKeys(names + entries[kept - 1].keyOffset, names + entries[i].keyOffset) == 0)
                entries[kept - 1].range = entries[i].range;
            else
                entries[kept++] = entries[i];
        }
        directory_.size_ = kept;
        for (size_t i = 0; i < kept; ++i)
            entries[i].key = names + entries[i].keyOffset;
    }

private:
    bool RoomForName(size_t bytes)
    {
        if (bytes <= namesSize_ - namesUsed_)
            return true;
        uint32_t size = namesSize_ ? namesSize_ : kFirstNamesSize;
        while (size - namesUsed_ < bytes)
            size = size <= kMaxDirectoryNameBytes / 2 ? size * 2 : kMaxDirectoryNameBytes;
        char* names = static_cast<char*>(AllocateMemory(size));
        if (!names)
            return false;
        if (namesUsed_ > 0)
            memcpy(names, directory_.names_, namesUsed_);
        free(directory_.names_);
        directory_.names_ = names;
        namesSize_ = size;
        return true;
    }

    PackageDirectory& directory_;
    uint32_t namesSize_ = 0;
    uint32_t namesUsed_ = 0;
};

namespace {

struct ParsedEntry {
    const char* name;
    size_t nameLength;
    PackageRange range;
};

// One entry of the table, or false when it cannot be trusted: its name has no NUL within its
// 260 bytes, or its bytes reach beyond the declared content.
bool ParseEntry(const unsigned char* record, uint32_t contentLength, ParsedEntry* entry)
{
    const char* name = reinterpret_cast<const char*>(record);
    const void* nul = memchr(name, '\0', kPackageNameSize);
    if (!nul)
        return false;
    entry->name = name;
    entry->nameLength = static_cast<size_t>(static_cast<const char*>(nul) - name);
    entry->range.offset = LoadLe32(record + offsetof(PackageEntry, offset));
    entry->range.size = LoadLe32(record + offsetof(PackageEntry, size));
    return static_cast<uint64_t>(entry->range.offset) + entry->range.size <= contentLength;
}

// The `count` records of the table into `directory`, a chunk of records at a time; false at the
// first record that cannot be read, trusted or held.
bool ReadTable(PackageBody& body, uint32_t count, PackageDirectory& directory)
{
    constexpr uint32_t kRecordSize = sizeof(PackageEntry);
    PackageDirectoryBuilder builder(directory);
    if (!builder.Reserve(count))
        return false;
    ParsedEntry entry;
    for (uint32_t done = 0; done < count;) {
        const uint32_t records = std::min(count - done, kRecordsPerChunk);
        const unsigned char* table = body.Decrypt(kCountSize + done * kRecordSize, records * kRecordSize);
        if (!table)
            return false;
        for (uint32_t i = 0; i < records; ++i) {
            if (!ParseEntry(table + i * kRecordSize, body.contentLength(), &entry) ||
                !builder.Add(entry.name, entry.nameLength, entry.range))
                return false;
        }
        done += records;
    }
    builder.Finish();
    return true;
}

}  // namespace

const PackageRange* PackageDirectory::Find(const char* key) const
{
    const PackageDirectoryEntry* at = std::lower_bound(
        begin(), end(), key, [](const PackageDirectoryEntry& entry, const char* k) { return CompareKeys(entry.key, k) < 0; });
    return at != end() && CompareKeys(at->key, key) == 0 ? &at->range : nullptr;
}

void PackageDirectory::swap(PackageDirectory& other) noexcept
{
    std::swap(entries_, other.entries_);
    std::swap(size_, other.size_);
    std::swap(names_, other.names_);
}

void PackageDirectory::Clear()
{
    free(entries_);
    free(names_);
    entries_ = nullptr;
    names_ = nullptr;
    size_ = 0;
}

bool PackageKeyLess::operator()(const std::string& a, const std::string& b) const
{
    size_t common = a.size() < b.size() ? a.size() : b.size();
    int order = memcmp(a.data(), b.data(), common);  // memcmp compares unsigned bytes
    return order != 0 ? order < 0 : a.size() < b.size();
}

std::string LowerPackageName(const char* name, size_t length)
{
    std::string key(name, length);
    // Byte by byte, without regard to double-byte characters: a GBK trail byte in 'A'..'Z' is
    // lowered as well, and the files have always been created under those names.
    for (char& c : key)
        c = LowerPackageChar(c);
    return key;
}

void ReadPackageDirectory(PackageBody& body, PackageDirectory& directory)
{
    // The declared length is not trusted beyond the bytes that really are there.
    const uint32_t contentLength = body.contentLength();
    if (contentLength < kCountSize || contentLength > body.size())
        return;
    const unsigned char* count = body.Decrypt(0, kCountSize);
    const int32_t entryCount = count ? static_cast<int32_t>(LoadLe32(count)) : 0;
    if (entryCount <= 0)
        return;
    const uint64_t tableEnd = kCountSize + static_cast<uint64_t>(entryCount) * sizeof(PackageEntry);
    if (tableEnd > contentLength || static_cast<uint32_t>(entryCount) > kMaxPackageEntries)
        return;

    // Every entry is checked before the directory is handed over: a damaged or hostile table
    // gives nothing.
    PackageDirectory read;
    if (ReadTable(body, static_cast<uint32_t>(entryCount), read))
        directory.swap(read);
}
