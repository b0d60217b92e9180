#pragma once
// Numbers written as text in the files the installer reads and the answers it gets: bytes as
// hexadecimal (keys, digests), byte counts as decimal, dates, and a resumed answer's byte range.
// The publisher's tools read them with the same code, so that they accept exactly what the
// installer accepts.
#include <cstddef>
#include <cstdint>

// Decodes exactly `size` bytes from the `length` characters at `text`, which must be 2 x size
// hex digits (either case) and nothing more. False, leaving `out` unspecified, otherwise.
bool DecodeHex(const char* text, size_t length, uint8_t* out, size_t size);

// The decimal digits at the start of `text` (no sign, no blanks) as a number; `*end` points past
// them. False when there are none or the number does not fit 64 bits.
bool ParseDecimal(const char* text, const char** end, uint64_t* value);

// "YYYY-MM-DD" of a day the calendar has (29 February in leap years only), and nothing more.
bool ParseDate(const char* text, int* year, int* month, int* day);

// "bytes <first>-<last>/<total>" of a 206 answer, with first <= last < total.
bool ParseContentRange(const char* text, uint64_t* first, uint64_t* total);
