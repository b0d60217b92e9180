// ParsePackageDirectory over decrypted content. Input: the intermediate file's 8-byte header
// (contentLength, reserved) followed by the content in clear, as it stands after decryption.
#include "fuzz_support.h"
#include "package/entry_path.h"
#include "package/package_container.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(PackageHeader) || size - sizeof(PackageHeader) > UINT32_MAX)
        return 0;
    const uint32_t contentLength = LoadLe32(data);
    const uint32_t contentSize = static_cast<uint32_t>(size - sizeof(PackageHeader));
    // A buffer of exactly the content's size, so that any read beyond it is caught.
    std::unique_ptr<unsigned char[]> content(new unsigned char[contentSize]);
    if (contentSize > 0)
        memcpy(content.get(), data + sizeof(PackageHeader), contentSize);

    PackageDirectory directory;
    ParsePackageDirectory(contentLength, content.get(), contentSize, directory);

    // What the pipeline relies on: every range lies in the buffer, keys are lowered.
    for (const auto& [key, range] : directory) {
        if (static_cast<uint64_t>(range.offset) + range.size > contentSize || range.offset + range.size > contentLength)
            FuzzFinding("an entry's bytes lie outside the content");
        if (key.size() >= kPackageNameSize || key.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos ||
            key.find('\0') != std::string::npos)
            FuzzFinding("a key that no entry name could give");
        ClassifyEntryPath(StripRootComponent(key.c_str()));
    }
    return 0;
}
