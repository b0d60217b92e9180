#pragma once
// Builders of package inputs for the tests: LZMA-alone files through liblzma's encoder, and
// containers sealed with the publisher's encryption (tools/packing; the product only decrypts).
#include "common/file_system.h"
#include "common/progress_sink.h"
#include "packing/package_encoder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How an LZMA-alone stream tells where it ends.
enum class LzmaEnd {
    Size,           // the header's size, no end marker
    SizeAndMarker,  // the header's size and the end marker after it
    Marker,         // unknown size (all ones), end marker
};

// A complete LZMA-alone file holding `data`. `dictionary` is what the header declares (the
// encoder itself always uses at least 4 KiB).
std::string EncodeLzmaAlone(const std::string& data, LzmaEnd end, uint32_t dictionary = 1 << 16);

// An .xz file holding `data` in one block whose header gives no sizes, as single-threaded encoders
// write it (liblzma decodes such a block on one thread), with a CRC64 or without any check.
// pkgtool's .xz files, in blocks with their sizes, come from EncodePackageFile (tools/packing).
std::string EncodeXzOneBlock(const std::string& data, bool checked = true);

// `xz` with the first block's dictionary replaced by LZMA2's dictionary byte `dictionary` (and
// the block header's CRC32 made to match): what a hostile .xz file can ask for.
std::string WithXzDictionary(std::string xz, uint8_t dictionary);

// A 13-byte LZMA-alone header.
std::string LzmaHeader(uint8_t properties, uint32_t dictionary, uint64_t size);

// FIPS-197 AES-128 encryption of `plain` (a multiple of 16 bytes), block by block, with the
// publisher's cipher: the processor's instructions when there are, or the portable code.
std::string SealBlocks(const std::string& key, const std::string& plain, bool portable = false);

// Byte views and hex for the cipher tests.
inline unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(&s[0]); }
inline const unsigned char* Bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
std::string Hex(const unsigned char* bytes, size_t size);
std::string FromHex(const char* text);

// The content of a package: entryCount, the entry table and the entries' bytes after it.
using NamedData = std::pair<std::string, std::string>;
std::string BuildContent(const std::vector<NamedData>& entries);

// The intermediate file for `content`: header with `contentLength`, body = content padded with
// zeros to a multiple of 16 and encrypted with the key of the built-in password.
std::string SealPackage(const std::string& content, uint32_t contentLength);
inline std::string SealPackage(const std::string& content)
{
    return SealPackage(content, static_cast<uint32_t>(content.size()));
}

// A whole package: the LZMA-alone layer (unknown size, end marker) over the sealed content, or
// pkgtool's .xz encoding in blocks of kSmallXzBlock bytes.
std::string MakePackage(const std::vector<NamedData>& entries, PackageEncoding encoding = PackageEncoding::LzmaAlone);
// Small .xz blocks, so that a test's few KiB make several.
constexpr uint32_t kSmallXzBlock = 1024;
// `data` as either encoding's whole file (.xz in blocks of kSmallXzBlock).
std::string EncodeEither(const std::string& data, PackageEncoding encoding);

// Little-endian 32-bit value into `bytes` at `at`.
void PutLe32(std::string& bytes, size_t at, uint32_t value);

// Where the reader's progress went.
struct RecordingSink final : ProgressSink {
    std::vector<unsigned> posts;
    std::vector<unsigned> pauses;
    void Post(unsigned percent) override { posts.push_back(percent); }
    void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};

// Fault switches for the length of a scope.
struct ScopedFileFaults {
    explicit ScopedFileFaults(const FileFaults& faults);
    ScopedFileFaults(const ScopedFileFaults&) = delete;
    ScopedFileFaults& operator=(const ScopedFileFaults&) = delete;
    ~ScopedFileFaults();
};

// Everything below `folder`, as sorted relative paths with "/" separators; folders end in "/".
std::vector<std::string> ListTree(const std::string& folder);

// Links as another process of the player's would plant them. A symbolic link is made by the
// system's own `ln` (under Wine, whose CreateSymbolicLink makes none, by running it as a Unix
// program), so that it is a real link to both halves of the file door; RemoveLink takes it away
// without following it (Wine's DeleteFile would delete its target).
bool MakeSymbolicLink(const std::string& link, const std::string& target);
bool MakeHardLink(const std::string& link, const std::string& target);
bool RemoveLink(const std::string& link);

// The text inside the committed LZMA samples (tests/data/package/good-*.lzma): 40 numbered lines.
std::string SampleText();
