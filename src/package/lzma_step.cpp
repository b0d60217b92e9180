// The LZMA-alone step: liblzma's LZMA-alone decoder between two files, streamed through two
// 64 KiB buffers, with the step's own result codes and texts.
//
// liblzma's statuses become the step's codes like this:
//   LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR (header refused)       -> 4, properties
//   LZMA_MEM_ERROR, LZMA_MEMLIMIT_ERROR (no room for the decoder)  -> 2, memory
//   LZMA_DATA_ERROR, LZMA_BUF_ERROR and anything unexpected       -> 1, data
// A pass that neither consumes nor produces anything before the stream is complete is code 1.
#include "package/lzma_step.h"

#include "common/file_system.h"
#include "common/fixed_string.h"

#include <lzma.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

enum LzmaStepCode {
    kCodeSuccess = 0,
    kCodeDataError = 1,
    kCodeNoMemory = 2,
    kCodeBadProperties = 4,
    kCodeShortHeader = 6,
    kCodeReadError = 8,
    kCodeWriteError = 9,
};

constexpr size_t kHeaderSize = 13;
constexpr unsigned kMaxProperties = 224;  // (pb 4 * 5 + lp 4) * 9 + lc 8
constexpr uint32_t kBufferSize = 65536;
constexpr uint64_t kUnknownSize = UINT64_MAX;

struct StepBuffers {
    uint8_t input[kBufferSize];
    uint8_t output[kBufferSize];
};

struct LzmaStream {
    lzma_stream strm = LZMA_STREAM_INIT;
    LzmaStream() = default;
    LzmaStream(const LzmaStream&) = delete;
    LzmaStream& operator=(const LzmaStream&) = delete;
    ~LzmaStream() { lzma_end(&strm); }
};

int CodeForStatus(lzma_ret status)
{
    switch (status) {
    case LZMA_FORMAT_ERROR:
    case LZMA_OPTIONS_ERROR:
        return kCodeBadProperties;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
        return kCodeNoMemory;
    default:
        return kCodeDataError;
    }
}

// Reads the header, repeating short reads until it is complete.
int ReadHeader(OsFile input, uint8_t header[kHeaderSize])
{
    uint32_t have = 0;
    while (have < kHeaderSize) {
        uint32_t got = 0;
        if (!ReadFromFile(input, header + have, static_cast<uint32_t>(kHeaderSize - have), &got))
            return kCodeReadError;
        if (got == 0)
            return kCodeShortHeader;
        have += got;
    }
    return kCodeSuccess;
}

bool WriteAll(OsFile output, const uint8_t* data, uint32_t size)
{
    uint32_t written = 0;
    return WriteToFile(output, data, size, &written) && written == size;
}

int DecodeStreams(OsFile input, OsFile output)
{
    uint8_t header[kHeaderSize];
    int code = ReadHeader(input, header);
    if (code != kCodeSuccess)
        return code;
    if (header[0] > kMaxProperties)
        return kCodeBadProperties;
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i)
        size |= static_cast<uint64_t>(header[5 + i]) << (8 * i);
    const bool sizeKnown = size != kUnknownSize;

    std::unique_ptr<StepBuffers> buffers(new (std::nothrow) StepBuffers);
    if (!buffers)
        return kCodeNoMemory;

    // The decoder takes the header itself and sets up its dictionary from it (a dictionary below
    // 4 KiB becomes 4 KiB; a known size makes it stop there, with or without an end marker).
    LzmaStream lzma;
    lzma_stream& strm = lzma.strm;
    lzma_ret status = lzma_alone_decoder(&strm, UINT64_MAX);
    if (status != LZMA_OK)
        return CodeForStatus(status);
    strm.next_in = header;
    strm.avail_in = kHeaderSize;
    strm.next_out = buffers->output;
    strm.avail_out = kBufferSize;
    status = lzma_code(&strm, LZMA_RUN);
    if (status != LZMA_OK)
        return CodeForStatus(status);
    strm.avail_in = 0;

    uint64_t remaining = size;
    for (;;) {
        if (sizeKnown && remaining == 0)
            return kCodeSuccess;

        if (strm.avail_in == 0) {
            uint32_t got = 0;
            if (!ReadFromFile(input, buffers->input, kBufferSize, &got))
                return kCodeReadError;
            strm.next_in = buffers->input;
            strm.avail_in = got;
        }

        uint32_t room = kBufferSize;
        if (sizeKnown && remaining < room)
            room = static_cast<uint32_t>(remaining);
        size_t inputBefore = strm.avail_in;
        strm.next_out = buffers->output;
        strm.avail_out = room;
        status = lzma_code(&strm, LZMA_RUN);
        uint32_t produced = room - static_cast<uint32_t>(strm.avail_out);
        bool consumed = strm.avail_in != inputBefore;

        if (produced > 0 && !WriteAll(output, buffers->output, produced))
            return kCodeWriteError;
        if (sizeKnown)
            remaining -= produced;

        if (status == LZMA_STREAM_END)
            return sizeKnown && remaining != 0 ? kCodeDataError : kCodeSuccess;
        if (status != LZMA_OK)
            return CodeForStatus(status);
        if (!consumed && produced == 0)
            return kCodeDataError;  // the input ended before the stream did
    }
}

