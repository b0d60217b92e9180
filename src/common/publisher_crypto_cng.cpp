// publisher_crypto.h on Windows: CNG from the system directory.
#include "common/publisher_crypto.h"

#include "common/system_library.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

namespace {

struct CngApi {
    decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider;
    decltype(&::BCryptCreateHash) CreateHash;
    decltype(&::BCryptHashData) HashData;
    decltype(&::BCryptFinishHash) FinishHash;
    decltype(&::BCryptDestroyHash) DestroyHash;
    decltype(&::BCryptImportKeyPair) ImportKeyPair;
    decltype(&::BCryptVerifySignature) VerifySignature;
    decltype(&::BCryptDestroyKey) DestroyKey;
    BCRYPT_ALG_HANDLE sha256;  // providers stay open for the process, like the DLL
    BCRYPT_ALG_HANDLE ecdsa;
};

CngApi g_api = {};
INIT_ONCE g_loadOnce = INIT_ONCE_STATIC_INIT;
bool g_loaded = false;

BOOL CALLBACK LoadOnce(INIT_ONCE*, void*, void**)
{
    HMODULE bcrypt = LoadSystemLibrary("bcrypt.dll");
    CngApi& api = g_api;
    g_loaded = ResolveFunction(bcrypt, "BCryptOpenAlgorithmProvider", api.OpenAlgorithmProvider) &&
               ResolveFunction(bcrypt, "BCryptCreateHash", api.CreateHash) &&
               ResolveFunction(bcrypt, "BCryptHashData", api.HashData) &&
               ResolveFunction(bcrypt, "BCryptFinishHash", api.FinishHash) &&
               ResolveFunction(bcrypt, "BCryptDestroyHash", api.DestroyHash) &&
               ResolveFunction(bcrypt, "BCryptImportKeyPair", api.ImportKeyPair) &&
               ResolveFunction(bcrypt, "BCryptVerifySignature", api.VerifySignature) &&
               ResolveFunction(bcrypt, "BCryptDestroyKey", api.DestroyKey) &&
               api.OpenAlgorithmProvider(&api.sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
               api.OpenAlgorithmProvider(&api.ecdsa, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) == 0;
    return TRUE;
}

const CngApi* Cng()
{
    InitOnceExecuteOnce(&g_loadOnce, LoadOnce, nullptr, nullptr);
    return g_loaded ? &g_api : nullptr;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256()
{
    if (Cng())
        Reset();
}

Sha256::~Sha256()
{
    if (state_ && state_->hash)
        Cng()->DestroyHash(state_->hash);
}

bool Sha256::Reset()
{
    // BCryptCreateHash/HashData/FinishHash rather than BCryptHash, which is Windows 10's.
    if (!Cng())
        return false;
    if (!state_)
        state_.reset(new State);
    if (state_->hash)
        Cng()->DestroyHash(state_->hash);
    state_->hash = nullptr;
    if (Cng()->CreateHash(g_api.sha256, &state_->hash, nullptr, 0, nullptr, 0, 0) != 0) {
        state_.reset();
        return false;
    }
    return true;
}

bool Sha256::Update(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (state_ && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (Cng()->HashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0) != 0)
            return false;
        bytes += piece;
        size -= piece;
    }
    return state_ != nullptr;
}

bool Sha256::Final(uint8_t (&digest)[kSha256Size])
{
    if (!state_)
        return false;
    const bool done = Cng()->FinishHash(state_->hash, digest, kSha256Size, 0) == 0;
    return Reset() && done;
}

bool VerifyP256(const uint8_t (&publicKey)[kPublicKeySize], const uint8_t (&digest)[kSha256Size],
                const uint8_t (&signature)[kSignatureSize])
{
    const CngApi* api = Cng();
    if (!api)
        return false;
    struct {
        BCRYPT_ECCKEY_BLOB header;
        uint8_t point[kPublicKeySize];
    } blob;
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    memcpy(blob.point, publicKey, kPublicKeySize);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (api->ImportKeyPair(api->ecdsa, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, reinterpret_cast<PUCHAR>(&blob),
                           sizeof blob, 0) != 0)
        return false;
    const bool good = api->VerifySignature(key, nullptr, const_cast<PUCHAR>(digest), kSha256Size,
                                           const_cast<PUCHAR>(signature), kSignatureSize, 0) == 0;
    api->DestroyKey(key);
    return good;
}
