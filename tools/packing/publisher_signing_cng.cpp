// publisher_signing.h on Windows: CNG. The tools link bcrypt.dll directly; only the installer
// must load it by full path.
#include "packing/publisher_signing.h"

#include "common/unique_resource.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <cstring>

namespace {

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = UniqueResource<AlgorithmTraits>;

struct KeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { BCryptDestroyKey(h); }
};
using UniqueKey = UniqueResource<KeyTraits>;

// BCRYPT_ECCPRIVATE_BLOB of P-256: the header, then X, Y and d.
struct PrivateBlob {
    BCRYPT_ECCKEY_BLOB header;
    uint8_t point[kPublicKeySize];
    uint8_t scalar[kPrivateScalarSize];
    ~PrivateBlob() { WipeSecret(this, sizeof *this); }
};

std::string Failed(const char* what, NTSTATUS status)
{
    char code[16];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return std::string(what) + " (status " + code + ")";
}

bool OpenEcdsa(UniqueAlgorithm* algorithm, std::string* error)
{
    NTSTATUS status = BCryptOpenAlgorithmProvider(algorithm->put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (status != 0)
        *error = Failed("CNG has no ECDSA P-256", status);
    return status == 0;
}

}  // namespace

bool GenerateKeyPair(PrivateKey* key, std::string* error)
{
    UniqueAlgorithm algorithm;
    if (!OpenEcdsa(&algorithm, error))
        return false;
    UniqueKey made;
    NTSTATUS status = BCryptGenerateKeyPair(algorithm.get(), made.put(), 256, 0);
    if (status == 0)
        status = BCryptFinalizeKeyPair(made.get(), 0);
    if (status != 0) {
        *error = Failed("CNG could not make a P-256 key pair", status);
        return false;
    }
    PrivateBlob blob;
    ULONG size = 0;
    status = BCryptExportKey(made.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, reinterpret_cast<PUCHAR>(&blob),
                             sizeof blob, &size, 0);
    if (status != 0 || size != sizeof blob || blob.header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC ||
        blob.header.cbKey != kPrivateScalarSize) {
        *error = status != 0 ? Failed("CNG could not export the new key", status)
                             : std::string("CNG exported the new key in an unknown layout");
        return false;
    }
    memcpy(key->publicKey, blob.point, kPublicKeySize);
    memcpy(key->scalar, blob.scalar, kPrivateScalarSize);
    return true;
}

bool SignDigest(const PrivateKey& key, const uint8_t (&digest)[kSha256Size], uint8_t (&signature)[kSignatureSize],
                std::string* error)
{
    UniqueAlgorithm algorithm;
    if (!OpenEcdsa(&algorithm, error))
        return false;
    PrivateBlob blob;
    blob.header.dwMagic = BCRYPT_ECDSA_PRIVATE_P256_MAGIC;
    blob.header.cbKey = kPrivateScalarSize;
    memcpy(blob.point, key.publicKey, kPublicKeySize);
    memcpy(blob.scalar, key.scalar, kPrivateScalarSize);
    UniqueKey imported;
    NTSTATUS status = BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, imported.put(),
                                          reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0);
    if (status != 0) {
        *error = Failed("CNG refused the private key", status);
        return false;
    }
    ULONG size = 0;
    status = BCryptSignHash(imported.get(), nullptr, const_cast<PUCHAR>(digest), kSha256Size, signature,
                            kSignatureSize, &size, 0);
    if (status != 0 || size != kSignatureSize) {
        *error = status != 0 ? Failed("CNG could not sign", status)
                             : std::string("CNG made a signature of a wrong size");
        return false;
    }
    return true;
}
