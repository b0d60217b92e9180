#pragma once
// The LZMA-alone step fed from memory instead of from a file: the bytes of a package as they
// arrive, in order, in pieces of any size. It decodes exactly as DecodeLzmaFile does (the same
// liblzma decoder, the same header rules, the same stop at a known size with later bytes ignored)
// into the same kind of output file, so that a clean finish leaves the output DecodeLzmaFile would
// have written from the whole file. It reports no texts: a caller that sees anything but a clean
// finish runs DecodeLzmaFile itself.
#include <cstddef>
#include <cstdint>
#include <memory>

class LzmaStreamDecoder {
public:
    LzmaStreamDecoder();
    ~LzmaStreamDecoder();  // closes the output file (never deletes it)
    LzmaStreamDecoder(const LzmaStreamDecoder&) = delete;
    LzmaStreamDecoder& operator=(const LzmaStreamDecoder&) = delete;

    // Creates or replaces `outputPath`. False when it cannot be created.
    bool Open(const char* outputPath);
    // Decodes the next `size` bytes of the input. False once decoding has failed (damaged data, no
    // memory for the dictionary, a failed write); bytes after the end of the stream are taken and
    // ignored.
    bool Feed(const uint8_t* data, size_t size);
    // The input has ended: true when the output holds the complete decoded data. Closes the output.
    bool Finish();

private:
    struct State;
    bool Start();
    bool Decode(bool inputEnded);

    std::unique_ptr<State> state_;
};
