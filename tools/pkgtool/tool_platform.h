#pragma once
// What pkgtool needs from the system beyond stdio: folder listings and creation, temporary files,
// files only their owner may read, file identity, terminals and the GBK code page. POSIX and Win32
// (ANSI: GBK names) halves.
#include <cstdint>
#include <string>
#include <vector>

struct FolderItem {
    std::string name;  // as the system spells it (GBK on Windows)
    bool folder = false;
    uint64_t size = 0;
};

// The items of a folder, without "." and "..", in byte order of their names.
bool ListFolder(const std::string& path, std::vector<FolderItem>* items, std::string* error);

enum class PathKind { Missing, File, Folder };
PathKind KindOfPath(const std::string& path);

// Creates `path` and the folders on the way to it.
bool MakeFolders(const std::string& path);

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// Creates an empty temporary file and returns its path ("" and `*error` on failure).
std::string MakeTemporaryFile(std::string* error);

bool RemovePath(const std::string& path);

// Creates `path`, which must not exist yet, holding `bytes`, on the disk before it returns.
// `ownerOnly`: only the current user may open it (mode 0600; on Windows a protected DACL with one
// entry, the user's). An existing file is never touched.
bool CreateNewFile(const std::string& path, const std::string& bytes, bool ownerOnly, std::string* error);

bool StderrIsTerminal();

// "/" or "\\": how this system joins a folder and a name.
const char* NativeSeparator();

// `utf8` in the GBK code page (936), the one every text of the installer's files is read in. False
// when `utf8` is no UTF-8 or holds a character that GBK has no code for.
bool Utf8ToGbk(const std::string& utf8, std::string* gbk);

// A game's name from the command line, in UTF-8, the form signatures bind (Windows passes the
// command line in the ANSI code page).
std::string GameNameArgument(const char* argument);
