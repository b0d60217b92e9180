#include "pkgtool/release_description.h"

#include "common/unique_file.h"
#include "common/gbk.h"
#include "package/entry_path.h"
#include "pkgtool/commands.h"
#include "pkgtool/tool_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

constexpr size_t kLargestDescription = 64 * 1024;
constexpr size_t kValueLimit = 259;         // every [setup] value has a 260-byte buffer
constexpr size_t kGameNameLimit = 241;      // "C:\Program Files\" + name + "\" must fit 259
constexpr size_t kConfigAddressLimit = 127; // the installer's built-in address slots
constexpr uint64_t kLargestSizeMiB = 2097151;  // kept in KiB in a 32-bit int
constexpr int kLongestLifetimeDays = 3650;

enum class Kind {
    Text,        // any text GBK holds, on one line
    GameName,    // a text that is also a folder name
    GameFile,    // a path below the game's folder
    FileName,    // a name without folders
    Address,     // http:// or https://
    Site,        // an address the site's files are served from
    Size,        // MiB
    Path,        // a file of the publisher's
    Days,
    Product,     // the installer's product name, kept in UTF-8
    Mirrors,     // up to four addresses, blank-separated
    Encoding,    // lzma or xz
};

struct Field {
    const char* name;
    Kind kind;
    bool required;
    std::string ReleaseDescription::*text;  // null for the numbers
    const char* meaning;                    // what a missing line leaves out
};

const Field kFields[] = {
    {"game", Kind::GameName, true, &ReleaseDescription::game, "the game's name (gamename)"},
    {"executable", Kind::GameFile, true, &ReleaseDescription::executable,
     "the game's executable in the game's folder (exefilename)"},
    {"caption", Kind::Text, true, &ReleaseDescription::caption,
     "the exact caption of the game's main window (ProductTitle)"},
    {"size", Kind::Size, true, nullptr, "the space the game needs, in MiB (size)"},
    {"agreement", Kind::Address, false, &ReleaseDescription::agreement, ""},
    {"uninstaller", Kind::FileName, true, &ReleaseDescription::uninstaller,
     "the uninstaller's file name in the game's uninstall folder (uninstname)"},
    {"publisher", Kind::Text, false, &ReleaseDescription::publisher, ""},
    {"contact", Kind::Text, false, &ReleaseDescription::contact, ""},
    {"site", Kind::Site, true, &ReleaseDescription::site, "the address the site's files are served from"},
    {"key", Kind::Path, false, &ReleaseDescription::key, ""},
    {"product", Kind::Product, false, &ReleaseDescription::product, ""},
    {"lifetime", Kind::Days, false, nullptr, ""},
    {"mirrors", Kind::Mirrors, false, nullptr, ""},
    {"format", Kind::Encoding, false, nullptr, ""},
};

constexpr size_t kMostMirrors = 4;  // mirror1= ... mirror4=

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Digits only, at most `largest`.
bool ParseWhole(const std::string& text, uint64_t largest, uint64_t* value)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::stoull(text);
    return *value <= largest;
}

bool IsAddress(const std::string& text)
{
    const bool scheme = text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
    const size_t start = text.find("//") + 2;
    for (unsigned char c : text) {
        if (c <= ' ' || c >= 0x7F || c == '"' || c == '\\')
            return false;
    }
    return scheme && text.size() > start;
}

// The installer's rules for the name of something it writes below a folder.
bool IsPlainPath(const std::string& gbk) { return ClassifyEntryPath(("\\" + gbk).c_str()) == EntryTarget::File; }

