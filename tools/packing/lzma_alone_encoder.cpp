#include "packing/lzma_alone_encoder.h"

namespace {

constexpr size_t kOutputChunk = 1 << 20;
constexpr uint32_t kSmallestDictionary = 4096;

}  // namespace

LzmaAloneEncoder::LzmaAloneEncoder(ByteSink& out, int level, uint64_t expectedSize)
    : out_(out), buffer_(kOutputChunk)
{
    lzma_options_lzma options;
    if (level < 0 || level > 9 || lzma_lzma_preset(&options, static_cast<uint32_t>(level))) {
        Fail("no such compression level");
        return;
    }
    if (expectedSize > 0) {
        uint64_t needed = kSmallestDictionary;
        while (needed < expectedSize && needed < options.dict_size)
            needed <<= 1;
        if (needed < options.dict_size)
            options.dict_size = static_cast<uint32_t>(needed);
    }
    dictionarySize_ = options.dict_size;
    lzma_ret status = lzma_alone_encoder(&strm_, &options);
    if (status != LZMA_OK) {
        Fail(status == LZMA_MEM_ERROR ? "not enough memory for the LZMA encoder" : "the LZMA encoder refused its options");
        return;
    }
    started_ = true;
}

LzmaAloneEncoder::~LzmaAloneEncoder() { lzma_end(&strm_); }

bool LzmaAloneEncoder::Run(lzma_action action)
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

bool LzmaAloneEncoder::Put(const unsigned char* data, size_t size)
{
    if (!started_ || !error().empty())
        return false;
    strm_.next_in = data;
    strm_.avail_in = size;
    return size == 0 || Run(LZMA_RUN);
}

bool LzmaAloneEncoder::Finish()
{
    if (!started_ || !error().empty())
        return false;
    strm_.next_in = nullptr;
    strm_.avail_in = 0;
    bool ok = Run(LZMA_FINISH);
    started_ = false;
    return ok;
}

std::string EncodeLzmaAloneFile(const std::string& data, int level)
{
    StringSink out;
    LzmaAloneEncoder encoder(out, level, data.size());
    if (!encoder.Put(data) || !encoder.Finish())
        return std::string();
    return out.bytes;
}
