#pragma once
// LZMA-alone encoding (13-byte header + LZMA1 stream) through liblzma's encoder: the outer layer
// of a package and the nested ".7z" files. The header declares an unknown size and the stream
// ends with the end-of-stream marker.
#include "packing/byte_sink.h"

#include <lzma.h>

#include <cstdint>
#include <vector>

class LzmaAloneEncoder final : public ByteSink {
public:
    // `level`: liblzma's preset, 0..9. `expectedSize`: how much input will come (0: unknown);
    // the dictionary is kept no larger than the input needs, so the installer allocates no more.
    LzmaAloneEncoder(ByteSink& out, int level, uint64_t expectedSize);
    ~LzmaAloneEncoder() override;
    LzmaAloneEncoder(const LzmaAloneEncoder&) = delete;
    LzmaAloneEncoder& operator=(const LzmaAloneEncoder&) = delete;

    bool Put(const unsigned char* data, size_t size) override;
    using ByteSink::Put;
    // Ends the stream; the encoder takes nothing after it.
    bool Finish();

    // The dictionary size the header declares.
    uint32_t dictionarySize() const { return dictionarySize_; }

private:
    bool Run(lzma_action action);

    ByteSink& out_;
    lzma_stream strm_ = LZMA_STREAM_INIT;
    std::vector<unsigned char> buffer_;
    uint32_t dictionarySize_ = 0;
    bool started_ = false;
};

// A whole LZMA-alone file for `data` (nested files, samples, tests).
std::string EncodeLzmaAloneFile(const std::string& data, int level);
