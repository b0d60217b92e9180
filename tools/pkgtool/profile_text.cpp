#include "pkgtool/profile_text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& text, size_t first, size_t last)
{
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool SameName(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char x = a[i], y = b[i];
        x = x >= 'A' && x <= 'Z' ? static_cast<char>(x - 'A' + 'a') : x;
        y = y >= 'A' && y <= 'Z' ? static_cast<char>(y - 'A' + 'a') : y;
        if (x != y)
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

ProfileText::ProfileText(const std::string& bytes)
{
    std::string section;
    bool inSection = false;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = Trim(bytes, start, end);
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            section = Trim(line, 1, line.find(']') == std::string::npos ? line.size() : line.find(']'));
            sections_.push_back(section);
            inSection = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos)
            continue;
        std::string value = Trim(line, equals + 1, line.size());
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        lines_.push_back({section, Trim(line, 0, equals), value});
    }
}

bool ProfileText::HasSection(const char* section) const
{
    for (const std::string& name : sections_) {
        if (SameName(name, section))
            return true;
    }
    return false;
}

std::optional<std::string> ProfileText::Value(const char* section, const char* key) const
{
    // The first section of the name holds the keys the profile functions see.
    for (const std::string& name : sections_) {
        if (!SameName(name, section))
            continue;
        for (const Line& line : lines_) {
            if (line.section == name && SameName(line.key, key))
                return line.value;
        }
        break;
    }
    return std::nullopt;
}

bool LooksLikeUtf8(const std::string& text)
{
    bool wide = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t j = 1; j < length; ++j) {
            if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80)
                return false;
        }
        wide = wide || length > 1;
        i += length;
    }
    return wide;
}
