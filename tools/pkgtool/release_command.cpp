// pkgtool release: a game folder and a description become the files of a site, exactly as the
// installer reads them: the package named after its content, the update list pinning it, the
// configuration naming the list, both signed, and the order to upload them in.
//
// The package's name carries the first 12 hex digits of its SHA-256, so a cache may keep it for
// ever and an old list never points at a new file; the list and the configuration keep their
// names (the installer and its built-in addresses know them) and are uploaded last.
#include "pkgtool/commands.h"

#include "common/unique_file.h"
#include "common/gbk.h"
#include "common/sha256.h"
#include "package/package_container.h"
#include "packing/publisher_keys.h"
#include "packing/site_signature.h"
#include "pkgtool/release_description.h"
#include "pkgtool/tool_platform.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr char kUpdateFolder[] = "update";
constexpr char kConfigurationName[] = "tarnhold.txt";
constexpr char kListName[] = "list.txt";
constexpr size_t kNameDigits = 12;
constexpr size_t kSourceLimit = 259;  // [list0] srcfile has a 260-byte buffer

// The executable's name without folders and extension, lowered, as a web-safe name.
std::string PackageStem(const std::string& executable)
{
    const char* separator = FindLastGbkChar(executable.c_str(), '\\');
    std::string stem = separator ? std::string(separator + 1) : executable;
    stem = stem.substr(0, stem.rfind('.'));
    for (char& c : stem) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            c = '-';
    }
    return stem.empty() ? "game" : stem;
}

// True when `relative` (backslash-separated) names a file below `folder`, in any case, as the
// installer finds it in the package.
bool HoldsFile(const std::string& folder, const std::string& relative)
{
    const char* separator = FindGbkChar(relative.c_str(), '\\');
    const size_t slash = separator ? static_cast<size_t>(separator - relative.c_str()) : std::string::npos;
    const std::string name = relative.substr(0, slash);
    std::vector<FolderItem> items;
    std::string error;
    if (!ListFolder(folder, &items, &error))
        return false;
    const std::string lowered = LowerPackageName(name.data(), name.size());
    for (const FolderItem& item : items) {
        if (LowerPackageName(item.name.data(), item.name.size()) != lowered || item.folder != (slash != std::string::npos))
            continue;
        if (!item.folder || HoldsFile(folder + NativeSeparator() + item.name, relative.substr(slash + 1)))
            return true;
    }
    return false;
}

bool WriteText(const std::string& path, const std::string& text)
{
    UniqueStdioFile file(fopen(path.c_str(), "wb"));
    bool written = file && fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (file && fclose(file.release()) != 0)
        written = false;
    if (!written)
        Fail("cannot write " + path + ": " + strerror(errno));
    return written;
}

class Release {
public:
    Release(const ReleaseDescription& description, const std::string& game, const std::string& site)
        : d_(description), game_(game), update_(site + NativeSeparator() + kUpdateFolder)
    {
    }

    int Run()
    {
        if (KindOfPath(game_) != PathKind::Folder)
            return Fail(game_ + " is not a folder");
        if (!HoldsFile(game_, d_.executable))
            return Fail(game_ + " holds no " + d_.executable + ": the executable the installer starts");
        if (!HoldsFile(game_, std::string("uninstall\\") + d_.uninstaller))
            return Fail(game_ + " holds no uninstall" + NativeSeparator() + d_.uninstaller +
                        ": the uninstaller the installer registers");
        if (!d_.key.empty() && !LoadPrivateKey(d_.key, &key_, &error_))
            return Fail(error_);
        stem_ = PackageStem(d_.executable);
        const std::string name = stem_ + "-" + std::string(kNameDigits, '0') + ".pak";
        for (const std::string& folder : PackageFolders()) {
            if ((folder + name).size() > kSourceLimit)
                return Fail("the package's address, " + folder + name + ", is longer than the installer reads (259 bytes)");
        }
        if (!MakeFolders(update_))
            return Fail("cannot make the folder " + update_);
        if (!Pack() || !WriteFiles())
            return 1;
        Report();
        return 0;
    }

private:
    std::string Local(const std::string& name) const { return update_ + NativeSeparator() + name; }

    // Where the package is served: the site's update folder, then each mirror.
    std::vector<std::string> PackageFolders() const
    {
        std::vector<std::string> folders = {d_.site + kUpdateFolder + "/"};
        folders.insert(folders.end(), d_.mirrors.begin(), d_.mirrors.end());
        return folders;
    }

    // Packs into a temporary name, then gives the package the name of its content. The same
    // content released again has the same name: an intact earlier file stays as it is (an upload
    // that compares times or sizes skips it), a damaged one is replaced.
    bool Pack()
    {
        PackOptions options;
        options.folder = game_;
        options.root = stem_;
        options.output = Local(stem_ + ".pak.part");
        options.encoding = d_.encoding;
        RemovePath(options.output);
        if (!PackFolder(options, &packed_))
            return false;
        package_ = stem_ + "-" + LowerHex(packed_.digest, kSha256Size).substr(0, kNameDigits) + ".pak";
        const std::string named = Local(package_);
        uint8_t earlier[kSha256Size];
        std::string unread;
        if (KindOfPath(named) == PathKind::File) {
            if (HashFile(named, earlier, &unread) && memcmp(earlier, packed_.digest, kSha256Size) == 0) {
                RemovePath(options.output);
                return true;
            }
            RemovePath(named);
        }
        if (rename(options.output.c_str(), named.c_str()) != 0) {
            RemovePath(options.output);
            return Fail("cannot name the package " + named + ": " + strerror(errno)) == 0;
        }
        return true;
    }

