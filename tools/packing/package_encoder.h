#pragma once
// The outer layer of a package, and of its nested ".7z" files, in either encoding the installer
// reads (it tells them apart by their first bytes):
//   - LZMA-alone: a 13-byte header declaring an unknown size, one LZMA1 stream ending with the
//     end-of-stream marker. Every installer reads it; one stream is decoded on one core.
//   - .xz: independent blocks of kXzBlockSize bytes, each with its CRC64, made on every core by
//     liblzma's multi-threaded encoder. Installers with the .xz decoder decode the blocks on all
//     their cores; installers built before it read only LZMA-alone.
// The same input, level and encoding give the same bytes on every machine, whatever its cores.
#include "packing/byte_sink.h"

#include <lzma.h>

#include <cstdint>
#include <string>
#include <vector>

enum class PackageEncoding {
    LzmaAlone,
    Xz,
};

// "lzma" and "xz", the names pkgtool takes and prints.
const char* PackageEncodingName(PackageEncoding encoding);
bool ParsePackageEncoding(const std::string& name, PackageEncoding* encoding);

// A few MiB: enough blocks for every core from the smallest game, at a small cost in compression
// (each block starts with an empty dictionary), and the installer's threads each hold one
// block's input and output whole.
constexpr uint32_t kXzBlockSize = 4u << 20;

class PackageEncoder final : public ByteSink {
public:
    // `level`: liblzma's preset, 0..9. `expectedSize`: how much input will come (0: unknown); the
    // dictionary is kept no larger than the input (and an .xz block) needs, so the installer
    // allocates no more. `blockSize`: of .xz blocks (tests make small packages of many).
    PackageEncoder(ByteSink& out, PackageEncoding encoding, int level, uint64_t expectedSize,
                   uint32_t blockSize = kXzBlockSize);
    ~PackageEncoder() override;
    PackageEncoder(const PackageEncoder&) = delete;
    PackageEncoder& operator=(const PackageEncoder&) = delete;

    bool Put(const unsigned char* data, size_t size) override;
    using ByteSink::Put;
    // Ends the stream; the encoder takes nothing after it.
    bool Finish();

    // The dictionary size the stream declares (per block for .xz).
    uint32_t dictionarySize() const { return dictionarySize_; }

private:
    lzma_ret StartXz(lzma_options_lzma& options, uint32_t blockSize);
    bool Run(lzma_action action);

    ByteSink& out_;
    lzma_stream strm_ = LZMA_STREAM_INIT;
    std::vector<unsigned char> buffer_;
    uint32_t dictionarySize_ = 0;
    bool started_ = false;
};

// A whole file for `data` (nested files, samples, tests).
std::string EncodePackageFile(const std::string& data, PackageEncoding encoding, int level,
                              uint32_t blockSize = kXzBlockSize);
