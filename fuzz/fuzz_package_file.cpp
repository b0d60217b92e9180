// PackageBody + ReadPackageDirectory: the intermediate file as the pipeline reads it (header,
// length checks, the directory decrypted, then every entry's bytes chunk by chunk). Input: the
// intermediate file.
#include "fuzz_support.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzFile file("package-file");
    if (!file.Write(data, size))
        return 0;
    PackageBody body;
    const bool sized = size >= sizeof(PackageHeader) && (size - sizeof(PackageHeader)) % 16 == 0;
    if (body.Open(PackagePassword, file.path()) != sized)
        FuzzFinding("a body was taken or refused against its length");
    if (!sized)
        return 0;
    if (body.size() != size - sizeof(PackageHeader))
        FuzzFinding("the body's size is not the file's minus the header");

    PackageDirectory directory;
    ReadPackageDirectory(body, directory);
    for (const PackageDirectoryEntry& entry : directory) {
        const PackageRange& range = entry.range;
        if (static_cast<uint64_t>(range.offset) + range.size > body.size())
            FuzzFinding("an entry's bytes lie outside the content");
        for (uint32_t at = range.offset; at < range.offset + range.size;) {
            const uint32_t length = std::min(range.offset + range.size - at, PackageBody::kChunkSize);
            if (!body.Decrypt(at, length))
                FuzzFinding("an entry's bytes cannot be read");
            at += length;
        }
    }
    return 0;
}
