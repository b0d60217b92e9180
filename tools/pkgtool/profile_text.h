#pragma once
// The bytes of a profile (INI) file read as Windows' profile functions read the file, so that a
// check on Linux sees the values the installer will see: "[section]" lines, "key=value" lines,
// blanks around names and values dropped, a value's enclosing quotes removed, names compared
// without case, the first of a repeated key taken.
#include <optional>
#include <string>
#include <vector>

class ProfileText {
public:
    explicit ProfileText(const std::string& bytes);

    bool HasSection(const char* section) const;
    // The value of `key` in `section`; nullopt when there is no such key.
    std::optional<std::string> Value(const char* section, const char* key) const;

private:
    struct Line {
        std::string section, key, value;
    };
    std::vector<std::string> sections_;
    std::vector<Line> lines_;
};

// True when `text` holds bytes above 0x7F that all form UTF-8 sequences: a text saved as UTF-8,
// which the installer, reading GBK, shows garbled.
bool LooksLikeUtf8(const std::string& text);
