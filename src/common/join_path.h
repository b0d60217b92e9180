#pragma once
#include <cstddef>

// Forms the path of `relative` below `directory` into `out` (`size` bytes).
//   - An empty (or null) relative name yields the directory unchanged, trailing backslashes kept.
//   - Otherwise every trailing backslash of the directory and every leading backslash of the
//     name is dropped, and the two are joined with one backslash.
// Only the backslash counts as a separator. Returns false, leaving `out` empty, when the result
// does not fit: a cut path would name some other file.
bool JoinPath(char* out, size_t size, const char* directory, const char* relative);

template <size_t N>
bool JoinPath(char (&out)[N], const char* directory, const char* relative)
{
    return JoinPath(out, N, directory, relative);
}
