#include "ui/install_path.h"

#include "common/fixed_string.h"
#include "shell/path_chars.h"
#include "shell/path_name.h"

#include <cstring>

namespace {
constexpr char kPathOption[] = "-path ";
constexpr size_t kPathOptionLength = sizeof kPathOption - 1;
constexpr size_t kMaxPathLength = kPathSize - 1;
}  // namespace

const char* FindPathOption(const char* commandLine)
{
    if (commandLine == nullptr)
        return nullptr;
    for (const char* p = commandLine; *p != '\0'; p += CharWidth(p)) {
        if (strncmp(p, kPathOption, kPathOptionLength) == 0)
            return p + kPathOptionLength;
    }
    return nullptr;
}

PathOption TakePathOption(const char* commandLine, char (&value)[kPathSize])
{
    const char* option = FindPathOption(commandLine);
    if (option == nullptr)
        return PathOption::Absent;
    if (option[0] == '\0')
        return PathOption::Empty;
    if (strlen(option) > kMaxPathLength)
        return PathOption::TooLong;
    CopyString(value, option);
    return PathOption::Taken;
}

bool FormatDefaultPath(char (&path)[kPathSize], const char* systemDirectory, const char* gameName)
{
    char root[4] = {};
    memcpy(root, systemDirectory, strnlen(systemDirectory, 3));
    if (FormatString(path, "%sProgram Files\\%s\\", root, gameName))
        return true;
    path[0] = '\0';
    return false;
}

bool HasForbiddenPathCharacter(const char* path)
{
    for (const char* p = path; *p != '\0'; p += CharWidth(p)) {
        if (CharWidth(p) == 2)
            continue;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || strchr("<>\"|?*", c) != nullptr || (c == ':' && p - path != 1))
            return true;
    }
    return false;
}

bool ComposeInstallPath(const char* candidate, const char* gameName, char (&chosen)[kPathSize])
{
    const size_t candidateLength = strlen(candidate);
    if (!PathEndsWithName(candidate, gameName)) {
        if (strlen(gameName) + candidateLength + 1 >= kMaxPathLength)
            return false;
        return FormatString(chosen, "%s%s\\", candidate, gameName);
    }
    if (candidateLength >= kMaxPathLength)
        return false;
    return CopyString(chosen, candidate);
}
