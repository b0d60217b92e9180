// liblzma's LZMA-alone decoder between the input it is fed and an output file, through one
// 64 KiB output buffer.
//
// liblzma's statuses become the step's codes like this:
//   LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR (header refused)       -> 4, properties
//   LZMA_MEM_ERROR, LZMA_MEMLIMIT_ERROR (no room for the decoder)  -> 2, memory
//   LZMA_DATA_ERROR, LZMA_BUF_ERROR and anything unexpected       -> 1, data
// A pass that neither consumes nor produces anything before the stream is complete is code 1.
#include "package/lzma_stream_decoder.h"

#include <lzma.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr unsigned kMaxProperties = 224;  // (pb 4 * 5 + lp 4) * 9 + lc 8
constexpr uint32_t kOutputSize = 65536;
constexpr uint64_t kUnknownSize = UINT64_MAX;

int CodeForStatus(lzma_ret status)
{
    switch (status) {
    case LZMA_FORMAT_ERROR:
    case LZMA_OPTIONS_ERROR:
        return kLzmaBadProperties;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
        return kLzmaNoMemory;
    default:
        return kLzmaDataError;
    }
}

// The decoder's memory (its dictionary above all, as large as the header asks) comes through
// the file door, where tests can make it run out.
void* AllocateForDecoder(void*, size_t count, size_t size)
{
    if (size != 0 && count > SIZE_MAX / size)
        return nullptr;
    return AllocateMemory(count * size);
}

void FreeForDecoder(void*, void* address) { free(address); }

const lzma_allocator kDecoderAllocator = {AllocateForDecoder, FreeForDecoder, nullptr};

}  // namespace

struct LzmaStreamDecoder::State {
    lzma_stream strm = LZMA_STREAM_INIT;
    bool complete = false;  // the stream (or its known size) is decoded in full
    bool sizeKnown = false;
    uint64_t remaining = 0;
    uint8_t out[kOutputSize];
    ~State() { lzma_end(&strm); }
};

uint64_t LzmaDecoderMemory(uint32_t dictionary)
{
    lzma_options_lzma options = {};
    options.dict_size = dictionary;
    options.lc = LZMA_LC_DEFAULT;
    options.lp = LZMA_LP_DEFAULT;
    options.pb = LZMA_PB_DEFAULT;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    return lzma_raw_decoder_memusage(filters);
}

LzmaStreamDecoder::LzmaStreamDecoder(const LzmaLimits& limits) : limits_(limits) {}
LzmaStreamDecoder::~LzmaStreamDecoder() = default;

bool LzmaStreamDecoder::Open(const char* outputPath)
{
    output_.reset(CreateOutputFile(outputPath));
    return static_cast<bool>(output_);
}

bool LzmaStreamDecoder::complete() const { return state_ && state_->complete; }

// The header is complete: the decoder takes it itself and sets up its dictionary from it (a
// dictionary below 4 KiB becomes 4 KiB; a known size makes it stop there, with or without an end
// marker).
int LzmaStreamDecoder::Start()
{
    if (header_[0] > kMaxProperties)
        return kLzmaBadProperties;
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i)
        size |= static_cast<uint64_t>(header_[5 + i]) << (8 * i);
    state_.reset(new (std::nothrow) State);
    if (!state_)
        return kLzmaNoMemory;
    State& s = *state_;
    s.strm.allocator = &kDecoderAllocator;
    s.sizeKnown = size != kUnknownSize;
    s.remaining = size;
    if (s.sizeKnown && size > limits_.output)
        return kLzmaOutputLimit;  // known before the dictionary is set aside
    lzma_ret status = lzma_alone_decoder(&s.strm, limits_.memory);
    if (status != LZMA_OK)
        return CodeForStatus(status);
    s.strm.next_in = header_;
    s.strm.avail_in = kLzmaHeaderSize;
    s.strm.next_out = s.out;
    s.strm.avail_out = kOutputSize;
    status = lzma_code(&s.strm, LZMA_RUN);
    if (status != LZMA_OK)
        return CodeForStatus(status);
    s.strm.avail_in = 0;
    s.complete = s.sizeKnown && s.remaining == 0;
    return kLzmaSuccess;
}

// Runs the decoder over the input it holds; with `inputEnded`, until the stream is complete or
// the decoder makes no more progress.
int LzmaStreamDecoder::Decode(bool inputEnded)
{
    State& s = *state_;
    while (!s.complete && (s.strm.avail_in > 0 || inputEnded)) {
        uint32_t room = kOutputSize;
        if (s.sizeKnown && s.remaining < room)
            room = static_cast<uint32_t>(s.remaining);
        const size_t inputBefore = s.strm.avail_in;
        s.strm.next_out = s.out;
        s.strm.avail_out = room;
        const lzma_ret status = lzma_code(&s.strm, LZMA_RUN);
        const uint32_t produced = room - static_cast<uint32_t>(s.strm.avail_out);
        if (produced > limits_.output - produced_)
            return kLzmaOutputLimit;
        produced_ += produced;
        uint32_t written = 0;
        if (produced > 0 && (!WriteToFile(output_.get(), s.out, produced, &written) || written != produced))
            return kLzmaWriteError;
        if (s.sizeKnown)
            s.remaining -= produced;
        if (status == LZMA_STREAM_END) {
            s.complete = !s.sizeKnown || s.remaining == 0;
            return s.complete ? kLzmaSuccess : kLzmaDataError;
        }
        if (status != LZMA_OK)
            return CodeForStatus(status);
        if (s.sizeKnown && s.remaining == 0)
            s.complete = true;
        else if (s.strm.avail_in == inputBefore && produced == 0)
            // No progress: more input may help, unless it has ended (the stream is cut).
            return inputEnded || s.strm.avail_in > 0 ? kLzmaDataError : kLzmaSuccess;
    }
    return kLzmaSuccess;
}

bool LzmaStreamDecoder::Feed(const uint8_t* data, size_t size)
{
    if (code_ != kLzmaSuccess)
        return false;
    if (!state_) {
        const size_t take = size < kLzmaHeaderSize - headerHave_ ? size : kLzmaHeaderSize - headerHave_;
        memcpy(header_ + headerHave_, data, take);
        headerHave_ += take;
        data += take;
        size -= take;
        if (headerHave_ < kLzmaHeaderSize)
            return true;
        code_ = Start();
        if (code_ != kLzmaSuccess)
            return false;
    }
    if (state_->complete)
        return true;  // bytes after the stream: ignored
    state_->strm.next_in = data;
    state_->strm.avail_in = size;
    code_ = Decode(false);
    state_->strm.avail_in = 0;  // Decode takes everything or fails
    return code_ == kLzmaSuccess;
}

bool LzmaStreamDecoder::Finish()
{
    if (code_ == kLzmaSuccess && !state_)
        code_ = kLzmaShortHeader;
    if (code_ == kLzmaSuccess && !state_->complete)
        code_ = Decode(true);
    output_.reset();
    return code_ == kLzmaSuccess;
}
