#include "shell/path_chars.h"

#include <windows.h>

#include <cstring>

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

namespace {

// True as soon as `test` holds for a part of `name` between separators (empty parts included).
template <typename Test>
bool AnyPart(const char* name, Test test)
{
    const char* part = name;
    for (const char* p = name;; p += CharWidth(p)) {
        if (*p != '\0' && !IsPathSeparator(*p))
            continue;
        if (test(part, static_cast<size_t>(p - part)))
            return true;
        if (*p == '\0')
            return false;
        part = p + 1;
    }
}

bool IsParentPart(const char* part, size_t length) { return length == 2 && part[0] == '.' && part[1] == '.'; }

bool IsEmptyOrDotPart(const char* part, size_t length) { return length == 0 || (length == 1 && part[0] == '.'); }

}  // namespace

bool MayLeadOutOfFolder(const char* name)
{
    return strchr(name, ':') != nullptr || AnyPart(name, IsParentPart);
}

bool NamesItemBelowFolder(const char* name)
{
    return name[0] != '\0' && !MayLeadOutOfFolder(name) && !AnyPart(name, IsEmptyOrDotPart);
}
