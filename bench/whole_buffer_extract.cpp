// The former whole-buffer extraction, for comparison (whole_buffer_extract.h).
#include "whole_buffer_extract.h"

#include "common/file_system.h"
#include "package/aes_decrypt.h"
#include "package/entry_path.h"
#include "package/lzma_step.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

// The former directory: a map of std::string keys.
using WholeDirectory = std::map<std::string, PackageRange, PackageKeyLess>;

struct Free {
    void operator()(void* p) const { free(p); }
};

// The body of `intermediate` in one buffer, decrypted, and the directory parsed from it.
bool ReadWhole(const std::string& intermediate, std::unique_ptr<unsigned char[], Free>* content,
               WholeDirectory* directory)
{
    UniqueOsFile file(OpenInputFile(intermediate.c_str()));
    uint64_t fileSize = 0;
    unsigned char header[8];
    uint32_t got = 0;
    if (!file || !QueryFileSize(file.get(), &fileSize) || fileSize < 8 || (fileSize - 8) % 16 != 0 ||
        fileSize - 8 > UINT32_MAX || !ReadFromFile(file.get(), header, 8, &got) || got != 8)
        return false;
    const uint32_t n = static_cast<uint32_t>(fileSize - 8);
    const uint32_t contentLength = LoadLe32(header);
    // As the former reader allocated it: zero-filled, on transparent huge pages (a 512th of the
    // page faults of first touches, which cost more than the read on virtual machines).
    constexpr size_t kHugePage = 2 << 20;
    void* buffer = nullptr;
    if (posix_memalign(&buffer, kHugePage, n > 0 ? n : 1) != 0)
        return false;
    madvise(buffer, n, MADV_HUGEPAGE);
    content->reset(static_cast<unsigned char*>(memset(buffer, 0, n)));
    for (uint32_t have = 0; have < n; have += got) {
        if (!ReadFromFile(file.get(), content->get() + have, n - have, &got) || got == 0)
            return false;
    }
    unsigned char key[17] = {};
    DerivePackageKey(PackagePassword, key);
    AesDecryptContext aes;
    AesSetDecryptKey(&aes, key);
    AesDecryptBlocks(&aes, content->get(), n / 16);

    if (contentLength < 4 || contentLength > n)
        return false;
    const unsigned char* bytes = content->get();
    const int32_t count = static_cast<int32_t>(LoadLe32(bytes));
    if (count <= 0 || 4 + static_cast<uint64_t>(count) * sizeof(PackageEntry) > contentLength)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        const unsigned char* record = bytes + 4 + static_cast<size_t>(i) * sizeof(PackageEntry);
        const char* name = reinterpret_cast<const char*>(record);
        const void* nul = memchr(name, '\0', kPackageNameSize);
        const PackageRange range = {LoadLe32(record + 260), LoadLe32(record + 264)};
        if (!nul || static_cast<uint64_t>(range.offset) + range.size > contentLength)
            return false;
        (*directory)[LowerPackageName(name, static_cast<const char*>(nul) - name)] = range;
    }
    return true;
}

}  // namespace

bool WholeBufferExtract(const std::string& package, const std::string& intermediate, const std::string& folder)
{
    if (DecodeLzmaFile(package.c_str(), intermediate.c_str()) != 0)
        return false;
    std::unique_ptr<unsigned char[], Free> content;
    WholeDirectory directory;
    if (!ReadWhole(intermediate, &content, &directory))
        return false;
    CreateOneDirectory(folder.c_str());
    for (const auto& [key, range] : directory) {
        const char* relative = StripRootComponent(key.c_str());
        if (ClassifyEntryPath(relative) != EntryTarget::File)
            continue;
        for (size_t i = 1; relative[i] != '\0'; ++i) {
            if (relative[i] == '\\')
                CreateOneDirectory((folder + std::string(relative, i)).c_str());
        }
        UniqueOsFile file(CreateOutputFile((folder + relative).c_str(), WriteSharing::Anyone));
        uint32_t written = 0;
        if (!file || !WriteToFile(file.get(), content.get() + range.offset, range.size, &written) ||
            written != range.size)
            return false;
    }
    RemoveFile(package.c_str());
    RemoveFile(intermediate.c_str());
    return true;
}
