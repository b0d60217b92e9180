// AES-128 encryption: a compact byte-oriented cipher and the AES-NI one.
#include "packing/aes_encrypt.h"

#include "package/aes_instructions.h"

#include <cstring>

namespace {

struct Sbox {
    unsigned char value[256];
    Sbox()
    {
        // Powers and logarithms of the generator 3 give the multiplicative inverses.
        unsigned char power[256];
        unsigned char logarithm[256] = {};
        unsigned x = 1;
        for (int i = 0; i < 256; ++i) {
            power[i] = static_cast<unsigned char>(x);
            logarithm[x] = static_cast<unsigned char>(i);
            x ^= (x << 1) ^ ((x & 0x80) ? 0x11B : 0);
        }
        for (int i = 0; i < 256; ++i) {
            unsigned inverse = i == 0 ? 0 : power[255 - logarithm[i]];
            unsigned s = inverse;
            for (int shift = 1; shift <= 4; ++shift)
                s ^= ((inverse << shift) | (inverse >> (8 - shift))) & 0xFF;
            value[i] = static_cast<unsigned char>(s ^ 0x63);
        }
    }
};

const Sbox& TheSbox()
{
    static const Sbox sbox;
    return sbox;
}

inline unsigned char Times2(unsigned char x)
{
    return static_cast<unsigned char>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

void EncryptPortable(const unsigned char* w, const unsigned char* sbox, unsigned char* s)
{
    for (int i = 0; i < 16; ++i)
        s[i] ^= w[i];
    for (int round = 1; round <= 10; ++round) {
        unsigned char t[16];
        for (int i = 0; i < 16; ++i)  // SubBytes + ShiftRows: row r of column c comes from column c + r
            t[i] = sbox[s[(i + 4 * (i % 4)) % 16]];
        if (round < 10) {
            for (int c = 0; c < 16; c += 4) {  // MixColumns
                unsigned char a0 = t[c], a1 = t[c + 1], a2 = t[c + 2], a3 = t[c + 3];
                unsigned char all = a0 ^ a1 ^ a2 ^ a3;
                t[c] ^= all ^ Times2(a0 ^ a1);
                t[c + 1] ^= all ^ Times2(a1 ^ a2);
                t[c + 2] ^= all ^ Times2(a2 ^ a3);
                t[c + 3] ^= all ^ Times2(a3 ^ a0);
            }
        }
        for (int i = 0; i < 16; ++i)
            s[i] = t[i] ^ w[16 * round + i];
    }
}

}  // namespace

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#include <wmmintrin.h>

namespace {

constexpr size_t kLanes = 8;  // independent blocks keep the AES unit busy

__attribute__((target("aes,sse2"))) VELLORA_REALIGN_STACK
void EncryptWithInstructions(const unsigned char* roundKeys, unsigned char* data, size_t blocks)
{
    __m128i key[11];
    for (int r = 0; r < 11; ++r)
        key[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * r));
    size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        __m128i* p = reinterpret_cast<__m128i*>(data + 16 * i);
        __m128i b[kLanes];
        for (size_t j = 0; j < kLanes; ++j)
            b[j] = _mm_xor_si128(_mm_loadu_si128(p + j), key[0]);
        for (int r = 1; r < 10; ++r) {
            for (size_t j = 0; j < kLanes; ++j)
                b[j] = _mm_aesenc_si128(b[j], key[r]);
        }
        for (size_t j = 0; j < kLanes; ++j)
            _mm_storeu_si128(p + j, _mm_aesenclast_si128(b[j], key[10]));
    }
    for (; i < blocks; ++i) {
        __m128i* p = reinterpret_cast<__m128i*>(data + 16 * i);
        __m128i b = _mm_xor_si128(_mm_loadu_si128(p), key[0]);
        for (int r = 1; r < 10; ++r)
            b = _mm_aesenc_si128(b, key[r]);
        _mm_storeu_si128(p, _mm_aesenclast_si128(b, key[10]));
    }
}

}  // namespace
#else
namespace {
void EncryptWithInstructions(const unsigned char*, unsigned char*, size_t) {}
}  // namespace
#endif

void AesSetEncryptKey(AesEncryptContext* context, const unsigned char key[16])
{
    const unsigned char* sbox = TheSbox().value;
    unsigned char* w = context->roundKeys;
    memcpy(w, key, 16);
    unsigned char roundConstant = 1;
    for (int i = 16; i < 176; i += 4) {
        unsigned char t[4] = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
        if (i % 16 == 0) {  // RotWord, SubWord and the round constant
            unsigned char first = t[0];
            t[0] = static_cast<unsigned char>(sbox[t[1]] ^ roundConstant);
            t[1] = sbox[t[2]];
            t[2] = sbox[t[3]];
            t[3] = sbox[first];
            roundConstant = Times2(roundConstant);
        }
        for (int j = 0; j < 4; ++j)
            w[i + j] = static_cast<unsigned char>(w[i - 16 + j] ^ t[j]);
    }
    context->instructions = CpuHasAesInstructions();
}

void AesUsePortableCode(AesEncryptContext* context) { context->instructions = false; }

void AesEncryptBlocks(const AesEncryptContext* context, unsigned char* data, size_t blocks)
{
    if (context->instructions) {
        EncryptWithInstructions(context->roundKeys, data, blocks);
        return;
    }
    const unsigned char* sbox = TheSbox().value;
    for (size_t i = 0; i < blocks; ++i)
        EncryptPortable(context->roundKeys, sbox, data + 16 * i);
}
