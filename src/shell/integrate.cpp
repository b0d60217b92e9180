#include "shell/integrate.h"

#include "common/fixed_string.h"
#include "common/win_handles.h"
#include "shell/directories.h"
#include "shell/shortcut.h"
#include "shell/shell_folder.h"
#include "shell/uninstall_entry.h"

#include <cstring>

bool MakeShortcutName(char* out, size_t size, const char* exeFileName)
{
    if (size == 0)
        return false;
    if (exeFileName == nullptr)
        exeFileName = "";
    const char* dot = strrchr(exeFileName, '.');  // '.' is never part of a double-byte character
    size_t length = dot ? static_cast<size_t>(dot - exeFileName) : strlen(exeFileName);
    if (length >= size) {
        out[0] = '\0';
        return false;
    }
    memcpy(out, exeFileName, length);
    out[length] = '\0';
    return true;
}

namespace {

// A path of the installation, or nothing when it does not fit: a cut path names another file.
struct DerivedPath {
    char text[MAX_PATH] = {};
    bool fitted = false;
    explicit operator bool() const { return fitted; }
};

void MakeGroupFolder(const char* gameName)
{
    ScopedComInit com;
    char group[MAX_PATH];
    if (com.ok() && PathInShortcutFolder(ShortcutFolder::Programs, gameName, "", group))
        MakeDirectoryPath(group);
}

}  // namespace

void IntegrateWithShell(const char* installDir, const char* gameName, const char* exeFileName,
                        const char* uninstallerName, const char* publisher, const char* contact)
{
    if (!installDir || !gameName || !exeFileName || !uninstallerName || !publisher || !contact)
        return;

    DerivedPath game, uninstaller, uninstallFile, shortcut, groupShortcut, groupUninstallShortcut;
    game.fitted = FormatString(game.text, "%s%s", installDir, exeFileName);
    uninstaller.fitted = FormatString(uninstaller.text, "%suninstall\\%s", installDir, uninstallerName);
    uninstallFile.fitted = FormatString(uninstallFile.text, "%suninstall\\uninstall.ini", installDir);

    if (uninstaller && uninstallFile)
        RegisterUninstallEntry(gameName, gameName, publisher, contact, uninstaller.text, uninstallFile.text);

    shortcut.fitted = MakeShortcutName(shortcut.text, exeFileName);
    if (shortcut) {
        groupShortcut.fitted = FormatString(groupShortcut.text, "%s\\%s", gameName, shortcut.text);
        groupUninstallShortcut.fitted = FormatString(groupUninstallShortcut.text, "%s\\%s卸载", gameName, shortcut.text);
        RemoveShortcut(shortcut.text, ShortcutFolder::Desktop, false);
        if (game)
            CreateShortcut(ShortcutFolder::Desktop, shortcut.text, game.text);
    }

    if (groupShortcut)
        RemoveShortcut(groupShortcut.text, ShortcutFolder::Programs, false);
    if (groupUninstallShortcut)
        RemoveShortcut(groupUninstallShortcut.text, ShortcutFolder::Programs, false);
    // The group folder of an earlier installation goes from both Start menus.
    RemoveShortcut(gameName, ShortcutFolder::Programs, true);
    RemoveShortcut(gameName, ShortcutFolder::CommonPrograms, true);

    MakeGroupFolder(gameName);
    if (groupShortcut && game)
        CreateShortcut(ShortcutFolder::Programs, groupShortcut.text, game.text);
    if (groupUninstallShortcut && uninstaller)
        CreateShortcut(ShortcutFolder::Programs, groupUninstallShortcut.text, uninstaller.text);
}
