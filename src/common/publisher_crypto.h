#pragma once
// The publisher's signatures: ECDSA P-256 verification over SHA-256 digests (common/sha256.h),
// the way the installer checks what it downloads. Windows: CNG (bcrypt.dll, loaded from the system
// directory on first use, as every late DLL of the installer). Elsewhere (the publisher's tools on
// Linux): OpenSSL's libcrypto.
//
// Formats:
//   public key  64 bytes: X and Y of the curve point, big-endian, 32 bytes each;
//   signature   64 bytes: r and s, big-endian, 32 bytes each (IEEE P1363, what CNG takes and
//               gives), of the SHA-256 digest of the signed bytes.
#include "common/sha256.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kPublicKeySize = 64;
constexpr size_t kSignatureSize = 64;

// True when `publicKey` is a point of the curve that the crypto library takes as a key. False for
// any other 64 bytes, or a missing crypto library.
bool UsableP256Key(const uint8_t (&publicKey)[kPublicKeySize]);

// True when `signature` is a valid ECDSA P-256 signature of `digest` by `publicKey`. False for a
// bad signature, a key that is no point of the curve, or a missing crypto library.
bool VerifyP256(const uint8_t (&publicKey)[kPublicKeySize], const uint8_t (&digest)[kSha256Size],
                const uint8_t (&signature)[kSignatureSize]);
