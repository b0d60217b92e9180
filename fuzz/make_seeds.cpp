// Writes the seed corpora of the fuzz targets from the committed package samples:
//   make_seeds SAMPLES_FOLDER CORPUS_FOLDER
// CORPUS_FOLDER/<target>/ receives:
//   package_file       every intermediate sample (*.pak) as it is;
//   lzma_step          every LZMA-alone and .xz sample (*.lzma, *.xz) as it is;
//   package_directory  the same intermediate files decrypted (header + content in clear), also
//                      those inside the whole-package samples;
//   entry_path         every entry name found in those.
#include "package/aes_decrypt.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <lzma.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

bool ReadAll(const std::string& path, std::string* bytes)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0)
        bytes->append(block, got);
    fclose(file);
    return true;
}

bool WriteAll(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool EndsWith(const std::string& text, const char* suffix)
{
    size_t n = strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The LZMA-alone layer removed in memory; "" when it does not decode.
std::string DecodeLzma(const std::string& file)
{
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&strm, UINT64_MAX) != LZMA_OK)
        return std::string();
    std::string out;
    char block[65536];
    strm.next_in = reinterpret_cast<const uint8_t*>(file.data());
    strm.avail_in = file.size();
    lzma_ret status;
    do {
        strm.next_out = reinterpret_cast<uint8_t*>(block);
        strm.avail_out = sizeof block;
        status = lzma_code(&strm, LZMA_FINISH);
        out.append(block, sizeof block - strm.avail_out);
    } while (status == LZMA_OK);
    lzma_end(&strm);
    return status == LZMA_STREAM_END ? out : std::string();
}

// The intermediate file with its body decrypted.
std::string Decrypted(std::string intermediate)
{
    if (intermediate.size() < 8 || (intermediate.size() - 8) % 16 != 0)
        return intermediate;
    unsigned char key[17] = {};
    DerivePackageKey(PackagePassword, key);
    AesDecryptContext aes;
    AesSetDecryptKey(&aes, key);
    AesDecryptBlocks(&aes, reinterpret_cast<unsigned char*>(&intermediate[8]), (intermediate.size() - 8) / 16);
    return intermediate;
}

std::vector<std::string> EntryNames(const std::string& clear)
{
    std::vector<std::string> names;
    if (clear.size() < 12)
        return names;
    const unsigned char* content = reinterpret_cast<const unsigned char*>(clear.data()) + 8;
    size_t size = clear.size() - 8;
    int32_t count = 0;
    memcpy(&count, content, 4);
    for (int32_t i = 0; i >= 0 && i < count && 4 + (i + 1) * sizeof(PackageEntry) <= size; ++i) {
        const char* name = reinterpret_cast<const char*>(content + 4 + i * sizeof(PackageEntry));
        names.emplace_back(name, strnlen(name, kPackageNameSize));
    }
    return names;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_seeds SAMPLES_FOLDER CORPUS_FOLDER\n");
        return 2;
    }
    const std::string samples = argv[1], corpus = argv[2];
    const char* targets[] = {"package_file", "lzma_step", "package_directory", "entry_path"};
    mkdir(corpus.c_str(), 0777);
    for (const char* target : targets)
        mkdir((corpus + "/" + target).c_str(), 0777);

    DIR* dir = opendir(samples.c_str());
    if (!dir) {
        fprintf(stderr, "make_seeds: cannot read %s\n", samples.c_str());
        return 1;
    }
    int written = 0, names = 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name, bytes;
        if (name[0] == '.' || !ReadAll(samples + "/" + name, &bytes))
            continue;
        std::string intermediate;
        if (EndsWith(name, ".pak")) {
            written += WriteAll(corpus + "/package_file/" + name, bytes);
            intermediate = bytes;
        } else if (EndsWith(name, ".lzma")) {
            written += WriteAll(corpus + "/lzma_step/" + name, bytes);
            intermediate = DecodeLzma(bytes);
        } else if (EndsWith(name, ".xz")) {
            written += WriteAll(corpus + "/lzma_step/" + name, bytes);
        }
        if (intermediate.size() < 8 || (intermediate.size() - 8) % 16 != 0)
            continue;
        std::string clear = Decrypted(intermediate);
        written += WriteAll(corpus + "/package_directory/" + name, clear);
        for (const std::string& entryName : EntryNames(clear))
            written += WriteAll(corpus + "/entry_path/" + name + "." + std::to_string(names++), entryName);
    }
    closedir(dir);
    printf("%d seeds in %s\n", written, corpus.c_str());
    return 0;
}
