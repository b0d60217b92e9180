#include "package_test_support.h"

#include "package/package_container.h"
#include "package/package_key.h"
#include "packing/aes_encrypt.h"
#include "packing/package_sealer.h"

#include <lzma.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string LzmaHeader(uint8_t properties, uint32_t dictionary, uint64_t size)
{
    std::string header(13, '\0');
    header[0] = static_cast<char>(properties);
    PutLe32(header, 1, dictionary);
    PutLe32(header, 5, static_cast<uint32_t>(size));
    PutLe32(header, 9, static_cast<uint32_t>(size >> 32));
    return header;
}

std::string EncodeLzmaAlone(const std::string& data, LzmaEnd end, uint32_t dictionary)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 0);
    options.dict_size = 1 << 16;
    options.ext_flags = end == LzmaEnd::Size ? 0 : LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    lzma_stream strm = LZMA_STREAM_INIT;
    std::string out(data.size() + data.size() / 2 + 1024, '\0');
    strm.next_in = Bytes(data);
    strm.avail_in = data.size();
    strm.next_out = Bytes(out);
    strm.avail_out = out.size();
    lzma_ret ret = lzma_raw_encoder(&strm, filters);
    if (ret == LZMA_OK)
        ret = lzma_code(&strm, LZMA_FINISH);
    out.resize(out.size() - strm.avail_out);
    lzma_end(&strm);
    if (ret != LZMA_STREAM_END)
        throw std::runtime_error("liblzma could not encode the test data");

    uint8_t properties = static_cast<uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc);
    return LzmaHeader(properties, dictionary, end == LzmaEnd::Marker ? UINT64_MAX : data.size()) + out;
}

std::string EncodeXzOneBlock(const std::string& data, bool checked)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 0);
    options.dict_size = 1 << 16;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::string out(data.size() + data.size() / 2 + 1024, '\0');
    size_t written = 0;
    if (lzma_stream_buffer_encode(filters, checked ? LZMA_CHECK_CRC64 : LZMA_CHECK_NONE, nullptr, Bytes(data),
                                  data.size(), Bytes(out), &written, out.size()) != LZMA_OK)
        throw std::runtime_error("liblzma could not encode the test data");
    out.resize(written);
    return out;
}

std::string WithXzDictionary(std::string xz, uint8_t dictionary)
{
    // Stream header (12 bytes), then the first block header: its size / 4 - 1, its flags, the
    // sizes it holds (variable-length numbers), then LZMA2's filter flags: 0x21, 1, the dictionary.
    const size_t header = 12, headerSize = (static_cast<uint8_t>(xz[header]) + 1) * 4u;
    const uint8_t flags = static_cast<uint8_t>(xz[header + 1]);
    size_t at = header + 2;
    for (int sizes = ((flags & 0x40) != 0) + ((flags & 0x80) != 0); sizes > 0; --sizes) {
        while (static_cast<uint8_t>(xz[at++]) & 0x80) {
        }
    }
    if (xz[at] != 0x21 || xz[at + 1] != 1)
        throw std::runtime_error("no LZMA2 filter where expected");
    xz[at + 2] = static_cast<char>(dictionary);
    PutLe32(xz, header + headerSize - 4, lzma_crc32(Bytes(xz) + header, headerSize - 4, 0));
    return xz;
}

std::string SealBlocks(const std::string& key, const std::string& plain, bool portable)
{
    AesEncryptContext context;
    AesSetEncryptKey(&context, Bytes(key));
    if (portable)
        AesUsePortableCode(&context);
    std::string sealed = plain;
    AesEncryptBlocks(&context, Bytes(sealed), sealed.size() / 16);
    return sealed;
}

std::string Hex(const unsigned char* bytes, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += "0123456789abcdef"[bytes[i] >> 4];
        text += "0123456789abcdef"[bytes[i] & 15];
    }
    return text;
}

std::string FromHex(const char* text)
{
    std::string bytes;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        bytes += static_cast<char>(std::stoi(std::string(text + i, 2), nullptr, 16));
    return bytes;
}

