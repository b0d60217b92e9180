#pragma once
// The signatures of the two files of a site that an installer with publisher keys checks: the
// configuration and the update list. Every signature the tools make or check goes through here,
// with the file's role and the game, so that what a signature covers is decided in this one place
// and as the installer decides it (common/signed_file.h: the file's bytes bound to its role and to
// the game, and an expires date that must come).
//
//   FILE.sig  the 64 bytes r || s of the signature, nothing else.
//
// Signing refuses what every installer would refuse: a file without the role's section ([setup],
// [list0]) or without an expires date still to come. A date less than kExpiryWarningDays ahead is
// signed with a warning: players whose clocks run a little ahead would refuse it soon.
#include "common/profile_text.h"
#include "common/signed_file.h"
#include "packing/publisher_keys.h"

#include <string>

constexpr long kExpiryWarningDays = 14;

// Today (UTC) as a DayNumber, the day the installer compares an expires date with.
long TodayUtc();
// "YYYY-MM-DD".
std::string DateText(const CalendarDate& date);
// The expires date `days` after today (UTC).
std::string ExpiryDate(int days);

// "configuration" or "update list", for messages.
const char* SiteFileRoleName(SignedRole role);

// How pkgtool tells a configuration from an update list: by its sections. A file with a [setup]
// section is a configuration, one with [list0] an update list; a file with both or neither has no
// role, and `error` says why.
bool RoleOfFile(const ProfileText& text, SignedRole* role, std::string* error);

// The signature of `bytes` in `role` for `game` (the installer's product name, UTF-8) by `key`,
// checked with the key's public half before it is given. `today` (DayNumber, UTC) decides the
// date checks; `warning` receives a text when the date is near, and is emptied otherwise.
bool SignSiteBytes(const PrivateKey& key, const ProfileText& bytes, SignedRole role, const std::string& game,
                   long today, uint8_t (&signature)[kSignatureSize], std::string* warning, std::string* error);

// Writes `path` + ".sig": SignSiteBytes of the file at `path`, today. `warning` and `error` name
// the file.
bool SignSiteFile(const PrivateKey& key, SignedRole role, const std::string& game, const std::string& path,
                  std::string* warning, std::string* error);

enum class SignatureCheck {
    Good,
    Bad,         // no signature of these bytes in this role for this game by this key
    Missing,     // there is no FILE.sig
    Malformed,   // FILE.sig is not 64 bytes
    Unreadable,  // FILE or FILE.sig could not be read
};

// Checks `signature` (the bytes of FILE.sig as served) against `bytes` (FILE as served) in `role`
// for `game`. `error` says why for every outcome but Good. The signature alone: the date is the
// caller's to check.
SignatureCheck CheckSiteFileSignature(const uint8_t (&publicKey)[kPublicKeySize], SignedRole role,
                                      const std::string& game, const std::string& bytes,
                                      const std::string& signature, std::string* error);

// The same for the file at `path` and `path` + ".sig".
SignatureCheck CheckSiteFile(const uint8_t (&publicKey)[kPublicKeySize], SignedRole role, const std::string& game,
                             const std::string& path, std::string* error);

// The whole of a file of at most kSignedFileLimit bytes into `text`. `error` names the file.
bool ReadSignedFile(const std::string& path, ProfileText* text, std::string* error);
