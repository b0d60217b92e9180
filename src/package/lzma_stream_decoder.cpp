#include "package/lzma_stream_decoder.h"

#include "common/file_system.h"

#include <lzma.h>

#include <cstring>
#include <new>

namespace {
constexpr size_t kHeaderSize = 13;
constexpr unsigned kMaxProperties = 224;  // (pb 4 * 5 + lp 4) * 9 + lc 8
constexpr uint32_t kOutputSize = 65536;
constexpr uint64_t kUnknownSize = UINT64_MAX;
}  // namespace

struct LzmaStreamDecoder::State {
    lzma_stream strm = LZMA_STREAM_INIT;
    UniqueOsFile output;
    uint8_t header[kHeaderSize] = {};
    size_t headerHave = 0;
    bool started = false;
    bool failed = false;
    bool complete = false;  // the stream (or its known size) is decoded in full
    bool sizeKnown = false;
    uint64_t remaining = 0;
    uint8_t out[kOutputSize];
    ~State() { lzma_end(&strm); }
};

LzmaStreamDecoder::LzmaStreamDecoder() = default;
LzmaStreamDecoder::~LzmaStreamDecoder() = default;

bool LzmaStreamDecoder::Open(const char* outputPath)
{
    state_.reset(new (std::nothrow) State);
    if (!state_)
        return false;
    state_->output.reset(CreateOutputFile(outputPath));
    if (!state_->output) {
        state_.reset();
        return false;
    }
    return true;
}

// The header is complete: the decoder is set up from it, as DecodeLzmaFile does.
bool LzmaStreamDecoder::Start()
{
    State& s = *state_;
    s.started = true;
    if (s.header[0] > kMaxProperties)
        return false;
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i)
        size |= static_cast<uint64_t>(s.header[5 + i]) << (8 * i);
    s.sizeKnown = size != kUnknownSize;
    s.remaining = size;
    if (lzma_alone_decoder(&s.strm, UINT64_MAX) != LZMA_OK)
        return false;
    s.strm.next_in = s.header;
    s.strm.avail_in = kHeaderSize;
    s.strm.next_out = s.out;
    s.strm.avail_out = kOutputSize;
    if (lzma_code(&s.strm, LZMA_RUN) != LZMA_OK)
        return false;
    s.strm.avail_in = 0;
    s.complete = s.sizeKnown && s.remaining == 0;
    return true;
}

// Runs the decoder over the input it holds; with `inputEnded`, until it makes no more progress.
bool LzmaStreamDecoder::Decode(bool inputEnded)
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
        uint32_t written = 0;
        if (produced > 0 && (!WriteToFile(s.output.get(), s.out, produced, &written) || written != produced))
            return false;
        if (s.sizeKnown)
            s.remaining -= produced;
        if (status == LZMA_STREAM_END) {
            s.complete = !s.sizeKnown || s.remaining == 0;
            return s.complete;
        }
        if (status != LZMA_OK)
            return false;
        if (s.sizeKnown && s.remaining == 0)
            s.complete = true;
        else if (s.strm.avail_in == inputBefore && produced == 0)
            return !inputEnded;  // needs more input; at the end of the input, the stream is cut
    }
    return true;
}

bool LzmaStreamDecoder::Feed(const uint8_t* data, size_t size)
{
    if (!state_ || state_->failed)
        return false;
    State& s = *state_;
    if (s.complete)
        return true;  // bytes after the stream: ignored
    if (!s.started) {
        const size_t take = size < kHeaderSize - s.headerHave ? size : kHeaderSize - s.headerHave;
        memcpy(s.header + s.headerHave, data, take);
        s.headerHave += take;
        data += take;
        size -= take;
        if (s.headerHave < kHeaderSize)
            return true;
        if (!Start()) {
            s.failed = true;
            return false;
        }
    }
    s.strm.next_in = data;
    s.strm.avail_in = size;
    if (!Decode(false))
        s.failed = true;
    s.strm.avail_in = 0;  // Decode takes everything or fails
    return !s.failed;
}

bool LzmaStreamDecoder::Finish()
{
    if (!state_)
        return false;
    State& s = *state_;
    const bool good = !s.failed && s.started && (s.complete || Decode(true)) && s.complete;
    s.output.reset();
    return good;
}
