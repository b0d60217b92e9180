#pragma once
// The LZMA-alone decoder fed from memory: the bytes of a package in order, in pieces of any size,
// as they arrive from the network or from a file. Both the file step (DecodeLzmaFile) and the
// decoding during a download run on it, so the two decode alike by construction: the same liblzma
// decoder, the same header rules, the same stop at a known size with later bytes ignored. It
// reports the step's result codes; the texts are the file step's.
#include "common/file_system.h"

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t kLzmaHeaderSize = 13;

// The step's result codes.
enum LzmaCode {
    kLzmaSuccess = 0,
    kLzmaDataError = 1,
    kLzmaNoMemory = 2,
    kLzmaBadProperties = 4,
    kLzmaShortHeader = 6,
    kLzmaReadError = 8,
    kLzmaWriteError = 9,
    kLzmaOutputLimit = 10,  // more output than LzmaLimits::output allows
};

// Bounds for decoding input that nothing vouches for yet: a package decoded while it downloads,
// before its hash is known, could be a decompression bomb of exactly the pinned size, or a header
// that asks for a dictionary the size of a 32-bit address space. Past the memory bound the
// decoding fails with kLzmaNoMemory before anything is allocated; past the output bound it fails
// with kLzmaOutputLimit, having written no more than the bound.
struct LzmaLimits {
    uint64_t memory = UINT64_MAX;  // for the decoder: its dictionary and its tables
    uint64_t output = UINT64_MAX;  // bytes of output
};

// The largest dictionary pkgtool gives a package (--level 9; tools/packing keeps to it).
constexpr uint32_t kLargestPackageDictionary = 64u << 20;

// The memory liblzma's LZMA-alone decoder takes with a dictionary of `dictionary` bytes.
uint64_t LzmaDecoderMemory(uint32_t dictionary);

class LzmaStreamDecoder {
public:
    explicit LzmaStreamDecoder(const LzmaLimits& limits = LzmaLimits());
    ~LzmaStreamDecoder();  // closes the output file (never deletes it)
    LzmaStreamDecoder(const LzmaStreamDecoder&) = delete;
    LzmaStreamDecoder& operator=(const LzmaStreamDecoder&) = delete;

    // Creates or replaces `outputPath` and writes the output there. False when it cannot be
    // created.
    bool Open(const char* outputPath);
    // Writes the output to `output` instead, a file the caller has created (and checked); the
    // decoder closes it.
    void Adopt(OsFile output) { output_.reset(output); }

    // Decodes the next `size` bytes of the input. False once decoding has failed (code() says
    // why); bytes after the end of the stream are taken and ignored.
    bool Feed(const uint8_t* data, size_t size);
    // True once the whole stream (or its known size) is decoded: nothing more need be fed.
    bool complete() const;
    // The input has ended: true when the output holds the complete decoded data. Closes the output
    // file.
    bool Finish();
    // kLzmaSuccess, or the code of the failure.
    int code() const { return code_; }

private:
    struct State;
    int Start();
    int Decode(bool inputEnded);

    const LzmaLimits limits_;
    uint64_t produced_ = 0;  // bytes of output so far
    uint8_t header_[kLzmaHeaderSize] = {};
    size_t headerHave_ = 0;
    UniqueOsFile output_;
    int code_ = kLzmaSuccess;
    std::unique_ptr<State> state_;  // from the complete header on
};
