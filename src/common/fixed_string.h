#pragma once
// Bounded copying and formatting into the fixed-size character buffers used everywhere
// (paths of 260 bytes, configuration values of 999, messages of 261).
//
// Every function here:
//   - always leaves a NUL-terminated string when the buffer has room for at least the NUL;
//   - never writes past `size` bytes;
//   - returns true when the whole text fitted and false when it had to be cut.
// Texts are GBK: a cut never leaves half of a double-byte character at the end.

#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define VELLORA_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define VELLORA_PRINTF(fmt_index, first_arg)
#endif

// Copies `src` (null counts as "") into `dst`.
bool CopyString(char* dst, size_t size, const char* src);

// Appends `src` to the string already in `dst`.
bool AppendString(char* dst, size_t size, const char* src);

// snprintf into `dst`.
bool FormatString(char* dst, size_t size, const char* format, ...) VELLORA_PRINTF(3, 4);
bool FormatStringV(char* dst, size_t size, const char* format, va_list args);

// Length of the longest prefix of the first `length` bytes of `text` that ends on a GBK
// character boundary (a lead byte 0x81..0xFE takes the next byte with it).
size_t GbkPrefixLength(const char* text, size_t length);

// Array forms: the size comes from the buffer itself.
template <size_t N>
bool CopyString(char (&dst)[N], const char* src) { return CopyString(dst, N, src); }

template <size_t N>
bool AppendString(char (&dst)[N], const char* src) { return AppendString(dst, N, src); }

template <size_t N>
VELLORA_PRINTF(2, 3) bool FormatString(char (&dst)[N], const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool fitted = FormatStringV(dst, N, format, args);
    va_end(args);
    return fitted;
}
