#include "shell/shell_folder.h"

#include "common/fixed_string.h"
#include "common/unique_resource.h"

#include <shlobj.h>

namespace {

struct ItemIdListTraits {  // item-identifier lists handed out by the shell's allocator
    using Type = LPITEMIDLIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type list) noexcept { CoTaskMemFree(list); }
};
using UniqueItemIdList = UniqueResource<ItemIdListTraits>;

int FolderId(ShortcutFolder folder)
{
    switch (folder) {
    case ShortcutFolder::Programs:
        return CSIDL_PROGRAMS;
    case ShortcutFolder::CommonPrograms:
        return CSIDL_COMMON_PROGRAMS;
    default:
        return CSIDL_DESKTOPDIRECTORY;
    }
}

}  // namespace

bool ResolveShortcutFolder(ShortcutFolder folder, char (&path)[MAX_PATH])
{
    path[0] = '\0';
    UniqueItemIdList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, FolderId(folder), list.put())) || !list)
        return false;
    if (!SHGetPathFromIDListA(list.get(), path)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool PathInShortcutFolder(ShortcutFolder folder, const char* name, const char* suffix, char (&out)[MAX_PATH])
{
    char folderPath[MAX_PATH];
    if (!ResolveShortcutFolder(folder, folderPath) || !FormatString(out, "%s\\%s%s", folderPath, name, suffix)) {
        out[0] = '\0';
        return false;
    }
    return true;
}
