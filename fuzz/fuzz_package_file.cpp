// ReadPackageFile + ParsePackageDirectory: the intermediate file as the pipeline reads it (header,
// length checks, body read, decryption, directory). Input: the intermediate file.
#include "fuzz_support.h"
#include "package/package_container.h"
#include "package/package_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzFile file("package-file");
    if (!file.Write(data, size))
        return 0;
    NullProgressSink progress;
    uint32_t contentLength = 0;
    PackageContent content = ReadPackageFile(PackagePassword, file.path(), progress, &contentLength);
    if (!content) {
        if (contentLength != 0)
            FuzzFinding("contentLength set without content");
        return 0;
    }
    if (content.size != size - sizeof(PackageHeader) || content.size % 16 != 0)
        FuzzFinding("the body's size is not the file's minus the header, in whole blocks");

    PackageDirectory directory;
    ParsePackageDirectory(contentLength, content.bytes.get(), content.size, directory);
    for (const auto& [key, range] : directory) {
        if (static_cast<uint64_t>(range.offset) + range.size > content.size)
            FuzzFinding("an entry's bytes lie outside the content");
    }
    return 0;
}
