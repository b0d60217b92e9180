#include "package_test_support.h"

#include "package/package_container.h"
#include "package/package_key.h"

#include <lzma.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

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

namespace {

unsigned char Multiply(unsigned a, unsigned b)
{
    unsigned product = 0;
    for (; b; b >>= 1, a = (a << 1) ^ ((a & 0x80) ? 0x11B : 0))
        product ^= (b & 1) ? a : 0;
    return static_cast<unsigned char>(product);
}

// The S-box by brute force: the inverse found by search, then the affine map.
unsigned char Sbox(unsigned x)
{
    unsigned inverse = 0;
    for (unsigned y = 1; x && y < 256 && !inverse; ++y)
        inverse = Multiply(x, y) == 1 ? y : 0;
    unsigned s = inverse ^ 0x63;
    for (int shift = 1; shift <= 4; ++shift)
        s ^= ((inverse << shift) | (inverse >> (8 - shift))) & 0xFF;
    return static_cast<unsigned char>(s);
}

}  // namespace

std::string SealBlocks(const std::string& key, const std::string& plain)
{
    unsigned char sbox[256];
    for (unsigned x = 0; x < 256; ++x)
        sbox[x] = Sbox(x);
    unsigned char w[176];
    memcpy(w, key.data(), 16);
    for (int i = 16, rcon = 1; i < 176; i += 4) {
        unsigned char t[4] = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
        if (i % 16 == 0) {  // RotWord, SubWord, round constant
            unsigned char first = t[0];
            t[0] = static_cast<unsigned char>(sbox[t[1]] ^ rcon);
            t[1] = sbox[t[2]], t[2] = sbox[t[3]], t[3] = sbox[first];
            rcon = Multiply(rcon, 2);
        }
        for (int j = 0; j < 4; ++j)
            w[i + j] = static_cast<unsigned char>(w[i - 16 + j] ^ t[j]);
    }

    std::string sealed = plain;
    for (size_t at = 0; at + 16 <= sealed.size(); at += 16) {
        unsigned char* s = Bytes(sealed) + at;
        for (int i = 0; i < 16; ++i)
            s[i] ^= w[i];
        for (int round = 1; round <= 10; ++round) {
            unsigned char t[16];
            for (int i = 0; i < 16; ++i)  // SubBytes + ShiftRows: row r of column c from column c + r
                t[i] = sbox[s[i % 4 + 4 * ((i / 4 + i % 4) % 4)]];
            for (int c = 0; c < 4 && round < 10; ++c) {  // MixColumns
                unsigned char* a = &t[4 * c];
                unsigned char m[4];
                for (int r = 0; r < 4; ++r)
                    m[r] = Multiply(a[r], 2) ^ Multiply(a[(r + 1) % 4], 3) ^ a[(r + 2) % 4] ^ a[(r + 3) % 4];
                memcpy(a, m, 4);
            }
            for (int i = 0; i < 16; ++i)
                s[i] = t[i] ^ w[16 * round + i];
        }
    }
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
    std::string key(16, '\0');
    DerivePackageKey(PackagePassword, Bytes(key));
    std::string body = content;
    body.resize((body.size() + 15) / 16 * 16, '\0');
    std::string header(8, '\0');
    PutLe32(header, 0, contentLength);
    return header + SealBlocks(key, body);
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
