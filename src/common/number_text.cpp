#include "common/number_text.h"

#include <cstring>

namespace {

int HexDigit(char c)
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

bool DecodeHex(const char* text, size_t length, uint8_t* out, size_t size)
{
    if (length != 2 * size)
        return false;
    for (size_t i = 0; i < size; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

bool ParseDecimal(const char* text, const char** end, uint64_t* value)
{
    uint64_t number = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (number > (UINT64_MAX - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    *end = p;
    *value = number;
    return p != text;
}

bool ParseDate(const char* text, int* year, int* month, int* day)
{
    if (strlen(text) != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int parts[3] = {};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < lengths[i]; ++j) {
            const char c = text[starts[i] + j];
            if (c < '0' || c > '9')
                return false;
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > kDays[parts[1] - 1])
        return false;
    const bool leap = (parts[0] % 4 == 0 && parts[0] % 100 != 0) || parts[0] % 400 == 0;
    if (parts[1] == 2 && parts[2] == 29 && !leap)
        return false;
    *year = parts[0];
    *month = parts[1];
    *day = parts[2];
    return true;
}

bool ParseContentRange(const char* text, uint64_t* first, uint64_t* total)
{
    uint64_t last = 0;
    const char* p = text;
    if (strncmp(p, "bytes ", 6) != 0)
        return false;
    p += 6;
    if (!ParseDecimal(p, &p, first) || *p++ != '-' || !ParseDecimal(p, &p, &last) || *p++ != '/' ||
        !ParseDecimal(p, &p, total))
        return false;
    return *p == '\0' && *first <= last && last < *total;
}
