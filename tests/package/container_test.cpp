// ReadPackageFile (length checks, progress) and ParsePackageDirectory (keys, order, hostile tables).
#include "package/aes_decrypt.h"
#include "package/package_container.h"
#include "package/package_key.h"
#include "package_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <numeric>

namespace {

using Values = std::vector<unsigned>;
using Keys = std::vector<std::string>;

struct Read {
    PackageContent content;
    uint32_t contentLength = 0;
    RecordingSink sink;
    PackageDirectory directory;
    std::string Bytes(const PackageRange& range) const
    {
        return std::string(reinterpret_cast<const char*>(content.bytes.get()) + range.offset, range.size);
    }
};

void ReadAndParse(const std::string& path, Read& r)
{
    r.content = ReadPackageFile(PackagePassword, path.c_str(), r.sink, &r.contentLength);
    if (r.content)
        ParsePackageDirectory(r.contentLength, r.content.bytes.get(), r.content.size, r.directory);
}

void ReadBytes(const std::string& bytes, Read& r)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "data_.rar", bytes));
    ReadAndParse(dir / "data_.rar", r);
}

void ReadSample(const char* name, Read& r) { ReadAndParse(TestDataPath(std::string("package/") + name), r); }

PackageDirectory Parse(const std::string& content, uint32_t contentLength)
{
    PackageDirectory directory;
    ParsePackageDirectory(contentLength, Bytes(content), static_cast<uint32_t>(content.size()), directory);
    return directory;
}
PackageDirectory Parse(const std::string& content) { return Parse(content, static_cast<uint32_t>(content.size())); }

Keys KeysOf(const PackageDirectory& directory)
{
    Keys keys;
    for (const auto& entry : directory)
        keys.push_back(entry.first);
    return keys;
}

}  // namespace

TEST(PackageReader, Samples)
{
    Read two, duplicates, empty;
    ReadSample("good-two-entries.pak", two);
    ASSERT_EQ(KeysOf(two.directory), (Keys{"root\\data\\a.txt", "root\\readme.txt"}));
    EXPECT_EQ(two.Bytes(two.directory["root\\data\\a.txt"]), "first entry");

    ReadSample("good-duplicate-names.pak", duplicates);
    ASSERT_EQ(KeysOf(duplicates.directory), Keys{"root\\data\\a.txt"});
    EXPECT_EQ(duplicates.Bytes(duplicates.directory.begin()->second), "second");

    ReadSample("good-empty-body.pak", empty);
    ASSERT_TRUE(empty.content);
    EXPECT_EQ(empty.content.size, 0u);
    EXPECT_EQ(empty.sink.posts, (Values{25, 50}));

    for (const char* name : {"good-empty-body.pak", "bad-body-length.pak", "bad-name-without-nul.pak",
                             "bad-entry-range.pak", "bad-content-length.pak", "bad-entry-count.pak"}) {
        Read r;
        ReadSample(name, r);
        EXPECT_TRUE(r.directory.empty()) << name;
        EXPECT_EQ(!r.content, std::string(name) == "bad-body-length.pak") << name;
    }
}

TEST(PackageReader, LengthChecksAndTheirPosts)
{
    for (size_t size = 0; size <= 24; ++size) {
        Read r;
        ReadBytes(std::string(size, '\x04'), r);
        bool accepted = size == 8 || size == 24;  // header only, or one block
        EXPECT_EQ(bool(r.content), accepted) << size;
        EXPECT_EQ(r.sink.posts, accepted ? Values({25, 50}) : Values()) << size;
        EXPECT_EQ(r.contentLength, accepted ? 0x04040404u : 0u) << size;
        EXPECT_TRUE(r.directory.empty()) << size;  // 8 bytes: a declared length beyond the empty body
    }
    ScratchDir dir;
    Read missing;
    ReadAndParse(dir / "missing_.rar", missing);
    EXPECT_FALSE(missing.content);
    EXPECT_TRUE(missing.sink.posts.empty());
}

