#pragma once
// Decoding of one LZMA-alone file (13-byte header + LZMA1 stream) into its decompressed file.
#include <cstddef>

// Size of the text buffer that collects the step's error texts.
constexpr size_t kLzmaMessageSize = 800;
// The input path and the output path together may hold at most this many bytes.
constexpr size_t kLzmaPathLimit = 1016;

// Decodes `inputPath` into `outputPath` (created or replaced) and writes the step's text (empty
// after a success) to standard output. 0 when the output holds the complete decoded data, 1 on
// every failure. The output is never deleted: after a failure it holds what was decoded so far.
int DecodeLzmaFile(const char* inputPath, const char* outputPath);

// The same without standard output: the text goes to `message` (kLzmaMessageSize bytes), which
// is cleared first.
int DecodeLzmaFile(const char* inputPath, const char* outputPath, char* message);

// As DecodeLzmaFile(inputPath, outputPath), and `*machineFault` tells whether a failure was this
// machine's rather than the data's: the decoder's memory missing, an input that cannot be opened
// or read, or an output that took fewer bytes than decoded (a full disk). Damaged or cut data, a
// refused header or an output that cannot be created leave it false.
int DecodeLzmaFile(const char* inputPath, const char* outputPath, bool* machineFault);