    std::string ListText() const
    {
        const std::string source = d_.site + kUpdateFolder + "/" + package_;
        std::string mirrors;
        for (size_t i = 0; i < d_.mirrors.size(); ++i)
            mirrors += "\r\nmirror" + std::to_string(i + 1) + "=" + d_.mirrors[i] + package_;
        return "[list0]\r\naction=3\r\nsrcfile=" + source + mirrors + "\r\ndestfile=" + stem_ + ".pak" +
               "\r\ncmd=DEC\r\nsize=" + std::to_string(packed_.size) +
               "\r\nsha256=" + LowerHex(packed_.digest, kSha256Size) + "\r\nexpires=" + expires_ + "\r\n";
    }

    // The configuration pins the list it names by its SHA-256, so that no other list, however well
    // signed, passes beside it.
    std::string ConfigurationText(const std::string& list) const
    {
        uint8_t digest[kSha256Size];
        Sha256 hash;
        hash.Update(list.data(), list.size());
        hash.Final(digest);
        std::string text = "[setup]\r\ngamename=" + d_.game + "\r\nexefilename=" + d_.executable +
                           "\r\nProductTitle=" + d_.caption + "\r\nsize=" + std::to_string(d_.sizeMiB) + "\r\n";
        if (!d_.agreement.empty())
            text += "urlAgreement=" + d_.agreement + "\r\n";
        text += "uninstname=" + d_.uninstaller + "\r\n";
        if (!d_.publisher.empty())
            text += "Publisher=" + d_.publisher + "\r\n";
        if (!d_.contact.empty())
            text += "Contact=" + d_.contact + "\r\n";
        return text + "expires=" + expires_ + "\r\n\r\n[config]\r\n1.0=" + d_.site + kUpdateFolder + "/" + kListName +
               "\r\n1.0.sha256=" + LowerHex(digest, kSha256Size) + "\r\n";
    }

    // The list before the configuration that names it; with a key, each then signed. A file
    // left without its new signature would be refused by every keyed installer, so a failure
    // removes what this run wrote, and an unsigned release removes the signatures it replaces.
    bool WriteFiles()
    {
        expires_ = ExpiryDate(d_.lifetimeDays);
        const std::string list = ListText();
        const struct {
            const char* name;
            SignedRole role;
            std::string text;
        } files[] = {{kListName, SignedRole::UpdateList, list},
                     {kConfigurationName, SignedRole::Configuration, ConfigurationText(list)}};
        for (const auto& file : files) {
            const std::string path = Local(file.name);
            RemovePath(path + kSignatureSuffix);
            std::string warning;
            if (!WriteText(path, file.text) ||
                (!d_.key.empty() && !SignSiteFile(key_, file.role, d_.product, path, &warning, &error_))) {
                if (!error_.empty())
                    Fail(error_);
                for (const auto& written : files) {
                    RemovePath(Local(written.name));
                    RemovePath(Local(written.name) + kSignatureSuffix);
                }
                return false;
            }
            if (!warning.empty())
                fprintf(stderr, "pkgtool: warning: %s\n", warning.c_str());
        }
        return true;
    }

    void Report() const
    {
        printf("packed %llu entries (%llu bytes of content) into %s/%s (%llu bytes, %s)\n",
               static_cast<unsigned long long>(packed_.entries), static_cast<unsigned long long>(packed_.contentLength),
               kUpdateFolder, package_.c_str(), static_cast<unsigned long long>(packed_.size),
               EncodingReaders(d_.encoding));
        if (d_.encoding == PackageEncoding::Xz)
            printf("installers built before the .xz decoder cannot install this release: while players still have "
                   "them, release with format = lzma\n");
        printf("wrote %s/%s (pins the package) and %s/%s (names and pins the list), both expiring on %s, %s\n", kUpdateFolder,
               kListName, kUpdateFolder, kConfigurationName, expires_.c_str(),
               d_.key.empty() ? "unsigned (no key in the description)"
                              : ("signed with " + d_.key + " for the installer " + d_.product).c_str());
        printf("the installer's configuration address: -DINSTALLER_CONFIG_URLS=%s%s/%s\n", d_.site.c_str(),
               kUpdateFolder, kConfigurationName);
        printf("upload, in this order (the package first, the configuration last):\n");
        printf("  %s/%s\n", kUpdateFolder, package_.c_str());
        for (const std::string& mirror : d_.mirrors)
            printf("  %s%s (the same file, to the mirror)\n", mirror.c_str(), package_.c_str());
        for (const char* name : {kListName, kConfigurationName}) {
            printf("  %s/%s\n", kUpdateFolder, name);
            if (!d_.key.empty())
                printf("  %s/%s%s\n", kUpdateFolder, name, kSignatureSuffix);
        }
        printf("then check the site: pkgtool check %s%s/%s%s\n", d_.site.c_str(), kUpdateFolder, kConfigurationName,
               d_.key.empty() ? "" : (" --key " + d_.key + kPublicKeySuffix + " --game \"" + d_.product + "\"").c_str());
    }

    const ReleaseDescription& d_;
    const std::string game_;
    const std::string update_;
    PrivateKey key_;
    std::string error_;
    PackResult packed_;
    std::string stem_, package_, expires_;
};

}  // namespace

int RunRelease(const std::string& description, const std::string& game, const std::string& site)
{
    ReleaseDescription release;
    if (!ReadReleaseDescription(description, &release))
        return 1;
    return Release(release, game, site).Run();
}
