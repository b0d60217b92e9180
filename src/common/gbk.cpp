#include "common/gbk.h"

const char* FindGbkChar(const char* text, char c)
{
    for (const char* p = text; *p != '\0'; p += GbkCharWidth(p)) {
        if (*p == c)
            return p;
    }
    return nullptr;
}

const char* FindLastGbkChar(const char* text, char c)
{
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p += GbkCharWidth(p)) {
        if (*p == c)
            last = p;
    }
    return last;
}

size_t GbkLengthWithout(const char* text, size_t length, char c)
{
    // Only a forward walk tells a trail byte from a character: keep the end of the last character
    // that is not `c`.
    size_t keep = 0;
    for (size_t i = 0; i < length;) {
        const size_t width = i + 1 < length ? GbkCharWidth(text + i) : 1;
        i += width;
        if (width == 2 || text[i - 1] != c)
            keep = i;
    }
    return keep;
}
