#include "install/publisher_trust.h"

#include "common/fixed_string.h"
#include "common/number_text.h"

#include <atomic>
#include <cstring>

namespace {

uint8_t g_keys[kMaxPublisherKeys][kPublicKeySize] = {};
int g_keyCount = 0;
const char* g_game = "";
std::atomic<CheckedFileHook> g_checkedHook{nullptr};

// A signature file is exactly one signature; room for a little more tells a larger file apart.
constexpr size_t kSignatureFileLimit = kSignatureSize + 1;

}  // namespace

bool UsePublisherKeys(const char (&keys)[kMaxPublisherKeys][kPublisherKeyHexSize], const char* game)
{
    uint8_t decoded[kMaxPublisherKeys][kPublicKeySize];
    int count = 0;
    for (const char* hex : keys) {
        if (hex[0] == '\0')
            continue;
        if (!DecodeHex(hex, strnlen(hex, kPublisherKeyHexSize), decoded[count], kPublicKeySize) ||
            !UsableP256Key(decoded[count]))
            return false;
        ++count;
    }
    memcpy(g_keys, decoded, sizeof decoded);
    g_keyCount = count;
    g_game = game;
    return true;
}

bool SignedDelivery() { return g_keyCount > 0; }

bool SignedByPublisher(InstallJob& job, const char* url, SignedRole role, const ProfileText& text,
                       const DownloadTimeouts& timeouts, const FetchDeadline& deadline)
{
    char sigUrl[kConfigValueSize + 4];
    unsigned char signature[kSignatureFileLimit];
    size_t size = 0;
    if (!FormatString(sigUrl, "%s.sig", url) ||
        !FetchBytes(job, sigUrl, timeouts, deadline, signature, sizeof signature, &size) || size != kSignatureSize)
        return false;

    uint8_t digest[kSha256Size];
    SignedFileDigest(role, g_game, text.data(), text.size(), digest);
    bool good = false;
    for (int i = 0; i < g_keyCount && !good; ++i)
        good = VerifyP256(g_keys[i], digest, reinterpret_cast<const uint8_t(&)[kSignatureSize]>(signature));
    if (!good)
        return false;

    SYSTEMTIME now;
    GetSystemTime(&now);  // UTC
    CalendarDate expires;
    return CheckExpiry(text, role, DayNumber({now.wYear, now.wMonth, now.wDay}), &expires) == Expiry::Valid;
}

void SetCheckedFileHook(CheckedFileHook hook) { g_checkedHook = hook; }

void FileChecked(const char* path)
{
    if (CheckedFileHook hook = g_checkedHook.load())
        hook(path);
}
