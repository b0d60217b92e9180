#pragma once
// MD5 message digest (RFC 1321), used to derive the package key from the built-in password.
#include <cstddef>
#include <cstdint>

class MD5_CTX {
public:
    MD5_CTX();
    virtual ~MD5_CTX();

    // Absorbs `length` bytes.
    void Update(const unsigned char* input, size_t length);
    // Writes the 16-byte digest and returns the object to its initial state for a new message.
    void Final(unsigned char digest[16]);

    uint32_t state[4];          // chaining words
    uint32_t count[2];          // message length in bits, low word first
    unsigned char buffer[64];   // the not yet compressed part of the current block
    unsigned char PADDING[64];  // 0x80 and 63 zero bytes

private:
    void Init();
    void Transform(const unsigned char block[64]);
};
