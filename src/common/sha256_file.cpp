// Sha256OfFile: a file's SHA-256 through the file door, read in large blocks.
#include "common/file_system.h"
#include "common/sha256.h"

#include <memory>
#include <new>

namespace {
constexpr uint32_t kReadBlock = 1 << 20;
}  // namespace

bool Sha256OfFile(const char* path, uint8_t (&digest)[kSha256Size])
{
    UniqueOsFile file(OpenInputFile(path));
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kReadBlock]);
    if (!file || !block)
        return false;
    Sha256 hash;
    for (;;) {
        uint32_t got = 0;
        if (!ReadFromFile(file.get(), block.get(), kReadBlock, &got))
            return false;
        if (got == 0) {
            hash.Final(digest);
            return true;
        }
        hash.Update(block.get(), got);
    }
}
