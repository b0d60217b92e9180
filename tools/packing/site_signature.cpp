#include "packing/site_signature.h"

#include <cstring>

const char* SiteFileRoleName(SiteFileRole role)
{
    return role == SiteFileRole::Configuration ? "configuration" : "update list";
}

// The role is not yet part of what is signed: a signature is the one of the file's bytes, which
// every installer built so far checks.
bool SignSiteFile(const PrivateKey& key, SiteFileRole /*role*/, const std::string& path, std::string* error)
{
    return SignFileWith(key, path, error);
}

SignatureCheck CheckSiteFileSignature(const uint8_t (&publicKey)[kPublicKeySize], SiteFileRole role,
                                      const std::string& bytes, const std::string& signature, std::string* error)
{
    if (signature.size() != kSignatureSize) {
        *error = std::string("the ") + SiteFileRoleName(role) + "'s signature has " + std::to_string(signature.size()) +
                 " bytes instead of 64";
        return SignatureCheck::Malformed;
    }
    Sha256 hash;
    uint8_t digest[kSha256Size];
    uint8_t exact[kSignatureSize];
    hash.Update(bytes.data(), bytes.size());
    hash.Final(digest);
    memcpy(exact, signature.data(), kSignatureSize);
    if (!VerifyP256(publicKey, digest, exact)) {
        *error = std::string("BAD signature: the ") + SiteFileRoleName(role) +
                 " was not signed as it is by this key (a stale copy on a cache, a change after signing, or "
                 "another key)";
        return SignatureCheck::Bad;
    }
    return SignatureCheck::Good;
}
