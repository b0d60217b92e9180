#pragma once
// The signatures of the two files of a site that an installer with publisher keys checks: the
// configuration and the update list. Every signature the tools make or check for a site goes
// through these two functions, with the file's role, so that what a signature covers is decided
// in this one place. Today it covers the file's bytes alone, as FILE.sig (publisher_keys.h).
#include "packing/publisher_keys.h"

#include <string>

enum class SiteFileRole {
    Configuration,  // update/tarnhold.txt
    List,           // the update list it names
};

const char* SiteFileRoleName(SiteFileRole role);

// Writes `path` + ".sig": the signature of the file at `path`, in its role, by `key`.
bool SignSiteFile(const PrivateKey& key, SiteFileRole role, const std::string& path, std::string* error);

// Checks `signature` (the bytes of FILE.sig as served) against `bytes` (FILE as served) in its role.
// `error` says why for every outcome but Good.
SignatureCheck CheckSiteFileSignature(const uint8_t (&publicKey)[kPublicKeySize], SiteFileRole role,
                                      const std::string& bytes, const std::string& signature, std::string* error);
