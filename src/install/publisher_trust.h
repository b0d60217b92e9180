#pragma once
// Signed delivery: the publisher's keys built into the installer, and the checks they allow.
//
// An installer built with keys (INSTALLER_PUBLISHER_KEYS) trusts a configuration file or an update
// list only with a valid signature, fetched from the file's address with ".sig" appended, by one
// of its keys (two allow a change of keys without a gap), made for that file's role and for this
// installer's game, and only up to the date in the file's "expires=YYYY-MM-DD" (UTC), which it
// must have: an old file replayed later must not pass (common/signed_file.h). The bytes checked
// are the bytes read (common/profile_text.h). Such a list pins the size and SHA-256 of what it
// downloads (config_files.h, ReadListPin), and such a configuration may pin the list's SHA-256
// (ReadUpdateListPin), so that no other list passes beside it.
//
// An installer built without keys checks nothing and fetches no signature: it behaves as it
// always has.
#include "common/profile_text.h"
#include "common/publisher_crypto.h"
#include "common/signed_file.h"
#include "install/install_job.h"
#include "net/download.h"
#include "net/fetch_bytes.h"

#include <windows.h>

constexpr int kMaxPublisherKeys = 2;
constexpr size_t kPublisherKeyHexSize = 2 * kPublicKeySize + 1;

// The keys of this installer, as the build compiles them in (publisher_keys.cpp): hexadecimal
// X||Y, an empty string for an unused slot; and the game they sign for, the product name in UTF-8.
extern const char kPublisherKeys[kMaxPublisherKeys][kPublisherKeyHexSize];
extern const char kPublisherGame[];

// Makes `keys` this process's keys, for files signed for `game` (kept, not copied); call once at
// start-up, before any other thread runs. False, with no keys taken, when one of them is not a
// usable key: malformed, refused by the crypto library (Windows' CNG refuses a point off the
// curve; Wine's does not, but the build refuses such a key first), or no crypto library at all.
// An installer built with keys that cannot take them must not start: it would take unsigned files.
bool UsePublisherKeys(const char (&keys)[kMaxPublisherKeys][kPublisherKeyHexSize], const char* game);

// True when this installer has keys and so checks signatures.
bool SignedDelivery();

// Fetches "<url>.sig" silently within `deadline` and checks that it signs `text` in `role` for
// this installer's game with one of the keys, and that `text` has an expiry date that has not
// passed. False for a missing, malformed or wrong signature, and for a missing, malformed or past
// date.
bool SignedByPublisher(InstallJob& job, const char* url, SignedRole role, const ProfileText& text,
                       const DownloadTimeouts& timeouts, const FetchDeadline& deadline);

// Tests: `hook` is called with the local path of a file the moment it has been checked (a
// configuration or an update list whose signature held, a package that matched its pins), before
// anything of it is used; another thread may try to replace the file meanwhile. Null: none.
using CheckedFileHook = void (*)(const char* path);
void SetCheckedFileHook(CheckedFileHook hook);
// Calls the hook, if any.
void FileChecked(const char* path);
