#pragma once
// Numbers written as text in the files the installer reads: bytes as hexadecimal (keys, digests)
// and byte counts as decimal.
#include <cstddef>
#include <cstdint>

// Decodes exactly `size` bytes from the `length` characters at `text`, which must be 2 x size
// hex digits (either case) and nothing more. False, leaving `out` unspecified, otherwise.
bool DecodeHex(const char* text, size_t length, uint8_t* out, size_t size);

// The decimal digits at the start of `text` (no sign, no blanks) as a number; `*end` points past
// them. False when there are none or the number does not fit 64 bits.
bool ParseDecimal(const char* text, const char** end, uint64_t* value);
