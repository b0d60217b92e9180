// AES-128 decryption with the processor's AES instructions (AES-NI). Compiled for every x86
// build; the functions carry their own target, so the rest of the program keeps its baseline
// instruction set and this code only runs after CpuHasAesInstructions() said yes.
#include "package/aes_instructions.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

bool CpuHasAesInstructions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    return (ecx & bit_AES) != 0 && (edx & bit_SSE2) != 0;
}

// Eight blocks go through the rounds side by side: AESDEC has a latency of several cycles but
// can start a new block every cycle, so independent blocks keep the unit busy.
constexpr size_t kLanes = 8;

__attribute__((target("aes,sse2"))) VELLORA_REALIGN_STACK
void AesNiDecryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out, size_t blocks)
{
    __m128i key[11];
    for (int r = 0; r < 11; ++r)
        key[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * r));

    size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        const __m128i* src = reinterpret_cast<const __m128i*>(in + 16 * i);
        __m128i* dst = reinterpret_cast<__m128i*>(out + 16 * i);
        __m128i b[kLanes];
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j)
            b[j] = _mm_xor_si128(_mm_loadu_si128(src + j), key[0]);
#pragma GCC unroll 9
        for (int r = 1; r < 10; ++r) {
#pragma GCC unroll 8
            for (size_t j = 0; j < kLanes; ++j)
                b[j] = _mm_aesdec_si128(b[j], key[r]);
        }
#pragma GCC unroll 8
        for (size_t j = 0; j < kLanes; ++j)
            _mm_storeu_si128(dst + j, _mm_aesdeclast_si128(b[j], key[10]));
    }
    for (; i < blocks; ++i) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)), key[0]);
        for (int r = 1; r < 10; ++r)
            b = _mm_aesdec_si128(b, key[r]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), _mm_aesdeclast_si128(b, key[10]));
    }
}

#else  // no x86: only the tables

bool CpuHasAesInstructions() { return false; }

void AesNiDecryptBlocks(const unsigned char*, const unsigned char*, unsigned char*, size_t) {}

#endif
