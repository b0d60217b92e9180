#include "packing/site_signature.h"

#include "common/unique_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

constexpr long kSecondsPerDay = 86400;

const char* SectionLine(SignedRole role) { return role == SignedRole::Configuration ? "[setup]" : "[list0]"; }

// What every installer would refuse to take, and what it will soon refuse.
bool CheckBeforeSigning(const ProfileText& text, SignedRole role, long today, std::string* warning,
                        std::string* error)
{
    const std::string what = SiteFileRoleName(role);
    warning->clear();
    if (!text.HasSection(SignedRoleSection(role))) {
        *error = "is no " + what + ": it has no " + SectionLine(role) + " section";
        return false;
    }
    CalendarDate expires;
    switch (CheckExpiry(text, role, today, &expires)) {
    case Expiry::Missing:
        *error = "has no expires=YYYY-MM-DD in " + std::string(SectionLine(role)) +
                 ": every installer with keys refuses a " + what + " without one (an old signed file could be "
                 "served again for ever)";
        return false;
    case Expiry::Malformed:
        *error = "its expires= is no date of the form YYYY-MM-DD";
        return false;
    case Expiry::Past:
        *error = "expired on " + DateText(expires) + ", " + std::to_string(today - DayNumber(expires)) +
                 " days ago (UTC)";
        return false;
    case Expiry::Valid:
        break;
    }
    const long left = DayNumber(expires) - today;
    if (left < kExpiryWarningDays)
        *warning = "expires on " + DateText(expires) + ", in " + std::to_string(left) +
                   (left == 1 ? " day" : " days") + ": sign it again with a later date before then";
    return true;
}

}  // namespace

long TodayUtc() { return static_cast<long>(time(nullptr) / kSecondsPerDay); }

