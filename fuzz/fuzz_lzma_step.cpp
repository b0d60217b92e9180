// DecodeLzmaFile between two files. Input: an LZMA-alone or .xz file.
//
// The decoder allocates the dictionary the header declares, whatever the data: LZMA-alone
// declarations above 64 KiB are lowered to 64 KiB so that runs test the step, not the allocator;
// an .xz block declares its own deep inside, and the file seam refuses any allocation above 1 MiB
// (the decoding fails for want of memory instead). Output beyond 256 KiB (four of the step's
// buffers) comes out short through the file seam's full-disk switch, so small bombs stay cheap and
// the write-failure path gets its share.
#include "common/file_system.h"
#include "fuzz_support.h"
#include "package/lzma_step.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kLargestDictionary = 1 << 16;
constexpr uint64_t kOutputBudget = 256 << 10;
constexpr size_t kLargestAllocation = 1 << 20;
const uint8_t kXzMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};

bool KnownText(const char* message)
{
    static const char* const kTexts[] = {
        "",
        "\nError: Data error\n",
        "\nError: Can not allocate memory\n",
        "\nError code: 4\n",
        "\nError code: 6\n",
        "\nError: Can not read input file\n",
        "\nError: Can not write output file\n",
    };
    for (const char* text : kTexts) {
        if (strcmp(message, text) == 0)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzFile input("lzma-in");
    static const FuzzFile output("lzma-out");
    std::vector<uint8_t> bytes(data, data + size);
    const bool xz = size >= sizeof kXzMagic && memcmp(data, kXzMagic, sizeof kXzMagic) == 0;
    if (!xz && size >= 5 && LoadLe32(&bytes[1]) > kLargestDictionary)
        memcpy(&bytes[1], &kLargestDictionary, 4);  // little-endian hosts only, like the fuzzers
    if (!input.Write(bytes.data(), bytes.size()))
        return 0;

    FileFaults faults;
    faults.writableBytes = kOutputBudget;
    faults.allocationLimit = kLargestAllocation;
    SetFileFaults(faults);
    char message[kLzmaMessageSize];
    int result = DecodeLzmaFile(input.path(), output.path(), message);
    ClearFileFaults();

    if (!KnownText(message) || (result == 0) != (message[0] == '\0'))
        FuzzFinding("a result or text the step does not define");
    if (result == 0 && !xz && size >= 13) {
        uint64_t declared = 0;
        for (int i = 0; i < 8; ++i)
            declared |= static_cast<uint64_t>(bytes[5 + i]) << (8 * i);
        if (declared != UINT64_MAX && static_cast<uint64_t>(FileSizeOf(output.path())) != declared)
            FuzzFinding("success with an output that is not the declared size");
    }
    return 0;
}
