#pragma once
// Walking 8-bit paths in the ANSI code page (GBK). The second byte of a double-byte character may
// have the value of a backslash (衆 is D0 5C), so every scan for a separator steps over whole
// characters, as the system's own ANSI file functions read them.
#include <cstddef>

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Bytes taken by the character at `text` (1 or 2; 1 for the terminator).
size_t CharWidth(const char* text);

// The last backslash of `text` that is a character of its own, or nullptr.
char* FindLastBackslash(char* text);

// True when the last character of `text` is a backslash or a forward slash.
bool EndsWithSeparator(const char* text);

// True when `name`, joined to a folder, may name something outside it: it holds a colon (a drive
// or a stream) or a part between separators that is "..".
bool MayLeadOutOfFolder(const char* name);

// True when `name`, taken relative to a folder, names something of its own below that folder:
// not empty, not leading out of it, and no part between separators that is empty or ".". So
// "a\b" and "a/b" pass; "", "\a", "a\", ".", "..\a", "a\..\..\b" and "C:a" fail.
bool NamesItemBelowFolder(const char* name);