std::string DateText(const CalendarDate& date)
{
    char text[16];
    snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string ExpiryDate(int days)
{
    const time_t then = time(nullptr) + static_cast<time_t>(days) * kSecondsPerDay;
    const struct tm* utc = gmtime(&then);
    return utc ? DateText({utc->tm_year + 1900, utc->tm_mon + 1, utc->tm_mday}) : std::string();
}

const char* SiteFileRoleName(SignedRole role)
{
    return role == SignedRole::Configuration ? "configuration" : "update list";
}

bool RoleOfFile(const ProfileText& text, SignedRole* role, std::string* error)
{
    const bool configuration = text.HasSection(SignedRoleSection(SignedRole::Configuration));
    const bool list = text.HasSection(SignedRoleSection(SignedRole::UpdateList));
    if (configuration == list) {
        *error = configuration ? "has both a [setup] and a [list0] section: it is no configuration or update list alone"
                               : "has neither a [setup] nor a [list0] section: only a configuration or an update "
                                 "list is signed";
        return false;
    }
    *role = configuration ? SignedRole::Configuration : SignedRole::UpdateList;
    return true;
}

bool SignSiteBytes(const PrivateKey& key, const ProfileText& bytes, SignedRole role, const std::string& game,
                   long today, uint8_t (&signature)[kSignatureSize], std::string* warning, std::string* error)
{
    if (game.empty()) {
        *error = "no game to sign for (the installer's product name, INSTALLER_PRODUCT_NAME)";
        return false;
    }
    if (!CheckBeforeSigning(bytes, role, today, warning, error))
        return false;
    uint8_t digest[kSha256Size];
    SignedFileDigest(role, game.c_str(), bytes.data(), bytes.size(), digest);
    if (!SignDigest(key, digest, signature, error))
        return false;
    // A signature that fails here would fail in every installer: better none than that one.
    if (!VerifyP256(key.publicKey, digest, signature)) {
        *error = "the signature does not check with the key's public half";
        return false;
    }
    return true;
}

bool SignSiteFile(const PrivateKey& key, SignedRole role, const std::string& game, const std::string& path,
                  std::string* warning, std::string* error)
{
    ProfileText text;
    uint8_t signature[kSignatureSize];
    if (!ReadSignedFile(path, &text, error))
        return false;
    if (!SignSiteBytes(key, text, role, game, TodayUtc(), signature, warning, error)) {
        *error = path + ": " + *error + "; nothing written";
        return false;
    }
    if (!warning->empty())
        *warning = path + ": " + *warning;
    const std::string sigPath = path + kSignatureSuffix;
    UniqueStdioFile out(fopen(sigPath.c_str(), "wb"));
    bool written = out && fwrite(signature, 1, kSignatureSize, out.get()) == kSignatureSize;
    if (out && fclose(out.release()) != 0)
        written = false;
    if (!written) {
        *error = "cannot write " + sigPath + ": " + strerror(errno);
        remove(sigPath.c_str());
    }
    return written;
}

SignatureCheck CheckSiteFileSignature(const uint8_t (&publicKey)[kPublicKeySize], SignedRole role,
                                      const std::string& game, const std::string& bytes,
                                      const std::string& signature, std::string* error)
{
    if (signature.size() != kSignatureSize) {
        *error = std::string("the ") + SiteFileRoleName(role) + "'s signature has " +
                 (signature.size() > kSignatureSize ? "more than 64" : std::to_string(signature.size())) +
                 " bytes instead of 64";
        return SignatureCheck::Malformed;
    }
    uint8_t digest[kSha256Size];
    uint8_t exact[kSignatureSize];
    SignedFileDigest(role, game.c_str(), bytes.data(), bytes.size(), digest);
    memcpy(exact, signature.data(), kSignatureSize);
    if (!VerifyP256(publicKey, digest, exact)) {
        *error = std::string("BAD signature: the ") + SiteFileRoleName(role) + " was not signed as it is for " + game +
                 " by this key (a stale copy on a cache, a change after signing, another game, or another key)";
        return SignatureCheck::Bad;
    }
    return SignatureCheck::Good;
}

SignatureCheck CheckSiteFile(const uint8_t (&publicKey)[kPublicKeySize], SignedRole role, const std::string& game,
                             const std::string& path, std::string* error)
{
    ProfileText text;
    if (!ReadSignedFile(path, &text, error))
        return SignatureCheck::Unreadable;
    const std::string sigPath = path + kSignatureSuffix;
    UniqueStdioFile file(fopen(sigPath.c_str(), "rb"));
    if (!file) {
        const bool missing = errno == ENOENT;  // on both runtimes
        *error = missing ? path + " has no signature: " + sigPath + " is missing"
                         : "cannot read " + sigPath + ": " + strerror(errno);
        return missing ? SignatureCheck::Missing : SignatureCheck::Unreadable;
    }
    char signature[kSignatureSize + 1];
    const size_t got = fread(signature, 1, sizeof signature, file.get());
    if (ferror(file.get())) {
        *error = "cannot read " + sigPath;
        return SignatureCheck::Unreadable;
    }
    const std::string bytes = text.empty() ? std::string() : std::string(text.data(), text.size());
    const SignatureCheck check = CheckSiteFileSignature(publicKey, role, game, bytes,
                                                        std::string(signature, got), error);
    if (check != SignatureCheck::Good)
        *error = path + ": " + *error;
    return check;
}

bool ReadSignedFile(const std::string& path, ProfileText* text, std::string* error)
{
    UniqueStdioFile file(fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot read " + path + ": " + strerror(errno);
        return false;
    }
    std::unique_ptr<char[]> bytes(new char[kSignedFileLimit + 1]);
    const size_t got = fread(bytes.get(), 1, kSignedFileLimit + 1, file.get());
    if (ferror(file.get())) {
        *error = "cannot read " + path + " to its end";
        return false;
    }
    if (got > kSignedFileLimit) {
        *error = path + " holds more than the 64 KiB an installer fetches of a configuration or update list";
        return false;
    }
    if (!text->Assign(bytes.get(), got)) {
        *error = "no memory for " + path;
        return false;
    }
    return true;
}
