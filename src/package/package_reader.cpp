// ReadPackageFile: the intermediate file's header and length check, the body read into one
// buffer, and its decryption, with the progress 25..50.
#include "package/package_container.h"

#include "common/file_system.h"
#include "package/aes_decrypt.h"
#include "package/package_key.h"

#include <algorithm>

namespace {

constexpr unsigned kProgressPauseMs = 20;
constexpr uint32_t kBlockSize = 16;
constexpr uint32_t kLastDecryptPercent = 49;
// Blocks are decrypted in runs of this many bytes; the progress is still judged block by block.
constexpr uint32_t kDecryptRun = 4096;

// How far `done` is through `total` bytes, in percent, the way the reader has always counted it
// (in KiB once the body reaches 1 KiB). `total` is not 0.
uint32_t PercentOf(uint32_t done, uint32_t total)
{
    if (total >= 1024)
        return ((done >> 10) * 100) / (total / 1024);
    return (done * 100) / total;
}

// Posts a percentage only when it differs from the last one posted, then pauses.
class ProgressSteps {
public:
    explicit ProgressSteps(ProgressSink& sink) : sink_(sink) {}
    void Offer(uint32_t percent)
    {
        if (percent == last_)
            return;
        sink_.Post(percent);
        last_ = percent;
        sink_.Pause(kProgressPauseMs);
    }
    uint32_t last() const { return last_; }

private:
    ProgressSink& sink_;
    uint32_t last_ = 25;
};

bool ReadHeader(OsFile file, PackageHeader* header)
{
    unsigned char bytes[sizeof(PackageHeader)];
    uint32_t have = 0;
    while (have < sizeof bytes) {
        uint32_t got = 0;
        if (!ReadFromFile(file, bytes + have, static_cast<uint32_t>(sizeof bytes - have), &got) || got == 0)
            return false;
        have += got;
    }
    header->contentLength = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    header->reserved = 0;
    return true;
}

}  // namespace

PackageContent ReadPackageFile(const char* password, const char* path, ProgressSink& progress,
                               uint32_t* contentLength)
{
    UniqueOsFile file(OpenInputFile(path));
    if (!file)
        return {};
    uint64_t fileSize = 0;
    PackageHeader header;
    if (!QueryFileSize(file.get(), &fileSize) || !ReadHeader(file.get(), &header))
        return {};

    // 32-bit arithmetic on purpose: a file shorter than 8 bytes wraps to a length that is not a
    // multiple of 16 and is refused with the rest.
    const uint32_t n = static_cast<uint32_t>(fileSize) - static_cast<uint32_t>(sizeof(PackageHeader));
    if (n % kBlockSize != 0)
        return {};

    PackageContent content;
    content.bytes.reset(static_cast<unsigned char*>(AllocateFileBuffer(n)));
    if (!content)
        return {};
    content.size = n;
    *contentLength = header.contentLength;

    // A short or failed read leaves the rest of the (zero-filled) buffer as it is.
    ProgressSteps steps(progress);
    uint32_t have = 0;
    while (have < n) {
        uint32_t got = 0;
        if (!ReadFromFile(file.get(), content.bytes.get() + have, n - have, &got) || got == 0)
            break;
        have += got;
        steps.Offer(PercentOf(have, n) / 4);
    }
    progress.Post(25);

    unsigned char key[17] = {};
    DerivePackageKey(password, key);
    AesDecryptContext aes;
    AesSetDecryptKey(&aes, key);

    // Capped at 49: when N is not a whole number of KiB the last KiB would reach 50 here, and 50
    // is posted once, after the loop.
    auto percentAt = [n](uint32_t pos) { return std::min<uint32_t>(25 + PercentOf(pos, n) / 4, kLastDecryptPercent); };
    for (uint32_t run = 0; run < n; run += kDecryptRun) {
        uint32_t runEnd = std::min(n - run, kDecryptRun) + run;
        AesDecryptBlocks(&aes, content.bytes.get() + run, (runEnd - run) / kBlockSize);
        // The percentage only grows: when the run's last block still gives the value posted last,
        // so does every block before it, and the block-by-block look can be skipped.
        if (percentAt(runEnd - kBlockSize) == steps.last())
            continue;
        for (uint32_t pos = run; pos < runEnd; pos += kBlockSize)
            steps.Offer(percentAt(pos));
    }

    progress.Post(50);
    return content;
}
