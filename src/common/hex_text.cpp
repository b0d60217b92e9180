#include "common/hex_text.h"

namespace {

int Digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool DecodeHex(const char* text, uint8_t* out, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const int high = Digit(text[2 * i]);
        const int low = high < 0 ? -1 : Digit(text[2 * i + 1]);
        if (low < 0)
            return false;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return text[2 * size] == '\0';
}
