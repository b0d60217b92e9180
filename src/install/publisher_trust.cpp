#include "install/publisher_trust.h"

#include "common/fixed_string.h"
#include "common/number_text.h"
#include "net/fetch_bytes.h"

#include <cstring>

namespace {

uint8_t g_keys[kMaxPublisherKeys][kPublicKeySize] = {};
int g_keyCount = 0;

// A signature file is exactly one signature; room for a little more tells a larger file apart.
constexpr size_t kSignatureFileLimit = kSignatureSize + 1;

}  // namespace

bool UsePublisherKeys(const char (&keys)[kMaxPublisherKeys][kPublisherKeyHexSize])
{
    uint8_t decoded[kMaxPublisherKeys][kPublicKeySize];
    int count = 0;
    for (const char* hex : keys) {
        if (hex[0] == '\0')
            continue;
        if (!DecodeHex(hex, strlen(hex), decoded[count], kPublicKeySize))
            return false;
        ++count;
    }
    memcpy(g_keys, decoded, sizeof decoded);
    g_keyCount = count;
    return true;
}

bool SignedDelivery() { return g_keyCount > 0; }

bool WithinExpiry(const char* path, const char* section, const SYSTEMTIME& today)
{
    char value[32] = {};
    // Absent and empty read alike: only a value that is there is a date to keep to.
    GetPrivateProfileStringA(section, "expires", "", value, sizeof value, path);
    if (value[0] == '\0')
        return true;
    int year = 0, month = 0, day = 0;
    if (!ParseDate(value, &year, &month, &day))
        return false;
    const long expires = (year * 100L + month) * 100L + day;
    const long now = (today.wYear * 100L + today.wMonth) * 100L + today.wDay;
    return now <= expires;  // the date itself is the last good day
}

bool SignedByPublisher(InstallJob& job, const char* url, const char* path, const char* section,
                       const DownloadTimeouts& timeouts)
{
    char sigUrl[kConfigValueSize + 4];
    unsigned char signature[kSignatureFileLimit];
    size_t size = 0;
    if (!FormatString(sigUrl, "%s.sig", url) ||
        !FetchBytes(job, sigUrl, timeouts, signature, sizeof signature, &size) || size != kSignatureSize)
        return false;

    uint8_t digest[kSha256Size];
    if (!Sha256OfFile(path, digest))
        return false;
    bool good = false;
    for (int i = 0; i < g_keyCount && !good; ++i)
        good = VerifyP256(g_keys[i], digest, reinterpret_cast<const uint8_t(&)[kSignatureSize]>(signature));
    if (!good)
        return false;

    SYSTEMTIME today;
    GetSystemTime(&today);  // UTC
    return WithinExpiry(path, section, today);
}
