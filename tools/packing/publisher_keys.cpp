#include "packing/publisher_keys.h"

#include "common/number_text.h"
#include "common/unique_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kLargestKeyFile = 64 * 1024;

struct KeyLine {
    const char* label;
    size_t size;  // bytes the hex digits hold
};
constexpr KeyLine kPublicLine = {"ecdsa-p256-public", kPublicKeySize};
constexpr KeyLine kPrivateLine = {"ecdsa-p256-private", kPublicKeySize + kPrivateScalarSize};

const char kPublicComment[] =
    "# Vellora publisher public key (ECDSA P-256): build it into the installer with "
    "-DINSTALLER_PUBLISHER_KEYS=<this file>\n";
const char kPrivateComment[] =
    "# Vellora publisher private key (ECDSA P-256): signs packages and update lists (pkgtool sign).\n"
    "# Keep it off the web server, readable by you alone, and backed up:\n"
    "# whoever holds it signs for you, and without it no installer built with its public key\n"
    "# accepts anything new.\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

void AppendHex(const uint8_t* bytes, size_t size, std::string* text)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < size; ++i) {
        *text += kDigits[bytes[i] >> 4];
        *text += kDigits[bytes[i] & 15];
    }
}

// Finds the one key line `want` among comments and blank lines and decodes it into `bytes`.
bool ParseKeyText(const std::string& text, const KeyLine& want, uint8_t* bytes, std::string* error)
{
    const KeyLine& other = &want == &kPublicLine ? kPrivateLine : kPublicLine;
    bool found = false;
    int number = 0;
    // Notepad saves UTF-8 with a byte-order mark.
    const size_t first = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t start = first; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty() || line.front() == '#')
            continue;
        const std::string where = "line " + std::to_string(number);
        const std::string_view label = line.substr(0, line.find_first_of(" \t"));
        if (label == other.label) {
            *error = &want == &kPublicLine ? "this is a private key; give its public half (KEY.pub)"
                                           : "this is a public key; signing takes the private key";
            return false;
        }
        if (label != want.label) {
            *error = where + " is neither a comment nor the \"" + want.label + "\" line";
            return false;
        }
        if (found) {
            *error = where + " holds a second key; a key file holds one";
            return false;
        }
        const std::string_view digits = Trim(line.substr(label.size()));
        if (!DecodeHex(digits.data(), digits.size(), bytes, want.size)) {
            *error = where + ": the key must be " + std::to_string(2 * want.size) + " hex digits";
            return false;
        }
        found = true;
    }
    if (!found)
        *error = std::string("no \"") + want.label + "\" line";
    return found;
}

// A key file's text. The string is sized once, so no stray copy of a private key is left behind
// by a reallocation.
bool ReadKeyText(const std::string& path, std::string* text, std::string* error)
{
    UniqueStdioFile file(fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    text->assign(kLargestKeyFile + 1, '\0');
    size_t got = fread(&(*text)[0], 1, text->size(), file.get());
    if (ferror(file.get())) {
        *error = "cannot read " + path;
        return false;
    }
    if (got > kLargestKeyFile) {
        *error = path + " is too large to be a key file";
        return false;
    }
    text->resize(got);
    return true;
}

void WipeString(std::string* text)
{
    if (!text->empty())
        WipeSecret(&(*text)[0], text->size());
    text->clear();
}

// Signing a probe with d and checking it against the point proves that they belong together.
bool HalvesAgree(const PrivateKey& key, std::string* error)
{
    uint8_t probe[kSha256Size];
    for (size_t i = 0; i < kSha256Size; ++i)
        probe[i] = static_cast<uint8_t>(i);
    uint8_t signature[kSignatureSize];
    std::string why;
    if (!SignDigest(key, probe, signature, &why)) {
        *error = "the key cannot sign: " + why;
        return false;
    }
    if (!VerifyP256(key.publicKey, probe, signature)) {
        *error = "its public point (X, Y) does not belong to its private half (d)";
        return false;
    }
    return true;
}

}  // namespace

std::string LowerHex(const uint8_t* bytes, size_t size)
{
    std::string text;
    AppendHex(bytes, size, &text);
    return text;
}

void WipeSecret(void* bytes, size_t size)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(bytes);
    while (size-- > 0)
        *p++ = 0;
}

PrivateKey::~PrivateKey() { WipeSecret(scalar, sizeof scalar); }

std::string FormatPublicKey(const uint8_t (&publicKey)[kPublicKeySize])
{
    std::string text = kPublicComment;
    text += kPublicLine.label;
    text += ' ';
    AppendHex(publicKey, kPublicKeySize, &text);
    text += '\n';
    return text;
}

std::string FormatPrivateKey(const PrivateKey& key)
{
    std::string text;
    text.reserve(sizeof kPrivateComment + sizeof "ecdsa-p256-private " + 2 * kPrivateLine.size + 1);
    text = kPrivateComment;
    text += kPrivateLine.label;
    text += ' ';
    AppendHex(key.publicKey, kPublicKeySize, &text);
    AppendHex(key.scalar, kPrivateScalarSize, &text);
    text += '\n';
    return text;
}

bool ParsePublicKey(const std::string& text, uint8_t (&publicKey)[kPublicKeySize], std::string* error)
{
    return ParseKeyText(text, kPublicLine, publicKey, error);
}

bool ParsePrivateKey(const std::string& text, PrivateKey* key, std::string* error)
{
    uint8_t bytes[kPublicKeySize + kPrivateScalarSize];
    bool parsed = ParseKeyText(text, kPrivateLine, bytes, error);
    if (parsed) {
        memcpy(key->publicKey, bytes, kPublicKeySize);
        memcpy(key->scalar, bytes + kPublicKeySize, kPrivateScalarSize);
    }
    WipeSecret(bytes, sizeof bytes);
    return parsed && HalvesAgree(*key, error);
}

bool LoadPublicKey(const std::string& path, uint8_t (&publicKey)[kPublicKeySize], std::string* error)
{
    std::string text;
    if (!ReadKeyText(path, &text, error))
        return false;
    if (ParsePublicKey(text, publicKey, error))
        return true;
    *error = path + ": " + *error;
    return false;
}

bool LoadPrivateKey(const std::string& path, PrivateKey* key, std::string* error)
{
    std::string text;
    bool loaded = ReadKeyText(path, &text, error);
    if (loaded && !ParsePrivateKey(text, key, error)) {
        *error = path + ": " + *error;
        loaded = false;
    }
    WipeString(&text);
    return loaded;
}

bool HashFile(const std::string& path, uint8_t (&digest)[kSha256Size], std::string* error)
{
    if (Sha256OfFile(path.c_str(), digest))
        return true;
    // Say why where the runtime can tell: a mistyped name is the usual case.
    UniqueStdioFile file(fopen(path.c_str(), "rb"));
    *error = file ? "cannot read " + path + " to its end" : "cannot read " + path + ": " + strerror(errno);
    return false;
}
