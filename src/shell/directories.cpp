#include "shell/directories.h"

#include "common/fixed_string.h"
#include "common/win_handles.h"
#include "shell/path_chars.h"

#include <direct.h>
#include <windows.h>

#include <cstring>

bool MakeDirectoryPath(const char* path)
{
    if (path == nullptr)
        return true;
    // The path and the one separator always appended to it: a path that ends with a separator
    // already yields one more attempt on a doubled separator, which fails harmlessly.
    char text[MAX_PATH + 1];
    if (!FormatString(text, "%s\\", path))
        return true;  // a cut path would create folders nobody asked for

    // Each separator ends a prefix to create, the appended one last, so the scan runs to the end.
    // Ending the text right after the separator in place avoids a copy; the byte is put back.
    for (size_t i = 0; text[i] != '\0'; i += CharWidth(text + i)) {
        if (!IsPathSeparator(text[i]))
            continue;
        char next = text[i + 1];
        text[i + 1] = '\0';
        _mkdir(text);
        text[i + 1] = next;
    }
    return true;
}

void DeleteDirectoryTree(const char* path)
{
    if (path == nullptr)
        return;
    char pattern[MAX_PATH];
    if (FormatString(pattern, "%s\\*", path)) {
        WIN32_FIND_DATAA found;
        UniqueFindHandle search(FindFirstFileA(pattern, &found));
        if (search) {
            do {
                if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                    continue;
                char entry[MAX_PATH];
                if (!FormatString(entry, "%s\\%s", path, found.cFileName))
                    continue;  // cannot be named here: it stays, and so does this folder
                const DWORD attributes = found.dwFileAttributes;
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    RemoveDirectoryA(entry);  // a junction or link: remove the link, never its target
                else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    DeleteDirectoryTree(entry);
                else
                    DeleteFileA(entry);
            } while (FindNextFileA(search.get(), &found));
        }
    }
    _rmdir(path);
}