void PutLe32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string BuildContent(const std::vector<NamedData>& entries)
{
    std::string content(4 + entries.size() * sizeof(PackageEntry), '\0');
    PutLe32(content, 0, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t record = 4 + i * sizeof(PackageEntry);
        memcpy(&content[record], entries[i].first.data(), std::min(entries[i].first.size(), kPackageNameSize));
        PutLe32(content, record + offsetof(PackageEntry, offset), static_cast<uint32_t>(content.size()));
        PutLe32(content, record + offsetof(PackageEntry, size), static_cast<uint32_t>(entries[i].second.size()));
        content += entries[i].second;
    }
    return content;
}

std::string SealPackage(const std::string& content, uint32_t contentLength)
{
    return SealContent(content, contentLength);
}

std::string EncodeEither(const std::string& data, PackageEncoding encoding)
{
    return encoding == PackageEncoding::Xz ? EncodePackageFile(data, encoding, 6, kSmallXzBlock)
                                           : EncodeLzmaAlone(data, LzmaEnd::Marker);
}

std::string MakePackage(const std::vector<NamedData>& entries, PackageEncoding encoding)
{
    return EncodeEither(SealPackage(BuildContent(entries)), encoding);
}

std::string SampleText()
{
    std::string text;
    for (int line = 1; line <= 40; ++line)
        text += "Vellora sample line " + std::to_string(line) + "\n";
    return text;
}

ScopedFileFaults::ScopedFileFaults(const FileFaults& faults) { SetFileFaults(faults); }
ScopedFileFaults::~ScopedFileFaults() { ClearFileFaults(); }

namespace {

void ListInto(const std::string& folder, const std::string& prefix, std::vector<std::string>* out)
{
    std::vector<std::pair<std::string, bool>> items;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            items.emplace_back(found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    const char* separator = "\\";
#else
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat st;
        bool isFolder = stat((folder + "/" + entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        items.emplace_back(entry->d_name, isFolder);
    }
    closedir(dir);
    const char* separator = "/";
#endif
    for (const auto& [name, isFolder] : items) {
        out->push_back(prefix + name + (isFolder ? "/" : ""));
        if (isFolder)
            ListInto(folder + separator + name, prefix + name + "/", out);
    }
}

}  // namespace

std::vector<std::string> ListTree(const std::string& folder)
{
    std::vector<std::string> paths;
    ListInto(folder, "", &paths);
    std::sort(paths.begin(), paths.end());
    return paths;
}

#ifdef _WIN32
namespace {

// The Unix path of a Windows path, from Wine's own export.
std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH * 2];
    if (!toUnix || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2))
        return "";
    char* unix = toUnix(wide);
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Runs a Unix program (no quoting: test paths hold no blanks) and waits until `done` holds: Wine
// gives no handle to wait on for a Unix process.
template <typename Done>
bool RunUnix(const std::string& commandLine, Done done)
{
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 100 && !done(); ++i)
        Sleep(50);
    return done();
}

// Whether a link stands at `path` (a link to a folder shows, one to a file shows its file).
bool Present(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool MakeSymbolicLink(const std::string& link, const std::string& target)
{
    return RunUnix("/bin/ln -s " + UnixPath(target) + " " + UnixPath(link), [&] { return Present(link); });
}

bool MakeHardLink(const std::string& link, const std::string& target)
{
    return CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != FALSE;
}

bool RemoveLink(const std::string& link)
{
    return RunUnix("/bin/rm -f " + UnixPath(link), [&] { return !Present(link); });
}
#else
bool MakeSymbolicLink(const std::string& link, const std::string& target) { return symlink(target.c_str(), link.c_str()) == 0; }
bool MakeHardLink(const std::string& link, const std::string& target) { return ::link(target.c_str(), link.c_str()) == 0; }
bool RemoveLink(const std::string& link) { return unlink(link.c_str()) == 0; }
#endif
