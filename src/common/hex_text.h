#pragma once
// Bytes written as hexadecimal text (keys, digests): two digits a byte, either case.
#include <cstddef>
#include <cstdint>

// Decodes exactly `size` bytes from `text`, which must hold 2 x size hex digits and nothing
// more. False, leaving `out` unspecified, otherwise.
bool DecodeHex(const char* text, uint8_t* out, size_t size);
