// PackageBody (length checks, ranges read and decrypted) and ReadPackageDirectory (keys, order,
// hostile tables).
#include "common/file_system.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"
#include "package_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using Keys = std::vector<std::string>;

struct Read {
    PackageBody body;
    bool opened = false;
    PackageDirectory directory;
    // An entry's bytes, read through the body as the extraction reads them.
    std::string Bytes(const PackageRange& range)
    {
        const unsigned char* bytes = body.Decrypt(range.offset, range.size);
        return bytes ? std::string(reinterpret_cast<const char*>(bytes), range.size) : "<unreadable>";
    }
};

void OpenAndRead(const std::string& path, Read& r)
{
    r.opened = r.body.Open(PackagePassword, path.c_str());
    if (r.opened)
        ReadPackageDirectory(r.body, r.directory);
}

void ReadSample(const char* name, Read& r) { OpenAndRead(TestDataPath(std::string("package/") + name), r); }

// The directory of `content`, sealed with the declared `contentLength` into a file and read back.
PackageDirectory Parse(const std::string& content, uint32_t contentLength)
{
    ScratchDir dir;
    Read r;
    EXPECT_TRUE(WriteFileBytes(dir / "data_.rar", SealPackage(content, contentLength)));
    OpenAndRead(dir / "data_.rar", r);
    return std::move(r.directory);
}
PackageDirectory Parse(const std::string& content) { return Parse(content, static_cast<uint32_t>(content.size())); }

Keys KeysOf(const PackageDirectory& directory)
{
    Keys keys;
    for (const auto& entry : directory)
        keys.push_back(entry.key);
    return keys;
}

// The range keyed `key`; none fails the test.
PackageRange At(const PackageDirectory& directory, const std::string& key)
{
    const PackageRange* range = directory.Find(key.c_str());
    EXPECT_NE(range, nullptr) << key;
    return range ? *range : PackageRange{0, 0};
}

// A sparse intermediate file: an 8-byte header and `bodySize` bytes that take no disk.
bool WriteSparse(const std::string& path, uint64_t bodySize)
{
    std::error_code error;
    if (!WriteFileBytes(path, std::string(8, '\0')))
        return false;
    std::filesystem::resize_file(path, 8 + bodySize, error);
    return !error;
}

}  // namespace

TEST(PackageReader, Samples)
{
    Read two, duplicates, empty;
    ReadSample("good-two-entries.pak", two);
    ASSERT_EQ(KeysOf(two.directory), (Keys{"root\\data\\a.txt", "root\\readme.txt"}));
    EXPECT_EQ(two.Bytes(At(two.directory, "root\\data\\a.txt")), "first entry");

    ReadSample("good-duplicate-names.pak", duplicates);
    ASSERT_EQ(KeysOf(duplicates.directory), Keys{"root\\data\\a.txt"});
    EXPECT_EQ(duplicates.Bytes(duplicates.directory.begin()->range), "second");

    ReadSample("good-empty-body.pak", empty);
    ASSERT_TRUE(empty.opened);
    EXPECT_EQ(empty.body.size(), 0u);

    for (const char* name : {"good-empty-body.pak", "bad-body-length.pak", "bad-name-without-nul.pak",
                             "bad-entry-range.pak", "bad-content-length.pak", "bad-entry-count.pak"}) {
        Read r;
        ReadSample(name, r);
        EXPECT_TRUE(r.directory.empty()) << name;
        EXPECT_EQ(!r.opened, std::string(name) == "bad-body-length.pak") << name;
    }
}

TEST(PackageReader, LengthChecks)
{
    ScratchDir dir;
    for (size_t size = 0; size <= 24; ++size) {
        Read r;
        ASSERT_TRUE(WriteFileBytes(dir / "data_.rar", std::string(size, '\x04')));
        OpenAndRead(dir / "data_.rar", r);
        bool accepted = size == 8 || size == 24;  // header only, or one block
        EXPECT_EQ(r.opened, accepted) << size;
        if (accepted) {
            EXPECT_EQ(r.body.contentLength(), 0x04040404u) << size;
        }
        EXPECT_TRUE(r.directory.empty()) << size;  // a declared length beyond the body
    }
    Read missing;
    OpenAndRead(dir / "missing_.rar", missing);
    EXPECT_FALSE(missing.opened);

    // Beyond what 32-bit offsets address: 4 GiB + 16 bytes would wrap to a one-block body. Below
    // it, every range reads through 64-bit file positions, on both builds (the files are sparse).
    for (uint64_t body : {0x100000010ull, 0xC0000000ull}) {
        ASSERT_TRUE(WriteSparse(dir / "huge_.rar", body)) << body;
        Read r;
        OpenAndRead(dir / "huge_.rar", r);
        EXPECT_EQ(r.opened, body <= UINT32_MAX) << body;
        if (r.opened) {
            EXPECT_NE(r.body.Decrypt(static_cast<uint32_t>(body - 20), 20), nullptr);
        }
    }
}

