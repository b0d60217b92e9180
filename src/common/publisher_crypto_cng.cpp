// publisher_crypto.h on Windows: CNG from the system directory.
#include "common/publisher_crypto.h"

#include "common/system_library.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

namespace {

struct CngApi {
    decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider;
    decltype(&::BCryptImportKeyPair) ImportKeyPair;
    decltype(&::BCryptVerifySignature) VerifySignature;
    decltype(&::BCryptDestroyKey) DestroyKey;
    BCRYPT_ALG_HANDLE ecdsa;  // stays open for the process, like the DLL
};

CngApi g_api = {};
INIT_ONCE g_loadOnce = INIT_ONCE_STATIC_INIT;
bool g_loaded = false;

BOOL CALLBACK LoadOnce(INIT_ONCE*, void*, void**)
{
    HMODULE bcrypt = LoadSystemLibrary("bcrypt.dll");
    CngApi& api = g_api;
    g_loaded = ResolveFunction(bcrypt, "BCryptOpenAlgorithmProvider", api.OpenAlgorithmProvider) &&
               ResolveFunction(bcrypt, "BCryptImportKeyPair", api.ImportKeyPair) &&
               ResolveFunction(bcrypt, "BCryptVerifySignature", api.VerifySignature) &&
               ResolveFunction(bcrypt, "BCryptDestroyKey", api.DestroyKey) &&
               api.OpenAlgorithmProvider(&api.ecdsa, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) == 0;
    return TRUE;
}

const CngApi* Cng()
{
    InitOnceExecuteOnce(&g_loadOnce, LoadOnce, nullptr, nullptr);
    return g_loaded ? &g_api : nullptr;
}

// The key as CNG takes it; null when it is no point of the curve or CNG cannot be had.
BCRYPT_KEY_HANDLE ImportKey(const CngApi& api, const uint8_t (&publicKey)[kPublicKeySize])
{
    struct {
        BCRYPT_ECCKEY_BLOB header;
        uint8_t point[kPublicKeySize];
    } blob;
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    memcpy(blob.point, publicKey, kPublicKeySize);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (api.ImportKeyPair(api.ecdsa, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, reinterpret_cast<PUCHAR>(&blob),
                          sizeof blob, 0) != 0)
        return nullptr;
    return key;
}

}  // namespace

bool UsableP256Key(const uint8_t (&publicKey)[kPublicKeySize])
{
    const CngApi* api = Cng();
    BCRYPT_KEY_HANDLE key = api ? ImportKey(*api, publicKey) : nullptr;
    if (key)
        api->DestroyKey(key);
    return key != nullptr;
}

bool VerifyP256(const uint8_t (&publicKey)[kPublicKeySize], const uint8_t (&digest)[kSha256Size],
                const uint8_t (&signature)[kSignatureSize])
{
    const CngApi* api = Cng();
    BCRYPT_KEY_HANDLE key = api ? ImportKey(*api, publicKey) : nullptr;
    if (!key)
        return false;
    const bool good = api->VerifySignature(key, nullptr, const_cast<PUCHAR>(digest), kSha256Size,
                                           const_cast<PUCHAR>(signature), kSignatureSize, 0) == 0;
    api->DestroyKey(key);
    return good;
}
