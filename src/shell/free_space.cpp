#include "shell/free_space.h"

#include <windows.h>

#include <cstring>

int32_t QueryFreeSpaceKb(const char* path)
{
    if (path == nullptr)
        return -1;
    char root[3] = {};
    memcpy(root, path, strnlen(path, 2));

    ULARGE_INTEGER freeToCaller;
    if (!GetDiskFreeSpaceExA(root, &freeToCaller, nullptr, nullptr))
        return -1;
    unsigned long long kb = freeToCaller.QuadPart >> 10;
    return kb > INT32_MAX ? INT32_MAX : static_cast<int32_t>(kb);
}
