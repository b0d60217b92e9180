#pragma once
// The shell steps of an installation, run once the game's files are in place.
#include <cstddef>

// The shortcut name of a game executable: its file name cut before the last "." (game.exe gives
// game, my.game.exe gives my.game); a name without "." is used whole. False, leaving `out`
// empty, when the name does not fit `size` bytes.
bool MakeShortcutName(char* out, size_t size, const char* exeFileName);

template <size_t N>
bool MakeShortcutName(char (&out)[N], const char* exeFileName)
{
    return MakeShortcutName(out, N, exeFileName);
}

// Registers the uninstaller and replaces the shortcuts, in this order:
//   the uninstall entry named after the game, whose command line passes the uninstall file
//   ("<installDir>uninstall\uninstall.ini") to "<installDir>uninstall\<uninstallerName>";
//   the desktop shortcut to "<installDir><exeFileName>" (an old one removed first);
//   the Start-menu group named after the game: old shortcuts and the whole old group removed
//   from both Start menus, the folder made anew, then the shortcut to the game and the
//   shortcut "<shortcut name>卸载" to the uninstaller.
// `installDir` ends with a backslash. Nothing is reported: a step that fails, or whose path does
// not fit 259 characters, leaves its one item missing and the next step goes on.
void IntegrateWithShell(const char* installDir, const char* gameName, const char* exeFileName,
                        const char* uninstallerName, const char* publisher, const char* contact);
