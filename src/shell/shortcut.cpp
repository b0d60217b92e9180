#include "shell/shortcut.h"

#include "common/fixed_string.h"
#include "common/win_handles.h"
#include "shell/directories.h"
#include "shell/path_chars.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>

namespace {

// The working directory of a shortcut to `target`: the target's folder (its last backslash
// dropped), with the first character, the drive letter, upper-cased in the current locale.
bool MakeWorkingDirectory(char (&out)[MAX_PATH], const char* target)
{
    if (!CopyString(out, target))
        return false;
    char drive[2] = {out[0], '\0'};
    _strupr(drive);
    out[0] = drive[0];
    if (char* last = FindLastBackslash(out))
        *last = '\0';
    return true;
}

}  // namespace

void RemoveShortcut(const char* name, ShortcutFolder folder, bool group)
{
    if (name == nullptr || (group && !NamesItemBelowFolder(name)))
        return;
    ScopedComInit com;
    char path[MAX_PATH];
    if (!com.ok() || !PathInShortcutFolder(folder, name, group ? "" : ".lnk", path))
        return;
    if (group)
        DeleteDirectoryTree(path);
    else
        DeleteFileA(path);
}

void CreateShortcut(ShortcutFolder folder, const char* name, const char* target)
{
    if (name == nullptr || target == nullptr)
        return;
    ScopedComInit com;
    char linkPath[MAX_PATH];
    char workingDir[MAX_PATH];
    if (!com.ok() || !PathInShortcutFolder(folder, name, ".lnk", linkPath) || !MakeWorkingDirectory(workingDir, target))
        return;

    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())))
        return;
    link->SetPath(target);
    link->SetWorkingDirectory(workingDir);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())))
        return;
    wchar_t wideLinkPath[MAX_PATH];
    if (MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED, linkPath, -1, wideLinkPath, MAX_PATH) == 0)
        return;
    file->Save(wideLinkPath, FALSE);
}
