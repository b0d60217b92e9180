#pragma once
// A profile (INI) file held in memory: the configuration or update list exactly as it was fetched
// and, with publisher keys, verified. Reading the file again through the profile functions would
// read whatever the path names by then; another process of the same user can change a file in
// the user's temporary folder between the check and the read. So the bytes that were checked are
// the bytes that are read.
//
// Reading follows the profile functions (GetPrivateProfileStringA, GetPrivateProfileIntA) as
// Windows and Wine have them for a file in the ANSI code page:
//   - lines end at LF; blanks (space, tab, CR, VT, FF, ^Z) around a line are ignored;
//   - "[name]" starts a section: the name runs to the line's last "]", without blanks around it;
//     a line without "]" is no section header;
//   - "key=value": blanks around the key and before the value are ignored; a line without "="
//     is a key without a value, which reads as missing;
//   - names match without regard to ASCII case; only the first section of a name is searched,
//     and in it the first key of a name;
//   - a value enclosed in matching quotes (' or ") loses them;
//   - a string longer than its buffer is cut to the buffer's size minus one byte;
//   - an integer is the decimal number (with an optional sign) at the start of the value; a
//     missing or empty value gives the default;
//   - a UTF-8 byte-order mark at the start is skipped.
#include <cstddef>
#include <memory>
#include <utility>

class ProfileText {
public:
    ProfileText() = default;
    ProfileText(const ProfileText&) = delete;
    ProfileText& operator=(const ProfileText&) = delete;
    ProfileText(ProfileText&& other) noexcept { *this = std::move(other); }
    ProfileText& operator=(ProfileText&& other) noexcept;

    // Keeps a copy of `size` bytes. False, with nothing kept, when the memory is not there.
    bool Assign(const void* bytes, size_t size);
    void Clear();

    bool empty() const { return size_ == 0; }
    const char* data() const { return bytes_.get(); }
    size_t size() const { return size_; }

    // True when the text has a section of this name (with or without keys).
    bool HasSection(const char* section) const;

    // The value of `key` in `section` into `value` (`size` bytes, always terminated), or
    // `fallback` when there is none.
    void ReadString(const char* section, const char* key, const char* fallback, char* value, size_t size) const;
    template <size_t N>
    void ReadString(const char* section, const char* key, char (&value)[N]) const
    {
        ReadString(section, key, "", value, N);
    }

    // The value of `key` in `section` as a number, or `fallback` when there is none.
    int ReadInt(const char* section, const char* key, int fallback) const;

    // The value of `key` in `section` as the text holds it, quotes removed, uncut: `*length`
    // bytes at `*value`, valid while the text is. False when there is none.
    bool Find(const char* section, const char* key, const char** value, size_t* length) const;

private:
    struct Span {
        const char* begin;
        const char* end;
    };
    bool FindValue(const char* section, const char* key, Span* value) const;

    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
};
