#include "packing/package_encoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kOutputChunk = 1 << 20;
constexpr uint32_t kSmallestDictionary = 4096;
constexpr uint32_t kMostEncoderThreads = 8;
// The encoder's threads together (a 32-bit pkgtool has 2 GiB): each takes about ten times its
// dictionary and two blocks.
constexpr uint64_t kEncoderThreadsMemory = 1ull << 30;

}  // namespace

const char* PackageEncodingName(PackageEncoding encoding)
{
    return encoding == PackageEncoding::Xz ? "xz" : "lzma";
}

bool ParsePackageEncoding(const std::string& name, PackageEncoding* encoding)
{
    for (PackageEncoding e : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        if (name == PackageEncodingName(e)) {
            *encoding = e;
            return true;
        }
    }
    return false;
}

PackageEncoder::PackageEncoder(ByteSink& out, PackageEncoding encoding, int level, uint64_t expectedSize,
                               uint32_t blockSize)
    : out_(out), buffer_(kOutputChunk)
{
    lzma_options_lzma options;
    if (level < 0 || level > 9 || lzma_lzma_preset(&options, static_cast<uint32_t>(level))) {
        Fail("no such compression level");
        return;
    }
    // An .xz block starts with an empty dictionary: one larger than the block would never fill.
    uint64_t largestUseful = expectedSize;  // 0: unknown
    if (encoding == PackageEncoding::Xz && (largestUseful == 0 || largestUseful > blockSize))
        largestUseful = blockSize;
    if (largestUseful > 0) {
        uint64_t needed = kSmallestDictionary;
        while (needed < largestUseful && needed < options.dict_size)
            needed <<= 1;
        if (needed < options.dict_size)
            options.dict_size = static_cast<uint32_t>(needed);
    }
    dictionarySize_ = options.dict_size;
    lzma_ret status = encoding == PackageEncoding::Xz ? StartXz(options, blockSize) : lzma_alone_encoder(&strm_, &options);
    if (status != LZMA_OK) {
        Fail(status == LZMA_MEM_ERROR ? "not enough memory for the LZMA encoder" : "the LZMA encoder refused its options");
        return;
    }
    started_ = true;
}

// One thread per core, as many as fit the memory; the blocks come out in order, the same bytes
// whatever the number of threads.
lzma_ret PackageEncoder::StartXz(lzma_options_lzma& options, uint32_t blockSize)
{
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_mt mt = {};
    mt.threads = std::clamp<uint32_t>(lzma_cputhreads(), 1, kMostEncoderThreads);
    mt.block_size = blockSize;
    mt.timeout = 0;
    mt.filters = filters;
    mt.check = LZMA_CHECK_CRC64;
    while (mt.threads > 1 && lzma_stream_encoder_mt_memusage(&mt) > kEncoderThreadsMemory)
        --mt.threads;
    return lzma_stream_encoder_mt(&strm_, &mt);
}

PackageEncoder::~PackageEncoder() { lzma_end(&strm_); }

bool PackageEncoder::Run(lzma_action action)
{
    for (;;) {
        strm_.next_out = buffer_.data();
        strm_.avail_out = buffer_.size();
        lzma_ret status = lzma_code(&strm_, action);
        size_t produced = buffer_.size() - strm_.avail_out;
        if (produced > 0 && !out_.Put(buffer_.data(), produced))
            return Fail(out_.error());
        if (status == LZMA_STREAM_END)
            return true;
        if (status != LZMA_OK)
            return Fail(status == LZMA_MEM_ERROR ? "not enough memory for the LZMA encoder" : "the LZMA encoder failed");
        if (action == LZMA_RUN && strm_.avail_in == 0)
            return true;
    }
}

bool PackageEncoder::Put(const unsigned char* data, size_t size)
{
    if (!started_ || !error().empty())
        return false;
    strm_.next_in = data;
    strm_.avail_in = size;
    return size == 0 || Run(LZMA_RUN);
}

bool PackageEncoder::Finish()
{
    if (!started_ || !error().empty())
        return false;
    strm_.next_in = nullptr;
    strm_.avail_in = 0;
    bool ok = Run(LZMA_FINISH);
    started_ = false;
    return ok;
}

std::string EncodePackageFile(const std::string& data, PackageEncoding encoding, int level, uint32_t blockSize)
{
    StringSink out;
    PackageEncoder encoder(out, encoding, level, data.size(), blockSize);
    if (!encoder.Put(data) || !encoder.Finish())
        return std::string();
    return out.bytes;
}
