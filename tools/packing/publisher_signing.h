#pragma once
// The private half of the publisher's signatures, which only the tools hold: making a P-256 key
// pair and signing a digest. The installer only verifies (common/publisher_crypto.h). Windows:
// CNG; elsewhere: OpenSSL's libcrypto. Keys and signatures have the byte layouts of
// publisher_crypto.h, so either backend's output checks with either VerifyP256.
#include "common/publisher_crypto.h"

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kPrivateScalarSize = 32;

// A key pair in memory. Its bytes are wiped when it goes; it is never copied.
struct PrivateKey {
    uint8_t publicKey[kPublicKeySize] = {};     // X || Y, big-endian
    uint8_t scalar[kPrivateScalarSize] = {};    // d, big-endian

    PrivateKey() = default;
    ~PrivateKey();
    PrivateKey(const PrivateKey&) = delete;
    PrivateKey& operator=(const PrivateKey&) = delete;
};

// Overwrites secret bytes in a way the compiler may not drop as a dead store.
void WipeSecret(void* bytes, size_t size);

// A fresh key pair from the system's random source. `error` says why not.
bool GenerateKeyPair(PrivateKey* key, std::string* error);

// Signs `digest` with d alone (the point is not consulted; LoadPrivateKey checks that they agree).
bool SignDigest(const PrivateKey& key, const uint8_t (&digest)[kSha256Size], uint8_t (&signature)[kSignatureSize],
                std::string* error);
