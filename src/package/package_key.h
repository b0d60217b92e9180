#pragma once
// The built-in package password and the derivation of the 16-byte AES key from it.

// The password every package is encrypted with.
constexpr char PackagePassword[] = "582914";

// Writes the key for the NUL-terminated `password` to `key` (16 bytes): its MD5 digest, where a
// zero byte at index i first becomes i and then every third byte (i = 0, 3, ..., 15) is XORed with
// 0x11.
void DerivePackageKey(const char* password, unsigned char key[16]);
