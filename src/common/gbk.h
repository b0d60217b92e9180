#pragma once
// Walking GBK text a character at a time, without the system's code-page tables (portable).
//
// A double-byte character is a lead byte (0x81..0xFE) and a trail byte (0x40..0xFE but 0x7F). Its
// trail byte may have the value of an ASCII character that means something in a path: 誠 is D5 5C
// (a backslash), 東 is 96 7C (a bar), 236 characters in all. A byte-by-byte search would split
// such a name into folders, or refuse it; every search for a separator steps over whole
// characters, as the system's own ANSI file functions read them.
#include <cstddef>

constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool IsGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Bytes taken by the character at `text`: 2 for a lead byte followed by a trail byte, otherwise
// 1 (the terminator, a single-byte character, and a lone lead byte).
inline size_t GbkCharWidth(const char* text)
{
    return IsGbkLeadByte(static_cast<unsigned char>(text[0])) && IsGbkTrailByte(static_cast<unsigned char>(text[1]))
               ? 2
               : 1;
}

// True when the byte at `text` is a lead byte without its trail byte.
inline bool IsLoneGbkLeadByte(const char* text)
{
    return IsGbkLeadByte(static_cast<unsigned char>(text[0])) && GbkCharWidth(text) == 1;
}

// The first and the last single-byte character `c` of `text` (not the trail byte of a
// double-byte one), or nullptr.
const char* FindGbkChar(const char* text, char c);
const char* FindLastGbkChar(const char* text, char c);

// Length of `text` without its trailing characters `c` (whole characters only).
size_t GbkLengthWithout(const char* text, size_t length, char c);
