#include "shell/path_name.h"

#include "shell/path_chars.h"

#include <cstring>

bool PathEndsWithName(const char* path, const char* name)
{
    if (path == nullptr || name == nullptr)
        return false;
    size_t pathLength = strlen(path);
    size_t nameLength = strlen(name);
    if (pathLength <= nameLength)
        return false;
    size_t start = pathLength - nameLength;
    if (EndsWithSeparator(path))
        --start;
    return memcmp(path + start, name, nameLength) == 0;
}
