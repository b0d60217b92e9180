#pragma once
// The rules by which the installer window picks the folder it installs into.
#include "install/install_job.h"

// The value of the "-path " option in a command line: the text after the first "-path " (the
// space included) that starts on a character of its own (the scan steps over GBK double-byte
// characters), up to the end of the line, unchanged. nullptr when there is none.
const char* FindPathOption(const char* commandLine);

enum class PathOption {
    Absent,   // no "-path " in the command line
    Taken,    // the value is in `value`
    TooLong,  // the value has more than 259 characters: not used (a cut path names another folder)
    Empty,    // nothing follows the option: no folder, not used (the job would write beside the
              // current directory or in the root of its drive)
};
PathOption TakePathOption(const char* commandLine, char (&value)[kPathSize]);

// "<drive root>Program Files\<game name>\" from the system directory's first three characters.
// False, leaving `path` empty, when it does not fit 259 characters (a game name of more than 241).
bool FormatDefaultPath(char (&path)[kPathSize], const char* systemDirectory, const char* gameName);

// True when `path` holds a character that no file or folder name may hold: a control character
// (a tab typed into the path edit goes into its text), one of < > " | ? *, or a colon anywhere but
// after the drive letter. Double-byte characters are stepped over whole: a GBK trail byte may have
// the value of "|".
bool HasForbiddenPathCharacter(const char* path);

// The folder to install into for a folder the user picked (`candidate`, ending with a
// separator): the game's own folder below it, unless the candidate already ends with the game
// name. A result that would not fit 259 characters leaves `chosen` as it was; returns whether
// `chosen` was set.
bool ComposeInstallPath(const char* candidate, const char* gameName, char (&chosen)[kPathSize]);
