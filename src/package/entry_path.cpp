// StripRootComponent and the check of an entry's path below the installation directory.
#include "package/entry_path.h"

#include "common/gbk.h"

#include <cstddef>
#include <cstring>

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(const char* text, size_t length, const char* upper)
{
    if (strlen(upper) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (Upper(text[i]) != upper[i])
            return false;
    }
    return true;
}

// Windows opens a device for these names in any folder, whatever follows the first dot.
bool IsDeviceName(const char* component, size_t length)
{
    size_t stem = 0;
    while (stem < length && component[stem] != '.')
        ++stem;
    while (stem > 0 && component[stem - 1] == ' ')
        --stem;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (SameLetters(component, stem, device))
            return true;
    }
    if (stem == 4 && component[3] >= '0' && component[3] <= '9')
        return SameLetters(component, 3, "COM") || SameLetters(component, 3, "LPT");
    return false;
}

bool IsForbiddenByte(unsigned char c)
{
    return c < 0x20 || strchr("/:*?\"<>|", c) != nullptr;
}

// Character by character: a trail byte is part of its character (誠 ends in 0x5C, 東 in 0x7C), and
// a lead byte without its trail byte names nothing the system would read the same way.
bool IsPlainComponent(const char* component, size_t length)
{
    if (length == 0)
        return false;
    for (size_t i = 0; i < length;) {
        const size_t width = GbkCharWidth(component + i);
        if (IsLoneGbkLeadByte(component + i) || i + width > length)
            return false;
        if (width == 1 && IsForbiddenByte(static_cast<unsigned char>(component[i])))
            return false;
        i += width;
    }
    char last = component[length - 1];
    if (last == '.' || last == ' ')
        return false;  // a trail byte is never a dot or a space
    return !IsDeviceName(component, length);
}

}  // namespace

const char* StripRootComponent(const char* name)
{
    const char* separator = FindGbkChar(name, '\\');
    return separator ? separator : name + strlen(name);
}

EntryTarget ClassifyEntryPath(const char* relative)
{
    const char* at = relative;
    if (*at == '\\')
        ++at;
    for (;;) {
        const char* end = FindGbkChar(at, '\\');
        if (!end) {
            // The last component: none at all means a folder (or the installation directory).
            size_t length = strlen(at);
            if (length == 0)
                return EntryTarget::Directory;
            return IsPlainComponent(at, length) ? EntryTarget::File : EntryTarget::Refused;
        }
        if (!IsPlainComponent(at, static_cast<size_t>(end - at)))
            return EntryTarget::Refused;
        at = end + 1;
    }
}