// Checks `value` as `field` wants it and stores it; "" or why not.
std::string Take(const Field& field, const std::string& value, const std::string& folder, ReleaseDescription* release)
{
    uint64_t number = 0;
    switch (field.kind) {
    case Kind::Size:
        if (!ParseWhole(value, kLargestSizeMiB, &number))
            return "give the space in whole MiB, from 0 to " + std::to_string(kLargestSizeMiB);
        release->sizeMiB = number;
        return "";
    case Kind::Days:
        if (!ParseWhole(value, kLongestLifetimeDays, &number) || number == 0)
            return "give the days until the files expire, from 1 to " + std::to_string(kLongestLifetimeDays);
        release->lifetimeDays = static_cast<int>(number);
        return "";
    case Kind::Path:
        release->*field.text = value.find_first_of("/\\") == 0 || value.find(':') == 1 || folder.empty()
                                   ? value
                                   : folder + NativeSeparator() + value;
        return "";
    case Kind::Address:
    case Kind::Site:
        if (!IsAddress(value))
            return "\"" + value + "\" is no http:// or https:// address (no blanks, quotes or backslashes)";
        release->*field.text = value;
        if (field.kind == Kind::Site && value.back() != '/')
            release->*field.text += '/';
        if (field.kind == Kind::Site && release->site.size() + strlen("update/tarnhold.txt") > kConfigAddressLimit)
            return "the configuration's address, " + release->site + "update/tarnhold.txt, is longer than the " +
                   std::to_string(kConfigAddressLimit) + " characters an installer holds";
        return (release->*field.text).size() > kValueLimit ? "longer than the installer reads (259 bytes)" : "";
    case Kind::Mirrors:
        for (size_t at = 0; (at = value.find_first_not_of(" \t", at)) != std::string::npos;) {
            const size_t end = std::min(value.find_first_of(" \t", at), value.size());
            std::string mirror = value.substr(at, end - at);
            at = end;
            if (!IsAddress(mirror))
                return "\"" + mirror + "\" is no http:// or https:// address (no quotes or backslashes)";
            if (mirror.back() != '/')
                mirror += '/';
            release->mirrors.push_back(mirror);
        }
        if (release->mirrors.size() > kMostMirrors)
            return "more than " + std::to_string(kMostMirrors) + " mirrors (the list holds mirror1= to mirror4=)";
        return "";
    case Kind::Encoding:
        if (!ParsePackageEncoding(value, &release->encoding))
            return "\"" + value + "\" is no package encoding: lzma (every installer reads it) or xz (decoded on every core, "
                   "by installers with the .xz decoder only)";
        return "";
    case Kind::Product:
        // As the build takes INSTALLER_PRODUCT_NAME: no quotes or backslashes.
        if (value.find_first_of("\"\\") != std::string::npos)
            return "\"" + value + "\" cannot be an installer's product name (no quotes or backslashes)";
        release->product = value;
        return "";
    case Kind::GameFile:
    case Kind::FileName:
        for (unsigned char c : value) {
            if (c < ' ' || c >= 0x7F)
                return "\"" + value + "\": use an ASCII name (the installer lowers names byte by byte)";
        }
        break;
    default:
        break;
    }
    std::string gbk;
    if (!Utf8ToGbk(value, &gbk))
        return "\"" + value + "\" is no UTF-8 text or has a character that GBK cannot hold (the installer reads "
               "every text in GBK)";
    std::string path = gbk;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    if (gbk.size() > (field.kind == Kind::GameName ? kGameNameLimit : kValueLimit))
        return "longer than the installer takes (" +
               std::to_string(field.kind == Kind::GameName ? kGameNameLimit : kValueLimit) + " bytes in GBK)";
    if (field.kind == Kind::GameName && (gbk.find('\\') != std::string::npos || !IsPlainPath(gbk)))
        return "\"" + value + "\" cannot be a folder's name (no \\ / : * ? \" < > |, trailing dots or spaces, "
               "device names or GBK characters ending in the byte 0x5C)";
    if (field.kind == Kind::GameFile && !IsPlainPath(path))
        return "\"" + value + "\" cannot be a file below the game's folder";
    if (field.kind == Kind::FileName && (FindGbkChar(path.c_str(), '\\') || !IsPlainPath(path)))
        return "\"" + value + "\" cannot be a file's name in the uninstall folder";
    release->*field.text = field.kind == Kind::GameFile ? path : gbk;
    return "";
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

bool ReadReleaseDescription(const std::string& path, ReleaseDescription* release)
{
    std::string text(kLargestDescription + 1, '\0');
    UniqueStdioFile file(fopen(path.c_str(), "rb"));
    if (!file)
        return Fail("cannot read " + path + ": " + strerror(errno)) == 0;
    text.resize(fread(&text[0], 1, text.size(), file.get()));
    if (text.size() > kLargestDescription)
        return Fail(path + " is larger than a release description (64 KiB)") == 0;

    bool good = true;
    auto problem = [&](const std::string& line) { good = Fail(path + line) == 0; };
    std::set<std::string> seen;
    std::string game;  // as written, in UTF-8
    const size_t first = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // Notepad's byte-order mark
    int number = 0;
    for (size_t start = first; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        const std::string where = " line " + std::to_string(++number) + ": ";
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.find('=');
        const std::string name = Trim(line.substr(0, equals));
        const Field* field = nullptr;
        for (const Field& f : kFields)
            field = name == f.name ? &f : field;
        if (equals == std::string::npos || !field) {
            problem(where + "\"" + name + "\" is no field of a release description (game, executable, caption, "
                            "size, agreement, uninstaller, publisher, contact, site, key, product, lifetime, mirrors, "
                            "format)");
            continue;
        }
        if (!seen.insert(name).second) {
            problem(where + name + " is given twice");
            continue;
        }
        const std::string value = Trim(line.substr(equals + 1));
        const std::string why = value.empty() ? "no value" : Take(*field, value, FolderOf(path), release);
        if (!why.empty())
            problem(where + name + ": " + why);
        if (name == "game")
            game = value;
    }
    // Signatures are made for the installer's product name; most publishers name it after the game.
    if (release->product.empty())
        release->product = game;
    for (const Field& field : kFields) {
        if (field.required && !seen.count(field.name))
            problem(std::string(": no \"") + field.name + " = ...\" line: " + field.meaning);
    }
    return good;
}
