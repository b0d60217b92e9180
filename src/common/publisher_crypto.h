#pragma once
// The publisher's signatures: SHA-256 and ECDSA P-256 verification, the way the installer checks
// what it downloads. Windows: CNG (bcrypt.dll, loaded from the system directory on first use, as
// every late DLL of the installer). Elsewhere (the publisher's tools on Linux): OpenSSL's
// libcrypto.
//
// Formats:
//   public key  64 bytes: X and Y of the curve point, big-endian, 32 bytes each;
//   signature   64 bytes: r and s, big-endian, 32 bytes each (IEEE P1363, what CNG takes and
//               gives), of the SHA-256 digest of the signed bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t kSha256Size = 32;
constexpr size_t kPublicKeySize = 64;
constexpr size_t kSignatureSize = 64;

// An incremental SHA-256. A hasher that could not be set up (no bcrypt.dll) fails every call.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool ok() const { return state_ != nullptr; }
    bool Update(const void* data, size_t size);
    // Writes the digest and starts a new message.
    bool Final(uint8_t (&digest)[kSha256Size]);
    // Forgets what was hashed and starts a new message.
    bool Reset();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// True when `signature` is a valid ECDSA P-256 signature of `digest` by `publicKey`. False for a
// bad signature, a key that is no point of the curve, or a missing crypto library.
bool VerifyP256(const uint8_t (&publicKey)[kPublicKeySize], const uint8_t (&digest)[kSha256Size],
                const uint8_t (&signature)[kSignatureSize]);
