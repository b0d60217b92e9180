#include "common/fixed_string.h"

#include <cstdio>
#include <cstring>

size_t GbkPrefixLength(const char* text, size_t length)
{
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t width = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
        if (i + width > length)
            break;
        i += width;
    }
    return i;
}

// Cuts the text in `dst` (which filled all `size` - 1 bytes) back to a whole character.
static void CutToCharacter(char* dst, size_t size)
{
    size_t keep = GbkPrefixLength(dst, size - 1);
    dst[keep] = '\0';
}

bool CopyString(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return false;
    if (src == nullptr)
        src = "";
    size_t length = strlen(src);
    if (length < size) {
        memcpy(dst, src, length + 1);
        return true;
    }
    memcpy(dst, src, size - 1);
    dst[size - 1] = '\0';
    CutToCharacter(dst, size);
    return false;
}

bool AppendString(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return false;
    size_t used = strnlen(dst, size);
    if (used == size) {
        // Not terminated inside the buffer: treat it as full.
        dst[size - 1] = '\0';
        return false;
    }
    return CopyString(dst + used, size - used, src);
}

bool FormatStringV(char* dst, size_t size, const char* format, va_list args)
{
    if (size == 0)
        return false;
    int written = vsnprintf(dst, size, format, args);
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    if (static_cast<size_t>(written) < size)
        return true;
    CutToCharacter(dst, size);
    return false;
}

bool FormatString(char* dst, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool fitted = FormatStringV(dst, size, format, args);
    va_end(args);
    return fitted;
}
