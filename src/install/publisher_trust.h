#pragma once
// Signed delivery: the publisher's keys built into the installer, and the checks they allow.
//
// An installer built with keys (INSTALLER_PUBLISHER_KEYS) trusts a configuration file or an update
// list only with a valid signature, fetched from the file's address with ".sig" appended, by one
// of its keys (two allow a change of keys without a gap), and only up to the date in the file's
// "expires=YYYY-MM-DD" (UTC), when it has one: an old file replayed later must not pass. Such a
// list pins the size and SHA-256 of what it downloads (config_files.h, ReadListPin).
//
// An installer built without keys checks nothing and fetches no signature: it behaves as it
// always has.
#include "common/publisher_crypto.h"
#include "install/install_job.h"
#include "net/download.h"

#include <windows.h>

constexpr int kMaxPublisherKeys = 2;
constexpr size_t kPublisherKeyHexSize = 2 * kPublicKeySize + 1;

// The keys of this installer, as the build compiles them in (publisher_keys.cpp): hexadecimal
// X||Y, an empty string for an unused slot.
extern const char kPublisherKeys[kMaxPublisherKeys][kPublisherKeyHexSize];

// Makes `keys` this process's keys; call once at start-up, before any other thread runs. False,
// with no keys taken, when one of them is malformed. Without a call there are none.
bool UsePublisherKeys(const char (&keys)[kMaxPublisherKeys][kPublisherKeyHexSize]);

// True when this installer has keys and so checks signatures.
bool SignedDelivery();

// Fetches "<url>.sig" (quietly: no post, no box) and checks that it signs the file at `path`
// with one of the keys, and that `section` of the file carries no expires date in the past.
// False for a missing, malformed or wrong signature and for an expired or unreadable file.
bool SignedByPublisher(InstallJob& job, const char* url, const char* path, const char* section,
                       const DownloadTimeouts& timeouts);

// True when `section` of the profile file at `path` has no "expires" key, or one whose date
// (YYYY-MM-DD, UTC) is `today` or later. A malformed date counts as past.
bool WithinExpiry(const char* path, const char* section, const SYSTEMTIME& today);
