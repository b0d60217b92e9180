#pragma once
// Entry names of a package as paths below the installation directory.
//
// A name's first component is the package's top-level folder; the rest, backslash-separated, is
// where the entry goes below the installation directory. A package comes from a server, so the
// rest is checked before anything is created: it must stay below the installation directory and
// name a plain file (or a folder) there, on Windows as well as in the native build.

// The part of `name` from its first backslash on (a character of its own, not a trail byte), that
// backslash included; "" when `name` holds none. Points into `name`.
const char* StripRootComponent(const char* name);

enum class EntryTarget {
    File,       // a plain file below the installation directory
    Directory,  // the installation directory itself ("") or a folder ("\a\b\"): nothing to write
    Refused,    // could leave the installation directory or name something else than a file
};

// What `relative` (as StripRootComponent gives it: "" or a backslash followed by the components)
// may be written as. Refused are:
//   - empty components (doubled backslashes, or a second leading one: "\\server\share");
//   - "." and ".." and every component ending in a dot or a space (Windows drops those, so
//     "...", "a." and "a " alias other names);
//   - control characters and the characters Windows does not allow in names: / : * ? " < > |
//     ("/" is a separator to Windows, ":" names a drive or an alternate data stream);
//   - device names (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$), also with an extension
//     or spaces before it ("nul.txt", "con .log"), in any case.
//   - a lead byte without its trail byte.
// The check goes character by character: the trail byte of a GBK double-byte character is never a
// separator or a forbidden character (誠 is D5 5C, 東 is 96 7C).
EntryTarget ClassifyEntryPath(const char* relative);

// An entry whose own part (below the top-level folder) holds ".7z" is a nested archive: it is
// decoded once more into its path up to the first ".7z", followed by ".r", and is not itself left
// on disk.
constexpr char kNestedMark[] = ".7z";
constexpr char kNestedSuffix[] = ".r";
