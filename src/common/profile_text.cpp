#include "common/profile_text.h"

#include "common/fixed_string.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The blanks that the profile functions strip around lines, names and values; ^Z is the end
// mark of old DOS files.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A name as the file spells it: up to `end`, or to a NUL before it, which ends a name there as it
// ends the profile functions' strings.
bool SameName(const char* begin, const char* end, const char* wanted)
{
    const char* nul = static_cast<const char*>(memchr(begin, '\0', end - begin));
    if (nul)
        end = nul;
    const size_t length = strlen(wanted);
    if (static_cast<size_t>(end - begin) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(begin[i]) != LowerAscii(wanted[i]))
            return false;
    }
    return true;
}

// Walks the lines of a text, each without its LF and without blanks around it.
class Lines {
public:
    Lines(const char* text, size_t size) : next_(text), end_(text + size)
    {
        if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
            next_ += 3;
    }

    bool Next(const char** begin, const char** end)
    {
        while (next_ < end_) {
            const char* start = next_;
            const char* stop = static_cast<const char*>(memchr(start, '\n', end_ - start));
            next_ = stop ? stop + 1 : end_;
            if (!stop)
                stop = end_;
            while (start < stop && IsBlank(*start))
                ++start;
            while (stop > start && IsBlank(stop[-1]))
                --stop;
            if (start < stop) {
                *begin = start;
                *end = stop;
                return true;
            }
        }
        return false;
    }

private:
    const char* next_;
    const char* end_;
};

// "[name]...": the name runs to the last "]", without blanks around it. False for any other line.
bool SectionName(const char* begin, const char* end, const char** nameBegin, const char** nameEnd)
{
    if (*begin != '[')
        return false;
    for (const char* p = end; p > begin + 1;) {
        if (*--p == ']') {
            const char* first = begin + 1;
            while (first < p && IsBlank(*first))
                ++first;
            while (p > first && IsBlank(p[-1]))
                --p;
            *nameBegin = first;
            *nameEnd = p;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ProfileText::Assign(const void* bytes, size_t size)
{
    Clear();
    if (size == 0)
        return true;
    bytes_.reset(new (std::nothrow) char[size]);
    if (!bytes_)
        return false;
    memcpy(bytes_.get(), bytes, size);
    size_ = size;
    return true;
}

ProfileText& ProfileText::operator=(ProfileText&& other) noexcept
{
    bytes_ = std::move(other.bytes_);
    size_ = other.size_;
    other.size_ = 0;
    return *this;
}

void ProfileText::Clear()
{
    bytes_.reset();
    size_ = 0;
}

bool ProfileText::HasSection(const char* section) const
{
    Lines lines(data(), size_);
    const char *begin, *end, *nameBegin, *nameEnd;
    while (lines.Next(&begin, &end)) {
        if (SectionName(begin, end, &nameBegin, &nameEnd) && SameName(nameBegin, nameEnd, section))
            return true;
    }
    return false;
}

bool ProfileText::FindValue(const char* section, const char* key, Span* value) const
{
    Lines lines(data(), size_);
    const char *begin, *end, *nameBegin, *nameEnd;
    bool inSection = false;
    while (lines.Next(&begin, &end)) {
        if (SectionName(begin, end, &nameBegin, &nameEnd)) {
            if (inSection)
                return false;  // only the first section of the name counts
            inSection = SameName(nameBegin, nameEnd, section);
            continue;
        }
        if (!inSection)
            continue;
        const char* equals = static_cast<const char*>(memchr(begin, '=', end - begin));
        const char* keyEnd = equals ? equals : end;
        while (keyEnd > begin && IsBlank(keyEnd[-1]))
            --keyEnd;
        if (!SameName(begin, keyEnd, key))
            continue;
        if (!equals)
            return false;  // the first key of the name has no value: it reads as missing
        const char* start = equals + 1;
        while (start < end && IsBlank(*start))
            ++start;
        const char* nul = static_cast<const char*>(memchr(start, '\0', end - start));
        const char* stop = nul ? nul : end;
        if (stop - start >= 2 && (*start == '"' || *start == '\'') && stop[-1] == *start) {
            ++start;
            --stop;
        }
        *value = {start, stop};
        return true;
    }
    return false;
}

bool ProfileText::Find(const char* section, const char* key, const char** value, size_t* length) const
{
    Span found;
    if (!FindValue(section, key, &found))
        return false;
    *value = found.begin;
    *length = static_cast<size_t>(found.end - found.begin);
    return true;
}

void ProfileText::ReadString(const char* section, const char* key, const char* fallback, char* value,
                             size_t size) const
{
    if (size == 0)
        return;
    Span found;
    if (!FindValue(section, key, &found)) {
        CopyString(value, size, fallback);
        return;
    }
    const size_t length = static_cast<size_t>(found.end - found.begin);
    const size_t kept = GbkPrefixLength(found.begin, length < size - 1 ? length : size - 1);
    memcpy(value, found.begin, kept);
    value[kept] = '\0';
}

int ProfileText::ReadInt(const char* section, const char* key, int fallback) const
{
    Span found;
    if (!FindValue(section, key, &found) || found.begin == found.end)
        return fallback;
    const char* p = found.begin;
    while (p < found.end && (*p == ' ' || *p == '\t'))
        ++p;
    const bool negative = p < found.end && *p == '-';
    if (p < found.end && (*p == '-' || *p == '+'))
        ++p;
    // 32-bit arithmetic that wraps, as the profile functions' result does.
    uint32_t number = 0;
    for (; p < found.end && *p >= '0' && *p <= '9'; ++p)
        number = number * 10 + static_cast<uint32_t>(*p - '0');
    return static_cast<int>(negative ? 0u - number : number);
}
