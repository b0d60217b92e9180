#pragma once
// The package container: what is left of a package once the LZMA-alone layer is gone.
//
//   intermediate file:  PackageHeader (8 bytes) + body, N = file size - 8 bytes, N % 16 == 0
//   body:               AES-128 ciphertext of the content, block by block
//   content:            int32 entryCount, entryCount x PackageEntry, the entries' bytes
//
// All numbers are little-endian.
#include <cstdint>
#include <cstddef>
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

// The most entries a package may hold. The directory lives in memory, where a 32-bit process
// has well under 2 GiB, and the table's length is the package's choice: a million files is
// several times what a game holds, and their directory takes 20 to 24 bytes an entry besides the
// names.
constexpr uint32_t kMaxPackageEntries = 1 << 20;

// Where one entry's bytes lie in the content.
struct PackageRange {
    uint32_t offset;
    uint32_t size;
};

// The most bytes the entries' names may take in all, their NULs included: several times what a
// game's names need (100,000 files of 100 bytes take under 10 MiB), and a bound on what a
// hostile table can make a 32-bit process set aside.
constexpr uint32_t kMaxDirectoryNameBytes = 32u << 20;

// Unsigned byte order; on a tie the shorter key first.
struct PackageKeyLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// One entry of the directory: its lowered name, held by the directory, and its range.
struct PackageDirectoryEntry {
    const char* key;
    PackageRange range;
    uint32_t keyOffset;  // of the key in the directory's names, while the table is read
    uint32_t index;      // of the entry in the table, while the table is read
};

// Lowered entry name -> range, in ascending key order (PackageKeyLess: the order files are written
// in). Held in two flat blocks, the entries and their names, whose every allocation is checked: a
// table that does not fit in memory is an invalid table, not the end of the process.
class PackageDirectory {
public:
    PackageDirectory() = default;
    ~PackageDirectory() { Clear(); }
    PackageDirectory(PackageDirectory&& other) noexcept { swap(other); }
    PackageDirectory& operator=(PackageDirectory&& other) noexcept
    {
        swap(other);
        return *this;
    }
    PackageDirectory(const PackageDirectory&) = delete;
    PackageDirectory& operator=(const PackageDirectory&) = delete;

    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    const PackageDirectoryEntry* begin() const { return entries_; }
    const PackageDirectoryEntry* end() const { return entries_ + size_; }
    // The range of the entry keyed `key`, or nullptr.
    const PackageRange* Find(const char* key) const;

    void swap(PackageDirectory& other) noexcept;
    void Clear();

private:
    friend class PackageDirectoryBuilder;

    PackageDirectoryEntry* entries_ = nullptr;
    size_t size_ = 0;
    char* names_ = nullptr;
};

class PackageBody;

// Reads the directory of the package whose intermediate file `body` holds open: the entry count,
// then the table, chunk by chunk, within the header's declared content length. Adds nothing when
// the table does not fit the declared length, holds more than kMaxPackageEntries entries or
// kMaxDirectoryNameBytes of names, does not fit in memory, the declared length does not fit the
// body, the table cannot be read, or any entry cannot be trusted (no NUL in its name, bytes
// outside the content): a damaged or hostile table makes the whole package invalid. A later entry
// with the same lowered name replaces the earlier range; the key keeps its place.
void ReadPackageDirectory(PackageBody& body, PackageDirectory& directory);

// A name as the directory keys it: A..Z become a..z byte by byte, every other byte stays.
std::string LowerPackageName(const char* name, size_t length);

// A little-endian 32-bit number.
inline uint32_t LoadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
