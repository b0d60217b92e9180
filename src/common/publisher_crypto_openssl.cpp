// publisher_crypto.h off Windows: OpenSSL's libcrypto (the publisher's tools on Linux).
#include "common/publisher_crypto.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

namespace {

// The key as OpenSSL takes it (the point as 04 || X || Y); null when it is no point of the curve.
EVP_PKEY* ImportKey(const uint8_t (&publicKey)[kPublicKeySize])
{
    unsigned char point[1 + kPublicKeySize];
    point[0] = 0x04;
    for (size_t i = 0; i < kPublicKeySize; ++i)
        point[1 + i] = publicKey[i];
    OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
    OSSL_PARAM* params = nullptr;
    EVP_PKEY_CTX* fromData = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
    EVP_PKEY* key = nullptr;
    if (build && fromData &&
        OSSL_PARAM_BLD_push_utf8_string(build, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) == 1 &&
        OSSL_PARAM_BLD_push_octet_string(build, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point) == 1 &&
        (params = OSSL_PARAM_BLD_to_param(build)) != nullptr && EVP_PKEY_fromdata_init(fromData) == 1 &&
        EVP_PKEY_fromdata(fromData, &key, EVP_PKEY_PUBLIC_KEY, params) != 1)
        key = nullptr;
    EVP_PKEY_CTX_free(fromData);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(build);
    return key;
}

}  // namespace

bool UsableP256Key(const uint8_t (&publicKey)[kPublicKeySize])
{
    EVP_PKEY* key = ImportKey(publicKey);
    EVP_PKEY_free(key);
    return key != nullptr;
}

bool VerifyP256(const uint8_t (&publicKey)[kPublicKeySize], const uint8_t (&digest)[kSha256Size],
                const uint8_t (&signature)[kSignatureSize])
{
    bool good = false;
    EVP_PKEY* key = ImportKey(publicKey);
    EVP_PKEY_CTX* verify = nullptr;
    ECDSA_SIG* sig = ECDSA_SIG_new();
    BIGNUM* r = BN_bin2bn(signature, 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature + 32, 32, nullptr);
    unsigned char* der = nullptr;
    if (key && sig && r && s && ECDSA_SIG_set0(sig, r, s) == 1) {
        r = s = nullptr;  // owned by sig now
        const int derSize = i2d_ECDSA_SIG(sig, &der);
        verify = EVP_PKEY_CTX_new(key, nullptr);
        good = derSize > 0 && verify && EVP_PKEY_verify_init(verify) == 1 &&
               EVP_PKEY_verify(verify, der, static_cast<size_t>(derSize), digest, kSha256Size) == 1;
    }
    OPENSSL_free(der);
    BN_free(r);
    BN_free(s);
    ECDSA_SIG_free(sig);
    EVP_PKEY_CTX_free(verify);
    EVP_PKEY_free(key);
    return good;
}
