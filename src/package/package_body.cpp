// PackageBody: the intermediate file's length checks, and ranges of its body read and decrypted
// through one chunk of memory.
#include "package/package_body.h"

#include "package/package_container.h"
#include "package/package_key.h"

namespace {

constexpr uint32_t kBlockSize = 16;
// A range that begins and ends inside blocks spans up to two blocks more than its length.
constexpr uint32_t kChunkRoom = PackageBody::kChunkSize + 2 * kBlockSize;

}  // namespace

bool PackageBody::Open(const char* password, const char* path)
{
    file_.reset(OpenInputFile(path));
    if (!file_)
        return false;
    uint64_t fileSize = 0;
    if (!QueryFileSize(file_.get(), &fileSize) || fileSize < sizeof(PackageHeader))
        return false;
    // The content's offsets and lengths are 32-bit: a longer body could only be addressed by
    // wrapping, which would read a 4 GiB + 16-byte body as a 16-byte one.
    const uint64_t n = fileSize - sizeof(PackageHeader);
    if (n > UINT32_MAX || n % kBlockSize != 0)
        return false;
    chunk_.reset(static_cast<unsigned char*>(AllocateMemory(kChunkRoom)));
    unsigned char header[sizeof(PackageHeader)];
    if (!chunk_ || !ReadAt(0, header, sizeof header))
        return false;
    contentLength_ = LoadLe32(header);
    size_ = static_cast<uint32_t>(n);

    unsigned char key[17] = {};
    DerivePackageKey(password, key);
    AesSetDecryptKey(&aes_, key);
    return true;
}

bool PackageBody::ReadAt(uint64_t position, unsigned char* to, uint32_t length)
{
    if (position != position_ && !SeekFile(file_.get(), position)) {
        position_ = kPositionUnknown;
        return false;
    }
    position_ = position;
    for (uint32_t have = 0; have < length;) {
        uint32_t got = 0;
        // No bytes before the range is in: the file is shorter than when it was checked.
        if (!ReadFromFile(file_.get(), to + have, length - have, &got) || got == 0) {
            position_ = kPositionUnknown;
            return false;
        }
        have += got;
        position_ += got;
    }
    return true;
}

const unsigned char* PackageBody::Decrypt(uint32_t offset, uint32_t length)
{
    if (!chunk_ || length > kChunkSize || offset > size_ || length > size_ - offset)
        return nullptr;
    const uint32_t first = BlockFloor(offset);
    // Within the body, which is a whole number of blocks: rounding up cannot pass its end.
    const uint64_t end = (static_cast<uint64_t>(offset) + length + kBlockSize - 1) & ~uint64_t{kBlockSize - 1};
    const uint32_t span = static_cast<uint32_t>(end - first);
    if (!ReadAt(sizeof(PackageHeader) + static_cast<uint64_t>(first), chunk_.get(), span))
        return nullptr;
    AesDecryptBlocks(&aes_, chunk_.get(), span / kBlockSize);
    return chunk_.get() + (offset - first);
}
