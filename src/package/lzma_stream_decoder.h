#pragma once
// The package decoder fed from memory: the bytes of a package in order, in pieces of any size,
// as they arrive from the network or from a file. Both the file step (DecodeLzmaFile) and the
// decoding during a download run on it, so the two decode alike by construction: the same liblzma
// decoder, the same header rules, the same stop at the end with later bytes ignored. It reports
// the step's result codes; the texts are the file step's.
//
// A package comes in one of two encodings, told apart by its first bytes:
//   - LZMA-alone: a 13-byte header and one LZMA1 stream, which no decoder can split, decoded on
//     the calling thread;
//   - .xz (its magic FD 37 7A 58 5A 00, which no LZMA-alone header can begin with: the
//     properties byte is at most 224): independent blocks, each with its check, which liblzma
//     decodes on threads of its own (XzDecoderThreads) while the calling thread hands the input
//     over and writes the output in order. The stream ends where its index and footer say.
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
    // For the decoder: its dictionary and its tables; for an .xz stream also everything its
    // threads hold together (liblzma keeps the threads' sum within the bound one decoder keeps).
    uint64_t memory = UINT64_MAX;
    uint64_t output = UINT64_MAX;  // bytes of output
};

// The largest dictionary pkgtool gives a package (--level 9; tools/packing keeps to it).
constexpr uint32_t kLargestPackageDictionary = 64u << 20;

// The memory liblzma's LZMA-alone decoder takes with a dictionary of `dictionary` bytes.
uint64_t LzmaDecoderMemory(uint32_t dictionary);

// The .xz decoder's threads together take at most this much for their blocks (each thread holds
// a block's input and its output whole) and their dictionaries. pkgtool's blocks (4 MiB, with a
// dictionary of at most 4 MiB) take about 12 MiB a thread, so eight threads fit; a block that
// needs more than is left waits for a thread to finish, one that needs more than this alone is
// decoded on the calling thread. A 32-bit process keeps well over 1 GiB for everything else.
constexpr uint64_t kXzThreadsMemory = 128ull << 20;
constexpr uint32_t kMostXzThreads = 8;
// Threads for decoding an .xz stream: the processor count, from 1 to kMostXzThreads.
uint32_t XzDecoderThreads();

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
