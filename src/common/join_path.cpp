#include "common/join_path.h"

#include "common/gbk.h"

#include <cstring>

bool JoinPath(char* out, size_t size, const char* directory, const char* relative)
{
    if (size == 0)
        return false;
    out[0] = '\0';
    if (directory == nullptr)
        directory = "";

    size_t dirLength = strlen(directory);
    if (relative == nullptr || relative[0] == '\0') {
        if (dirLength >= size)
            return false;
        memcpy(out, directory, dirLength + 1);
        return true;
    }

    // A trail byte 0x5C ends a character, not the folder's name.
    dirLength = GbkLengthWithout(directory, dirLength, '\\');
    while (*relative == '\\')
        ++relative;
    size_t relLength = strlen(relative);

    size_t total = dirLength + 1 + relLength;
    if (total >= size)
        return false;
    memcpy(out, directory, dirLength);
    out[dirLength] = '\\';
    memcpy(out + dirLength + 1, relative, relLength);
    out[total] = '\0';
    return true;
}
