#pragma once
// The rules of a signed configuration or update list beyond the signature's mathematics, shared
// by the installer, which checks them, and the publisher's tools, which sign.
//
// Binding. A signature must not pass for any file but the one it was made for: not for the same
// bytes served in the other role (a configuration as an update list), and not for another game's
// file signed with the same key, which would let game A's files install game A through game B's
// installer. So what is signed is the SHA-256 of a fixed context, the role and the game ahead of
// the file's bytes:
//
//   SHA-256( "vellora-signed-file-1" NUL  role NUL  game NUL  file bytes )
//
//   role  "configuration" or "update-list";
//   game  the installer's product name (INSTALLER_PRODUCT_NAME) in UTF-8.
//
// Freshness. An old signed file could otherwise be served again for ever, for example a list that
// pins an old package with known holes. So the role's section (configuration: [setup]; update list:
// [list0]) must carry "expires=YYYY-MM-DD": the file counts until the end of that day (UTC) and
// not after; a file without it counts as badly signed.
#include "common/profile_text.h"
#include "common/sha256.h"

#include <cstddef>
#include <cstdint>

enum class SignedRole { Configuration, UpdateList };

// The most a configuration or an update list may hold (the installer fetches no more); real ones
// hold a few hundred bytes.
constexpr size_t kSignedFileLimit = 64 * 1024;

// "configuration" or "update-list": the role's name in the signed message.
const char* SignedRoleName(SignedRole role);
// "setup" or "list0": the section that carries the role's expiry date.
const char* SignedRoleSection(SignedRole role);

// The digest that a signature of `size` bytes at `bytes` in `role` for `game` covers.
void SignedFileDigest(SignedRole role, const char* game, const void* bytes, size_t size,
                      uint8_t (&digest)[kSha256Size]);

struct CalendarDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

// Days since 1970-01-01 (negative before).
long DayNumber(const CalendarDate& date);

enum class Expiry {
    Valid,      // a date (common/number_text.h, ParseDate), and `today` is that day or before it
    Missing,    // no expires key, or an empty value
    Malformed,  // no date
    Past,       // `today` is after it
};

// The expiry of a signed file in `role` on the day `today` (a DayNumber, UTC): its date in
// `*expires` when it has one.
Expiry CheckExpiry(const ProfileText& text, SignedRole role, long today, CalendarDate* expires);