TEST(PackageReader, ShortReadsAreGatheredAndAFailedOrMissingReadGivesNothing)
{
    std::string content = BuildContent({{"Root\\Big.bin", std::string(70000, 'b')}});
    ScratchDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "data_.rar", SealPackage(content)));
    FileFaults faults;
    faults.readChunk = 1000;
    {
        ScopedFileFaults scoped(faults);
        Read r;
        OpenAndRead(dir / "data_.rar", r);
        ASSERT_EQ(KeysOf(r.directory), Keys{"root\\big.bin"});
        EXPECT_EQ(r.Bytes(r.directory.begin()->range), std::string(70000, 'b'));
    }
    faults.readableBytes = 8 + 4096;  // the entry's bytes cannot be read
    {
        ScopedFileFaults scoped(faults);
        Read r;
        OpenAndRead(dir / "data_.rar", r);
        ASSERT_EQ(r.directory.size(), 1u);
        EXPECT_EQ(r.Bytes(r.directory.begin()->range), "<unreadable>");
    }
    // A file cut after its check: Windows refuses, the file being held without write sharing;
    // elsewhere the range is gone.
    Read r;
    OpenAndRead(dir / "data_.rar", r);
    ASSERT_EQ(r.directory.size(), 1u);
    std::error_code refused;
    std::filesystem::resize_file(dir / "data_.rar", 1024, refused);
    EXPECT_EQ(r.Bytes(r.directory.begin()->range), refused ? std::string(70000, 'b') : "<unreadable>");
}

TEST(PackageDirectory, KeysAreLoweredByteByByteOrderedAsUnsignedBytesDuplicatesKeepTheirPlace)
{
    std::string content = BuildContent({
        {"root\\b", "1"}, {"Root\\Data\\A.TXT", "2"}, {"root\\a", "3"}, {"root\\ab", "4"}, {"ROOT\\Z", "5"},
        {"root\\\x81\x41.TXT", "6"},  // GBK character whose trail byte is 'A'
        {"root\\data\\a.txt", "7"},
    });
    PackageDirectory directory = Parse(content);
    EXPECT_EQ(KeysOf(directory), (Keys{"root\\a", "root\\ab", "root\\b", "root\\data\\a.txt", "root\\z",
                                       "root\\\x81\x61.txt"}));
    PackageRange replaced = At(directory, "root\\data\\a.txt");
    EXPECT_EQ(content.substr(replaced.offset, replaced.size), "7");
}

TEST(PackageDirectory, DeclaredLengthAndCount)
{
    std::string content = BuildContent({{"root\\a", "data"}});  // 276 bytes, a body of 288
    EXPECT_EQ(Parse(content, 4 + 268 + 4).size(), 1u);  // the entry ends at the declared length
    for (uint32_t length : {3u, 4u + 268 - 1, 4u + 268 + 3, 288u + 1})
        EXPECT_TRUE(Parse(content, length).empty()) << length;  // the last one lies beyond the body
    for (uint32_t count : {0u, 0xFFFFFFFFu, 0x80000000u, 2u}) {
        std::string changed = content;
        PutLe32(changed, 0, count);
        EXPECT_TRUE(Parse(changed).empty()) << count;
    }
}

TEST(PackageDirectory, OneHostileEntryInvalidatesTheWholeTable)
{
    const std::string good = BuildContent({{"root\\a", "data"}, {"root\\b", "more"}});
    ASSERT_EQ(Parse(good).size(), 2u);
    const size_t second = 4 + 268;
    const std::pair<size_t, uint32_t> fields[] = {
        {second + 260, static_cast<uint32_t>(good.size())},  // offset past the end
        {second + 264, 5},                                   // size one past the end
        {second + 260, 0xFFFFFFF0}, {second + 264, 0xFFFFFFFF},  // would wrap in 32 bits
    };
    for (const auto& [at, value] : fields) {
        std::string changed = good;
        PutLe32(changed, at, value);
        EXPECT_TRUE(Parse(changed).empty()) << at << " " << value;
    }
    std::string noNul = good;
    noNul.replace(second, 260, std::string(260, 'n'));
    EXPECT_TRUE(Parse(noNul).empty());
}

// A table longer than one chunk of records is read in several, the last record of the first chunk
// and the first of the second alike.
TEST(PackageDirectory, ATableOfSeveralChunks)
{
    const size_t count = PackageBody::kChunkSize / 268 + 3;
    std::vector<NamedData> entries;
    for (size_t i = 0; i < count; ++i)
        entries.push_back({"root\\f" + std::to_string(100000 + i), std::to_string(i)});
    const std::string content = BuildContent(entries);
    PackageDirectory directory = Parse(content);
    ASSERT_EQ(directory.size(), count);
    for (size_t i : {size_t{0}, count - 4, count - 3, count - 1}) {
        const PackageRange range = At(directory, "root\\f" + std::to_string(100000 + i));
        EXPECT_EQ(content.substr(range.offset, range.size), std::to_string(i)) << i;
    }
}

// A table that a 32-bit process cannot or should not hold is an invalid table, not the end of the
// process: names past kMaxDirectoryNameBytes in all, or no memory for the directory.
TEST(PackageDirectory, ATableThatCannotBeHeldIsInvalid)
{
    // 129,056 names of 259 bytes and their NULs: 128 bytes past the bound.
    const size_t count = kMaxDirectoryNameBytes / kPackageNameSize + 1;
    std::string content(4 + count * sizeof(PackageEntry), '\0');
    PutLe32(content, 0, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const std::string name = "root\\" + std::to_string(1000000 + i) + std::string(kPackageNameSize - 13, 'n');
        memcpy(&content[4 + i * sizeof(PackageEntry)], name.data(), kPackageNameSize - 1);
    }
    EXPECT_TRUE(Parse(content).empty());

    ScratchDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "data_.rar", SealPackage(BuildContent({{"root\\a", "a"}, {"root\\b", "b"}}))));
    Read r;
    ASSERT_TRUE(r.body.Open(PackagePassword, (dir / "data_.rar").c_str()));
    FileFaults faults;
    faults.allocationLimit = 16;
    ScopedFileFaults scoped(faults);
    ReadPackageDirectory(r.body, r.directory);
    EXPECT_TRUE(r.directory.empty());
}
