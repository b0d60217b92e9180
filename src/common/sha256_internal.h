#pragma once
// Shared by the two halves of the SHA-256 code (sha256.cpp, sha256_instructions.cpp).
#include <cstddef>
#include <cstdint>

// The 64 round constants, 16-byte aligned.
extern const uint32_t kSha256Rounds[64];

// The SHA-NI compression: `count` 64-byte blocks into `state`. Only after CpuHasShaInstructions().
void Sha256CompressWithInstructions(uint32_t state[8], const uint8_t* blocks, size_t count);