void AppendError(char* message, const char* text)
{
    AppendString(message, kLzmaMessageSize, "\nError: ");
    AppendString(message, kLzmaMessageSize, text);
    AppendString(message, kLzmaMessageSize, "\n");
}

void AppendCodeText(char* message, int code)
{
    switch (code) {
    case kCodeSuccess:
        break;
    case kCodeDataError:
        AppendError(message, "Data error");
        break;
    case kCodeNoMemory:
        AppendError(message, "Can not allocate memory");
        break;
    case kCodeReadError:
        AppendError(message, "Can not read input file");
        break;
    case kCodeWriteError:
        AppendError(message, "Can not write output file");
        break;
    default: {
        char text[32];
        FormatString(text, "\nError code: %x\n", static_cast<unsigned>(code));
        AppendString(message, kLzmaMessageSize, text);
        break;
    }
    }
}

// The step itself; `*code` receives its result code (kCodeSuccess when it got that far).
int DecodeStep(const char* inputPath, const char* outputPath, char* message, int* code)
{
    memset(message, 0, kLzmaMessageSize);
    *code = kCodeSuccess;

    // The step was built around a 1,024-byte argument buffer; longer paths are refused before any
    // file is touched.
    if (!inputPath || !outputPath) {
        AppendError(message, "Can not open input file");
        return 1;
    }
    if (strlen(inputPath) + strlen(outputPath) > kLzmaPathLimit) {
        AppendError(message, "Path too long");
        return 1;
    }

    UniqueOsFile input(OpenInputFile(inputPath));
    if (!input) {
        AppendError(message, "Can not open input file");
        return 1;
    }
    UniqueOsFile output(CreateOutputFile(outputPath));
    if (!output) {
        AppendError(message, "Can not open output file");
        return 1;
    }

    *code = DecodeStreams(input.get(), output.get());
    output.reset();
    input.reset();

    AppendCodeText(message, *code);
    return *code == kCodeSuccess ? 0 : 1;
}

}  // namespace

int DecodeLzmaFile(const char* inputPath, const char* outputPath, char* message)
{
    int code = kCodeSuccess;
    return DecodeStep(inputPath, outputPath, message, &code);
}

int DecodeLzmaFile(const char* inputPath, const char* outputPath, bool* outputShort)
{
    char message[kLzmaMessageSize];
    int code = kCodeSuccess;
    int result = DecodeStep(inputPath, outputPath, message, &code);
    fputs(message, stdout);
    fflush(stdout);
    *outputShort = code == kCodeWriteError;
    return result;
}

int DecodeLzmaFile(const char* inputPath, const char* outputPath)
{
    bool outputShort = false;
    return DecodeLzmaFile(inputPath, outputPath, &outputShort);
}
