// publisher_signing.h off Windows: OpenSSL 3's libcrypto.
#include "packing/publisher_signing.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstring>

namespace {

const char kCurve[] = "prime256v1";

// OpenSSL's reason for the last failure, for the one line the tool prints.
std::string OpenSslReason(const char* what)
{
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    char reason[256];
    if (code == 0)
        return std::string(what);
    ERR_error_string_n(code, reason, sizeof reason);
    return std::string(what) + " (" + reason + ")";
}

// A big number as exactly 32 big-endian bytes: a short one is padded with zeros on the left.
bool Fixed32(const BIGNUM* number, uint8_t* out)
{
    return number && BN_bn2binpad(number, out, 32) == 32;
}

// The key OpenSSL signs with, built from d and the point.
EVP_PKEY* KeyFromData(const PrivateKey& key)
{
    unsigned char point[1 + kPublicKeySize];
    point[0] = 0x04;  // uncompressed
    memcpy(point + 1, key.publicKey, kPublicKeySize);
    BIGNUM* d = BN_secure_new();
    OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
    OSSL_PARAM* params = nullptr;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
    EVP_PKEY* made = nullptr;
    const bool built = d && build && context && BN_bin2bn(key.scalar, kPrivateScalarSize, d) &&
                       OSSL_PARAM_BLD_push_utf8_string(build, OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) == 1 &&
                       OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_PRIV_KEY, d) == 1 &&
                       OSSL_PARAM_BLD_push_octet_string(build, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point) == 1 &&
                       (params = OSSL_PARAM_BLD_to_param(build)) != nullptr && EVP_PKEY_fromdata_init(context) == 1 &&
                       EVP_PKEY_fromdata(context, &made, EVP_PKEY_KEYPAIR, params) == 1;
    if (!built) {
        EVP_PKEY_free(made);
        made = nullptr;
    }
    EVP_PKEY_CTX_free(context);
    OSSL_PARAM_free(params);  // the builder put d in secure memory, which frees cleared
    OSSL_PARAM_BLD_free(build);
    BN_clear_free(d);
    return made;
}

}  // namespace

bool GenerateKeyPair(PrivateKey* key, std::string* error)
{
    EVP_PKEY* made = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", kCurve);
    BIGNUM* d = nullptr;
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    const bool done = made && EVP_PKEY_get_bn_param(made, OSSL_PKEY_PARAM_PRIV_KEY, &d) == 1 &&
                      EVP_PKEY_get_bn_param(made, OSSL_PKEY_PARAM_EC_PUB_X, &x) == 1 &&
                      EVP_PKEY_get_bn_param(made, OSSL_PKEY_PARAM_EC_PUB_Y, &y) == 1 && Fixed32(d, key->scalar) &&
                      Fixed32(x, key->publicKey) && Fixed32(y, key->publicKey + 32);
    if (!done)
        *error = OpenSslReason("OpenSSL could not make a P-256 key pair");
    BN_clear_free(d);
    BN_free(x);
    BN_free(y);
    EVP_PKEY_free(made);
    return done;
}

bool SignDigest(const PrivateKey& key, const uint8_t (&digest)[kSha256Size], uint8_t (&signature)[kSignatureSize],
                std::string* error)
{
    EVP_PKEY* pkey = KeyFromData(key);
    EVP_PKEY_CTX* context = pkey ? EVP_PKEY_CTX_new(pkey, nullptr) : nullptr;
    unsigned char der[80];  // an ECDSA_SIG of P-256 takes at most 72 bytes
    size_t derSize = sizeof der;
    ECDSA_SIG* sig = nullptr;
    bool done = context && EVP_PKEY_sign_init(context) == 1 &&
                EVP_PKEY_sign(context, der, &derSize, digest, kSha256Size) == 1;
    if (done) {
        const unsigned char* read = der;
        sig = d2i_ECDSA_SIG(nullptr, &read, static_cast<long>(derSize));
        done = sig && Fixed32(ECDSA_SIG_get0_r(sig), signature) && Fixed32(ECDSA_SIG_get0_s(sig), signature + 32);
    }
    if (!done)
        *error = OpenSslReason(pkey ? "OpenSSL could not sign" : "OpenSSL refused the private key");
    ECDSA_SIG_free(sig);
    EVP_PKEY_CTX_free(context);
    EVP_PKEY_free(pkey);
    return done;
}
