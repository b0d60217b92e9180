// ReadPackageDirectory over content in clear. Input: the intermediate file's 8-byte header
// (contentLength, reserved) followed by the content as it stands after decryption; the target
// seals it with the publisher's cipher, so that the fuzzer's changes reach the table unscrambled.
#include "fuzz_support.h"
#include "package/entry_path.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"
#include "packing/package_sealer.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzFile file("package-directory");
    if (size < sizeof(PackageHeader) || size - sizeof(PackageHeader) > UINT32_MAX)
        return 0;
    const uint32_t contentLength = LoadLe32(data);
    const std::string content(reinterpret_cast<const char*>(data) + sizeof(PackageHeader), size - sizeof(PackageHeader));
    const std::string sealed = SealContent(content, contentLength);
    if (!file.Write(reinterpret_cast<const uint8_t*>(sealed.data()), sealed.size()))
        return 0;

    PackageBody body;
    if (!body.Open(PackagePassword, file.path()))
        FuzzFinding("a sealed file was refused");
    PackageDirectory directory;
    ReadPackageDirectory(body, directory);

    // What the pipeline relies on: every range lies in the content, keys are lowered and come in
    // strictly ascending order.
    const char* previous = nullptr;
    for (const PackageDirectoryEntry& entry : directory) {
        const std::string key = entry.key;
        const PackageRange& range = entry.range;
        if (previous && strcmp(previous, entry.key) >= 0)
            FuzzFinding("keys out of order, or one key twice");
        previous = entry.key;
        if (static_cast<uint64_t>(range.offset) + range.size > content.size() ||
            range.offset + range.size > contentLength)
            FuzzFinding("an entry's bytes lie outside the content");
        if (key.size() >= kPackageNameSize || key.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos ||
            key.find('\0') != std::string::npos)
            FuzzFinding("a key that no entry name could give");
        ClassifyEntryPath(StripRootComponent(key.c_str()));
        if (!body.Decrypt(range.offset, range.size < PackageBody::kChunkSize ? range.size : PackageBody::kChunkSize))
            FuzzFinding("an entry's first chunk cannot be read");
    }
    return 0;
}
