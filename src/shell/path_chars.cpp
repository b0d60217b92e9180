#include "shell/path_chars.h"

#include <windows.h>

size_t CharWidth(const char* text)
{
    if (text[0] != '\0' && text[1] != '\0' && IsDBCSLeadByte(static_cast<BYTE>(text[0])))
        return 2;
    return 1;
}

char* FindLastBackslash(char* text)
{
    char* last = nullptr;
    for (char* p = text; *p != '\0'; p += CharWidth(p)) {
        if (*p == '\\')
            last = p;
    }
    return last;
}

bool EndsWithSeparator(const char* text)
{
    const char* lastChar = nullptr;
    for (const char* p = text; *p != '\0'; p += CharWidth(p))
        lastChar = p;
    return lastChar != nullptr && IsPathSeparator(*lastChar);
}
