// The LZMA-alone step: an LZMA-alone file through the stream decoder into another file, read in
// 64 KiB blocks, with the step's own result codes (lzma_stream_decoder.h) and texts.
#include "package/lzma_step.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "package/lzma_stream_decoder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>

namespace {

constexpr uint32_t kBufferSize = 65536;

// Feeds the whole input to `decoder` in blocks, stopping once the stream (or its known size) is
// complete; a file too short for the header comes out as kLzmaShortHeader from Finish.
int DecodeStreams(OsFile input, LzmaStreamDecoder& decoder)
{
    std::unique_ptr<uint8_t, void (*)(void*)> block(static_cast<uint8_t*>(AllocateMemory(kBufferSize)), free);
    if (!block)
        return kLzmaNoMemory;
    while (!decoder.complete()) {
        uint32_t got = 0;
        if (!ReadFromFile(input, block.get(), kBufferSize, &got))
            return kLzmaReadError;
        if (got == 0)
            break;
        if (!decoder.Feed(block.get(), got))
            return decoder.code();
    }
    decoder.Finish();
    return decoder.code();
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
    case kLzmaSuccess:
        break;
    case kLzmaDataError:
        AppendError(message, "Data error");
        break;
    case kLzmaNoMemory:
        AppendError(message, "Can not allocate memory");
        break;
    case kLzmaReadError:
        AppendError(message, "Can not read input file");
        break;
    case kLzmaWriteError:
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

// The step itself; `*code` receives its result code (kLzmaSuccess when it got that far, and
// kLzmaReadError when the input cannot be opened, which the step reports by its own text).
int DecodeStep(const char* inputPath, const char* outputPath, char* message, int* code)
{
    memset(message, 0, kLzmaMessageSize);
    *code = kLzmaSuccess;

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
        *code = kLzmaReadError;
        return 1;
    }
    LzmaStreamDecoder decoder;
    if (!decoder.Open(outputPath)) {
        AppendError(message, "Can not open output file");
        return 1;
    }

    *code = DecodeStreams(input.get(), decoder);
    AppendCodeText(message, *code);
    return *code == kLzmaSuccess ? 0 : 1;
}

}  // namespace

int DecodeLzmaFile(const char* inputPath, const char* outputPath, char* message)
{
    int code = kLzmaSuccess;
    return DecodeStep(inputPath, outputPath, message, &code);
}

int DecodeLzmaFile(const char* inputPath, const char* outputPath, bool* machineFault)
{
    char message[kLzmaMessageSize];
    int code = kLzmaSuccess;
    int result = DecodeStep(inputPath, outputPath, message, &code);
    fputs(message, stdout);
    fflush(stdout);
    *machineFault = code == kLzmaNoMemory || code == kLzmaReadError || code == kLzmaWriteError;
    return result;
}

int DecodeLzmaFile(const char* inputPath, const char* outputPath)
{
    bool machineFault = false;
    return DecodeLzmaFile(inputPath, outputPath, &machineFault);
}
