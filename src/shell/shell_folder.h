#pragma once
// The special folders in which shortcuts and Start-menu groups live.
#include <windows.h>

enum class ShortcutFolder : int {
    Desktop = 0,         // the current user's desktop directory; also any value but 1 and 2
    Programs = 1,        // the current user's Start-menu Programs folder
    CommonPrograms = 2,  // the all-users Start-menu Programs folder
};

// Resolves `folder` to its file-system path, without a trailing backslash. The caller has
// initialised COM on this thread. False when the shell cannot name the folder.
bool ResolveShortcutFolder(ShortcutFolder folder, char (&path)[MAX_PATH]);

// "<folder path>\<name><suffix>" into `out`. The caller has initialised COM on this thread.
// False when the folder cannot be named or the path does not fit: a cut path names another file.
bool PathInShortcutFolder(ShortcutFolder folder, const char* name, const char* suffix, char (&out)[MAX_PATH]);
