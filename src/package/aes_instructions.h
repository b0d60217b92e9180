#pragma once
// The AES-NI half of aes_decrypt.cpp: only called once the CPU is known to have the instructions.
#include <cstddef>

// 32-bit Windows promises only 4-byte stack alignment on thread entry, while the SSE spills of
// code using the AES instructions need 16: such functions realign on the way in.
#if defined(__i386__)
#define VELLORA_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define VELLORA_REALIGN_STACK
#endif

// True when CPUID reports AES and SSE2.
bool CpuHasAesInstructions();

// `roundKeys`: 11 round keys of 16 bytes in inverse-cipher order (AESDEC form).
void AesNiDecryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out, size_t blocks);