TEST(PackageReader, OneReadPosts25Then26To49Then50)
{
    // 70,272 bytes: not a whole number of KiB, so the last KiB of the decryption would reach 50.
    std::string content = BuildContent({{"Root\\Big.bin", std::string(70000, 'b')}});
    Read r;
    ReadBytes(SealPackage(content), r);
    ASSERT_TRUE(r.content);
    Values expected(26);
    std::iota(expected.begin(), expected.end(), 25u);
    EXPECT_EQ(r.sink.posts, expected);
    EXPECT_EQ(r.sink.pauses, Values(24, 20));  // only the posts inside the loops pause
    EXPECT_EQ(r.Bytes({0, static_cast<uint32_t>(content.size())}), content);
    EXPECT_EQ(KeysOf(r.directory), Keys{"root\\big.bin"});
}

TEST(PackageReader, ShortReadsPostTheirShareAndAFailedReadLeavesZeros)
{
    std::string sealed = SealPackage(std::string(4096, 'c'));
    FileFaults faults;
    faults.readChunk = 1024;
    {
        ScopedFileFaults scoped(faults);
        Read r;
        ReadBytes(sealed, r);
        EXPECT_EQ(r.sink.posts, (Values{6, 12, 18, 25, 25, 31, 37, 43, 50}));
    }
    faults.readableBytes = 8 + 2048;  // the body's second half cannot be read
    ScopedFileFaults scoped(faults);
    Read r;
    ReadBytes(sealed, r);
    ASSERT_TRUE(r.content);
    EXPECT_EQ(r.sink.posts.back(), 50u);
    std::string key(16, '\0'), zeros(16, '\0');
    DerivePackageKey(PackagePassword, Bytes(key));
    AesDecryptContext aes;
    AesSetDecryptKey(&aes, Bytes(key));
    AesDecryptBlock(&aes, Bytes(zeros), Bytes(zeros));  // what an unread block decrypts to
    EXPECT_EQ(r.Bytes({4096 - 16, 16}), zeros);
}

TEST(PackageReader, NoMemoryForTheBodyEndsWithoutContentOrPosts)
{
    FileFaults faults;
    faults.allocationLimit = 1000;
    ScopedFileFaults scoped(faults);
    Read r;
    ReadBytes(SealPackage(std::string(2000, 'x')), r);
    EXPECT_FALSE(r.content);
    EXPECT_EQ(r.contentLength, 0u);
    EXPECT_TRUE(r.sink.posts.empty());
}

// A 32-bit process has 2 GiB of address space: a body of 3 GiB cannot be held, and the reader must
// say so instead of reading into (or decrypting past) a buffer it does not have.
TEST(PackageReader, ABodyBeyondTheAddressSpaceOfA32BitProcessEndsWithoutContent)
{
    if (sizeof(void*) != 4)
        GTEST_SKIP() << "only a 32-bit process runs out of address space for it";
    ScratchDir dir;
    const std::string path = dir / "huge_.rar";
    ASSERT_TRUE(WriteFileBytes(path, std::string(8, '\0')));
    std::error_code error;
    std::filesystem::resize_file(path, 8 + 0xC0000000ull, error);  // sparse: no disk is used
    ASSERT_FALSE(error) << error.message();
    Read r;
    ReadAndParse(path, r);
    EXPECT_FALSE(r.content);
    EXPECT_TRUE(r.sink.posts.empty());
    std::filesystem::remove(path, error);
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
    PackageRange replaced = directory["root\\data\\a.txt"];
    EXPECT_EQ(content.substr(replaced.offset, replaced.size), "7");
}

TEST(PackageDirectory, DeclaredLengthAndCount)
{
    std::string content = BuildContent({{"root\\a", "data"}});
    EXPECT_EQ(Parse(content, 4 + 268 + 4).size(), 1u);  // the entry ends at the declared length
    for (uint32_t length : {3u, 4u + 268 - 1, 4u + 268 + 3, static_cast<uint32_t>(content.size()) + 1})
        EXPECT_TRUE(Parse(content, length).empty()) << length;  // the last one lies beyond the buffer
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
