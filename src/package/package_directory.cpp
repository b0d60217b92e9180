// ParsePackageDirectory: the decrypted content's entry table becomes the PackageDirectory.
#include "package/package_container.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t kCountSize = 4;

uint32_t LoadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

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

void ParsePackageDirectory(uint32_t contentLength, const unsigned char* content, uint32_t contentSize,
                           PackageDirectory& directory)
{
    // The declared length is not trusted beyond the bytes that really are there.
    if (contentLength < kCountSize || contentLength > contentSize || !content)
        return;
    const int32_t entryCount = static_cast<int32_t>(LoadLe32(content));
    if (entryCount <= 0)
        return;
    const uint64_t tableEnd = kCountSize + static_cast<uint64_t>(entryCount) * sizeof(PackageEntry);
    if (tableEnd > contentLength)
        return;

    // Every entry is checked before any is added: a damaged or hostile table adds nothing.
    auto record = [&](int32_t i) { return content + kCountSize + static_cast<size_t>(i) * sizeof(PackageEntry); };
    ParsedEntry entry;
    for (int32_t i = 0; i < entryCount; ++i) {
        if (!ParseEntry(record(i), contentLength, &entry))
            return;
    }
    // A later entry with the same lowered name replaces the earlier range; the key keeps its place.
    for (int32_t i = 0; i < entryCount; ++i) {
        ParseEntry(record(i), contentLength, &entry);
        directory[LowerPackageName(entry.name, entry.nameLength)] = entry.range;
    }
}
