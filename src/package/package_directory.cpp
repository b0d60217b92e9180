// ReadPackageDirectory: the content's entry table becomes the PackageDirectory, read from the
// intermediate file a chunk of records at a time.
#include "package/package_container.h"

#include "package/package_body.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t kCountSize = 4;
// Whole records per read: the table of a game with many files may run to tens of MiB.
constexpr uint32_t kRecordsPerChunk = PackageBody::kChunkSize / sizeof(PackageEntry);

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
// first record that cannot be read or trusted. A later entry with the same lowered name replaces
// the earlier range; the key keeps its place.
bool ReadTable(PackageBody& body, uint32_t count, PackageDirectory& directory)
{
    constexpr uint32_t kRecordSize = sizeof(PackageEntry);
    ParsedEntry entry;
    for (uint32_t done = 0; done < count;) {
        const uint32_t records = std::min(count - done, kRecordsPerChunk);
        const unsigned char* table = body.Decrypt(kCountSize + done * kRecordSize, records * kRecordSize);
        if (!table)
            return false;
        for (uint32_t i = 0; i < records; ++i) {
            if (!ParseEntry(table + i * kRecordSize, body.contentLength(), &entry))
                return false;
            directory[LowerPackageName(entry.name, entry.nameLength)] = entry.range;
        }
        done += records;
    }
    return true;
}

}  // namespace

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
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
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
