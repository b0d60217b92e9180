#pragma once
// The AES-NI half of aes_decrypt.cpp: only called once the CPU is known to have the instructions.
#include <cstddef>

// True when CPUID reports AES and SSE2.
bool CpuHasAesInstructions();

// `roundKeys`: 11 round keys of 16 bytes in inverse-cipher order (AESDEC form).
void AesNiDecryptBlocks(const unsigned char* roundKeys, const unsigned char* in, unsigned char* out, size_t blocks);
