// SHA-256 compression with the processor's SHA instructions (SHA-NI). The functions carry their
// own target, so the rest of the program keeps its baseline instruction set; this code runs only
// after CpuHasShaInstructions() said yes.
#include "common/sha256.h"
#include "common/sha256_internal.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

bool CpuHasShaInstructions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_SSSE3) || !(ecx & bit_SSE4_1))
        return false;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_SHA) != 0;
}

// 32-bit Windows promises only 4-byte stack alignment on thread entry: realign on the way in.
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
__attribute__((target("sha,sse4.1,ssse3"))) void Sha256CompressWithInstructions(uint32_t state[8], const uint8_t* blocks,
                                                                                size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions keep the state as ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);  // CDAB
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);  // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);   // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);        // CDGH

    for (; count > 0; --count, blocks += 64) {
        const __m128i savedAbef = state0, savedCdgh = state1;
        __m128i w[4];  // message words, four a group, rotating through the 16 groups
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i words = _mm_add_epi32(w[g & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * g)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, words);
            words = _mm_shuffle_epi32(words, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, words);
            // Group g + 4 from groups g .. g + 3, in the slot that group g leaves.
            if (g < 12) {
                const __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(w[g & 3], w[(g + 1) & 3]),
                                                  _mm_alignr_epi8(w[(g + 3) & 3], w[(g + 2) & 3], 4));
                w[g & 3] = _mm_sha256msg2_epu32(sum, w[(g + 3) & 3]);
            }
        }
        state0 = _mm_add_epi32(state0, savedAbef);
        state1 = _mm_add_epi32(state1, savedCdgh);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);          // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);       // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);    // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);       // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

#else  // no x86: only the portable code

bool CpuHasShaInstructions() { return false; }

void Sha256CompressWithInstructions(uint32_t*, const uint8_t*, size_t) {}

#endif
