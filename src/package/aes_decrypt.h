#pragma once
// AES-128 decryption of single 16-byte blocks (no chaining), the package cipher.
//
// Two interchangeable ways give the same bytes: lookup tables, built from GF(2^8) arithmetic at
// the first key setup, and the processor's AES instructions, chosen at key setup when the CPU
// has them.
#include <cstddef>
#include <cstdint>

enum class AesPath {
    Tables,
    Instructions,  // AES-NI
};

struct AesDecryptContext {
    // The inverse-cipher key schedule: the last encryption round key first, the middle nine passed
    // through InvMixColumns, the first one last. Big-endian words, four per round.
    uint32_t roundKeys[44];
    int rounds;  // always 10
    // The same round keys in memory byte order, as the AES instructions take them.
    unsigned char roundKeyBytes[11 * 16];
    AesPath path;
};

// True when the processor (and this build) can run `path`.
bool AesPathAvailable(AesPath path);

// Expands `key` (16 bytes) into `context` and picks the fastest available path. The first call
// builds the shared tables; concurrent first calls are safe.
void AesSetDecryptKey(AesDecryptContext* context, const unsigned char key[16]);

// Makes `context` use `path` (tests and benchmarks compare the two). False, and nothing changed,
// when the path is not available.
bool AesSelectPath(AesDecryptContext* context, AesPath path);

// Decrypts one block; `in` and `out` may be the same memory.
void AesDecryptBlock(const AesDecryptContext* context, const unsigned char in[16], unsigned char out[16]);

// Decrypts `blocks` consecutive blocks in place, each one on its own.
void AesDecryptBlocks(const AesDecryptContext* context, unsigned char* data, size_t blocks);
