#include "common/signed_file.h"

#include "common/number_text.h"

#include <cstring>

namespace {

constexpr char kContext[] = "vellora-signed-file-1";

// Includes the terminating NUL: it separates the parts of the signed message.
void UpdateWithText(Sha256& hash, const char* text) { hash.Update(text, strlen(text) + 1); }

}  // namespace

const char* SignedRoleName(SignedRole role)
{
    return role == SignedRole::Configuration ? "configuration" : "update-list";
}

const char* SignedRoleSection(SignedRole role) { return role == SignedRole::Configuration ? "setup" : "list0"; }

void SignedFileDigest(SignedRole role, const char* game, const void* bytes, size_t size,
                      uint8_t (&digest)[kSha256Size])
{
    Sha256 hash;
    UpdateWithText(hash, kContext);
    UpdateWithText(hash, SignedRoleName(role));
    UpdateWithText(hash, game);
    hash.Update(bytes, size);
    hash.Final(digest);
}

long DayNumber(const CalendarDate& date)
{
    // Days from civil (the proleptic Gregorian calendar), with March as the first month so that
    // the leap day comes last.
    const long year = date.year - (date.month <= 2 ? 1 : 0);
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Expiry CheckExpiry(const ProfileText& text, SignedRole role, long today, CalendarDate* expires)
{
    char value[32] = {};
    text.ReadString(SignedRoleSection(role), "expires", value);
    if (value[0] == '\0')
        return Expiry::Missing;
    if (!ParseDate(value, &expires->year, &expires->month, &expires->day))
        return Expiry::Malformed;
    // The date itself is the last good day.
    return today <= DayNumber(*expires) ? Expiry::Valid : Expiry::Past;
}
