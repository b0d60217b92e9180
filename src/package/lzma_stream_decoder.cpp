// liblzma's decoders between the input they are fed and an output file, through one 64 KiB output
// buffer: the LZMA-alone decoder, or the multi-threaded .xz decoder.
//
// liblzma's statuses become the step's codes like this:
//   LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR (header refused), and an .xz stream
//   without a check or with one liblzma cannot verify                -> 4, properties
//   LZMA_MEM_ERROR, LZMA_MEMLIMIT_ERROR (no room for the decoder)     -> 2, memory
//   LZMA_DATA_ERROR, LZMA_BUF_ERROR and anything unexpected          -> 1, data
// A pass that neither consumes nor produces anything before the stream is complete is code 1.
#include "package/lzma_stream_decoder.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr unsigned kMaxProperties = 224;  // (pb 4 * 5 + lp 4) * 9 + lc 8
constexpr uint32_t kOutputSize = 65536;
constexpr uint64_t kUnknownSize = UINT64_MAX;
constexpr uint8_t kXzMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
static_assert(sizeof kXzMagic < kLzmaHeaderSize, "the encoding is told before the header is complete");

int CodeForStatus(lzma_ret status)
{
    switch (status) {
    case LZMA_FORMAT_ERROR:
    case LZMA_OPTIONS_ERROR:
    case LZMA_NO_CHECK:
    case LZMA_UNSUPPORTED_CHECK:
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

// Every block is checked (a stream without a check, or with one liblzma cannot verify, is
// refused), and a thread that meets damaged data stops the whole decoding at once rather than
// after the blocks before it have been written. liblzma's threads are its own: they run only its
// C code, which this build compiles without SSE, so the 4-byte stack alignment that a new thread
// starts with on 32-bit Windows does them no harm.
lzma_ret StartXzDecoder(lzma_stream* strm, uint64_t memory)
{
    lzma_mt options = {};
    options.flags = LZMA_TELL_NO_CHECK | LZMA_TELL_UNSUPPORTED_CHECK | LZMA_FAIL_FAST;
    options.threads = XzDecoderThreads();
    options.timeout = 0;  // lzma_code waits for the threads rather than return without progress
    options.memlimit_threading = std::min(kXzThreadsMemory, memory);
    options.memlimit_stop = memory;
    return lzma_stream_decoder_mt(strm, &options);
}

}  // namespace

struct LzmaStreamDecoder::State {
    lzma_stream strm = LZMA_STREAM_INIT;
    bool xz = false;
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

uint32_t XzDecoderThreads()
{
    return std::clamp<uint32_t>(lzma_cputhreads(), 1, kMostXzThreads);
}

LzmaStreamDecoder::LzmaStreamDecoder(const LzmaLimits& limits) : limits_(limits) {}
LzmaStreamDecoder::~LzmaStreamDecoder() = default;

bool LzmaStreamDecoder::Open(const char* outputPath)
{
    output_.reset(CreateOutputFile(outputPath));
    return static_cast<bool>(output_);
}

bool LzmaStreamDecoder::complete() const { return state_ && state_->complete; }

// The first 13 bytes are in: they tell the encoding, and the decoder takes them itself. An
// LZMA-alone decoder sets up its dictionary from its header (a dictionary below 4 KiB becomes
// 4 KiB; a known size makes it stop there, with or without an end marker); an .xz decoder sets up
// each block's as the block comes.
int LzmaStreamDecoder::Start()
{
    const bool xz = memcmp(header_, kXzMagic, sizeof kXzMagic) == 0;
    if (!xz && header_[0] > kMaxProperties)
        return kLzmaBadProperties;
    state_.reset(new (std::nothrow) State);
    if (!state_)
        return kLzmaNoMemory;
    State& s = *state_;
    s.strm.allocator = &kDecoderAllocator;
    s.xz = xz;
    lzma_ret status = LZMA_OK;
    if (xz) {
        status = StartXzDecoder(&s.strm, limits_.memory);
    } else {
        uint64_t size = 0;
        for (int i = 0; i < 8; ++i)
            size |= static_cast<uint64_t>(header_[5 + i]) << (8 * i);
        s.sizeKnown = size != kUnknownSize;
        s.remaining = size;
        if (s.sizeKnown && size > limits_.output)
            return kLzmaOutputLimit;  // known before the dictionary is set aside
        status = lzma_alone_decoder(&s.strm, limits_.memory);
    }
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

// Runs the decoder over the input it holds, and on while it fills the output buffer (the .xz
// decoder's threads may have more ready than one buffer takes); with `inputEnded`, until the
// stream is complete or the decoder makes no more progress.
int LzmaStreamDecoder::Decode(bool inputEnded)
{
    State& s = *state_;
    // Told that the input has ended, the .xz decoder waits for its threads' output; a pass without
    // input would otherwise give only what is ready.
    const lzma_action action = inputEnded && s.xz ? LZMA_FINISH : LZMA_RUN;
    bool filled = false;
    while (!s.complete && (s.strm.avail_in > 0 || inputEnded || filled)) {
        uint32_t room = kOutputSize;
        if (s.sizeKnown && s.remaining < room)
            room = static_cast<uint32_t>(s.remaining);
        const size_t inputBefore = s.strm.avail_in;
        s.strm.next_out = s.out;
        s.strm.avail_out = room;
        const lzma_ret status = lzma_code(&s.strm, action);
        const uint32_t produced = room - static_cast<uint32_t>(s.strm.avail_out);
        filled = produced == room;
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
