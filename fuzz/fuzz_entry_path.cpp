// The entry path check. Input: an entry name (up to its first NUL, at most 259 bytes, lowered like
// a directory key). Whatever the check lets through must, walked the way Windows reads a path,
// stay below the installation directory and end on a name there.
#include "fuzz_support.h"
#include "package/entry_path.h"
#include "package/package_container.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

bool WindowsDevice(const std::string& component)
{
    std::string base = UpperAscii(component.substr(0, component.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.'))
        base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

// Walks `relative` below a folder the way Windows would: "/" and "\" separate, empty components
// collapse, "." stays, ".." goes up, and a component of dots and spaces alone is taken to go up
// too (Windows trims trailing dots and spaces). False when the walk leaves the folder, passes a
// drive, stream or device, or (for a file) ends on no name at all.
bool StaysBelow(const std::string& relative, bool file)
{
    std::vector<std::string> parts(1);
    for (char c : relative) {
        if (c == '\\' || c == '/')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    int depth = 0;
    std::string lastName;
    for (const std::string& part : parts) {
        if (part.empty() || part == ".")
            continue;
        if (part.find_first_not_of(". ") == std::string::npos) {
            if (--depth < 0)
                return false;
            lastName.clear();
            continue;
        }
        if (part.find(':') != std::string::npos || WindowsDevice(part))
            return false;
        ++depth;
        lastName = part;
    }
    return !file || (depth > 0 && !lastName.empty() && !parts.back().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t length = 0;
    while (length < size && length < kPackageNameSize - 1 && data[length] != 0)
        ++length;
    const std::string key = LowerPackageName(reinterpret_cast<const char*>(data), length);
    const char* relative = StripRootComponent(key.c_str());
    if (*relative != '\0' && *relative != '\\')
        FuzzFinding("the relative part does not start at a backslash");

    switch (ClassifyEntryPath(relative)) {
    case EntryTarget::File:
        if (!StaysBelow(relative, true))
            FuzzFinding("a file path that Windows reads as something else than a plain file below the folder");
        break;
    case EntryTarget::Directory:
        if (*relative != '\0' && (key.back() != '\\' || !StaysBelow(relative, false)))
            FuzzFinding("a folder path that is no folder below the folder");
        break;
    case EntryTarget::Refused:
        break;
    }
    return 0;
}
