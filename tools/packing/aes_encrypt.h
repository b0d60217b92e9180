#pragma once
// AES-128 encryption of single 16-byte blocks, each on its own (no chaining): the publisher's side
// of the package cipher. The installer itself only decrypts (src/package/aes_decrypt.h).
#include <cstddef>

struct AesEncryptContext {
    unsigned char roundKeys[11 * 16];  // the FIPS-197 key schedule, in memory byte order
    bool instructions;                 // AES-NI, when the processor has it
};

// Expands `key` (16 bytes) and picks the processor's AES instructions when they are there.
void AesSetEncryptKey(AesEncryptContext* context, const unsigned char key[16]);

// Makes `context` use the portable code (tests compare the two ways).
void AesUsePortableCode(AesEncryptContext* context);

// Encrypts `blocks` consecutive blocks in place.
void AesEncryptBlocks(const AesEncryptContext* context, unsigned char* data, size_t blocks);
