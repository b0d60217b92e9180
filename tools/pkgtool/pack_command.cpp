// pkgtool pack: a folder becomes a package, the exact inverse of what the installer decodes.
//
// Every name is checked the way the installer will see it (lowered, without the top-level folder,
// ".7z" anywhere in the path meaning a nested archive), so that a package that packs also
// installs as the folder it came from.
#include "pkgtool/commands.h"

#include "common/gbk.h"
#include "package/entry_path.h"
#include "package/package_container.h"
#include "packing/package_encoder.h"
#include "packing/package_sealer.h"
#include "packing/publisher_keys.h"
#include "pkgtool/progress_bar.h"
#include "pkgtool/tool_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace {

constexpr size_t kCopyChunk = 1 << 20;

struct PlannedEntry {
    std::string relative;    // below the top-level folder, backslashes, as the disk spells it
    std::string source;      // the file on disk; "" for an empty folder
    uint64_t sourceSize = 0;
    bool nest = false;       // compressed into a nested ".7z" on the way
    std::string stored;      // what the package holds: `source`, or the compressed temporary file
    uint64_t storedSize = 0;
    std::string key;         // the entry name as the installer keys it (lowered)
};

class TemporaryFiles {
public:
    ~TemporaryFiles()
    {
        for (const std::string& path : paths_)
            RemovePath(path);
    }
    void Add(const std::string& path) { paths_.push_back(path); }

private:
    std::vector<std::string> paths_;
};

// The separators of a package path (not the trail bytes 0x5C of GBK characters such as 誠).
std::vector<size_t> Separators(const std::string& path)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < path.size(); i += GbkCharWidth(path.c_str() + i)) {
        if (path[i] == '\\')
            at.push_back(i);
    }
    return at;
}

std::string ShownPath(const std::string& relative)
{
    std::string shown = relative;
    for (size_t i : Separators(relative))
        shown[i] = '/';
    return shown;
}

bool Refuse(const std::string& message)
{
    Fail(message);
    return false;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `*` any run of bytes except "/", `?` one byte except "/"; letters A..Z match either case.
bool GlobMatch(const char* pattern, const char* text)
{
    if (*pattern == '\0')
        return *text == '\0';
    if (*pattern == '*') {
        for (const char* t = text;; ++t) {
            if (GlobMatch(pattern + 1, t))
                return true;
            if (*t == '\0' || *t == '/')
                return false;
        }
    }
    if (*text == '\0' || *text == '/') {
        if (*pattern != *text)
            return false;
    } else if (*pattern != '?' && Lower(*pattern) != Lower(*text)) {
        return false;
    }
    return GlobMatch(pattern + 1, text + 1);
}

// A glob with a "/" is matched against the path below DIR, one without against the file name.
bool NestGlobMatches(const std::string& glob, const std::string& relative)
{
    std::string shown = ShownPath(relative);
    if (glob.find('/') == std::string::npos)
        shown = shown.substr(shown.rfind('/') + 1);
    return GlobMatch(glob.c_str(), shown.c_str());
}

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    size_t n = strlen(suffix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (Lower(text[text.size() - n + i]) != Lower(suffix[i]))
            return false;
    }
    return true;
}

class Packer {
public:
    explicit Packer(const PackOptions& options) : options_(options) {}

    bool Run(PackResult* result)
    {
        if (KindOfPath(options_.folder) != PathKind::Folder)
            return Refuse(options_.folder + " is not a folder");
        std::string root = options_.root.empty() ? FolderName(options_.folder) : options_.root;
        if (root.empty() || root.find_first_of("\\/") != std::string::npos ||
            ClassifyEntryPath(("\\" + root).c_str()) != EntryTarget::File)
            return Refuse("'" + root + "' cannot be the top-level folder name; give one with --root");
        root_ = root;

        if (!Collect(options_.folder, std::string()))
            return false;
        if (entries_.empty())
            return Refuse(options_.folder + " holds no files");
        if (!Plan() || !CheckOutput())
            return false;
        TemporaryFiles temporaries;
        if (!CompressNested(temporaries) || !Write())
            return false;
        result->entries = entries_.size();
        result->contentLength = contentLength_;
        result->size = packageSize_;
        memcpy(result->digest, packageDigest_, kSha256Size);
        return true;
    }

private:
    static std::string FolderName(std::string path)
    {
        while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
            path.pop_back();
        size_t slash = path.find_last_of("/\\");
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        return name == "." || name == ".." ? std::string() : name;
    }

    bool Collect(const std::string& disk, const std::string& relative)
    {
        std::vector<FolderItem> items;
        std::string error;
        if (!ListFolder(disk, &items, &error))
            return Refuse(error);
        if (items.empty() && !relative.empty()) {
            PlannedEntry folder;
            folder.relative = relative + "\\";  // an empty folder: created, nothing written
            entries_.push_back(folder);
        }
        for (const FolderItem& item : items) {
            std::string itemDisk = disk + NativeSeparator() + item.name;
            if (!Separators(item.name).empty())
                return Refuse(itemDisk + ": a backslash would split this name into folders on installation");
            std::string itemRelative = relative.empty() ? item.name : relative + "\\" + item.name;
            if (root_.size() + 1 + itemRelative.size() >= kPackageNameSize)
                return Refuse(itemDisk + ": the name is longer than a package entry holds (259 bytes)");
            if (item.folder) {
                if (!Collect(itemDisk, itemRelative))
                    return false;
                continue;
            }
            if (item.size > UINT32_MAX)
                return Refuse(itemDisk + ": larger than a package entry holds (4 GiB)");
            PlannedEntry file;
            file.relative = itemRelative;
            file.source = itemDisk;
            file.sourceSize = item.size;
            entries_.push_back(file);
        }
        return true;
    }

    // Decides what each file is stored as and checks that the installer will make of it exactly
    // the file it is.
    bool Plan()
    {
        std::vector<int> matches(options_.nest.size(), 0);
        std::map<std::string, std::string> installed;  // lowered path below DIR -> the file it comes from
        std::set<std::string> folders;
        for (PlannedEntry& entry : entries_) {
            std::string name = entry.relative;
            for (size_t g = 0; g < options_.nest.size() && !entry.source.empty(); ++g) {
                if (!NestGlobMatches(options_.nest[g], entry.relative))
                    continue;
                ++matches[g];
                if (!EndsWithNoCase(name, ".r"))
                    return Refuse(ShownPath(entry.relative) + ": only files ending in \".r\" can be nested (the "
                                  "installer decodes NAME.7z into NAME.r)");
                entry.nest = true;
            }
            if (entry.nest)
                name = name.substr(0, name.size() - 2) + kNestedMark;

            const std::string shown = ShownPath(entry.relative);
            // What the table stores: ".7z" for a nested ".r" and the folder mark of an empty folder
            // each take a byte more than the name on disk.
            if (root_.size() + 1 + name.size() >= kPackageNameSize)
                return Refuse(shown + ": the name is longer than a package entry holds (259 bytes)");
            EntryTarget target = ClassifyEntryPath(("\\" + name).c_str());
            if (target != (entry.source.empty() ? EntryTarget::Directory : EntryTarget::File))
                return Refuse(shown + ": the installer refuses this name (device names, \"..\", trailing dots "
                              "or spaces, a GBK lead byte without its trail byte, and the characters : * ? \" < > | "
                              "are not allowed)");

            std::string lowered = LowerPackageName(name.data(), name.size());
            std::string result = lowered;  // what the installer leaves on disk
            size_t mark = lowered.find(kNestedMark);
            if (mark != std::string::npos) {
                if (mark + 3 != lowered.size())
                    return Refuse(shown + ": the installer decodes every file whose path holds \".7z\"; only a "
                                  "name ending in it can be a nested archive");
                result = lowered.substr(0, mark) + ".r";
            }
            entry.key = LowerPackageName(root_.data(), root_.size()) + "\\" + lowered;
            for (size_t i : Separators(lowered))
                folders.insert(lowered.substr(0, i));
            if (entry.source.empty())
                continue;
            auto [at, fresh] = installed.emplace(result, shown);
            if (!fresh)
                return Refuse(at->second + " and " + shown + " would both be installed as " + ShownPath(result));
        }
        for (const auto& [path, from] : installed) {
            if (folders.count(path))
                return Refuse(from + " would be installed where the installer makes a folder");
        }
        for (size_t g = 0; g < options_.nest.size(); ++g) {
            if (matches[g] == 0)
                return Refuse("--nest " + options_.nest[g] + ": no file matches");
        }
        std::sort(entries_.begin(), entries_.end(),
                  [](const PlannedEntry& a, const PlannedEntry& b) { return PackageKeyLess()(a.key, b.key); });
        return true;
    }

    // Packing the package into itself would read what is being written.
    bool CheckOutput() const
    {
        if (KindOfPath(options_.output) == PathKind::Folder)
            return Refuse(options_.output + " is a folder");
        if (KindOfPath(options_.output) != PathKind::File)
            return true;
        for (const PlannedEntry& entry : entries_) {
            if (!entry.source.empty() && SameFile(entry.source, options_.output))
                return Refuse(options_.output + " lies in " + options_.folder + "; write the package elsewhere");
        }
        return true;
    }

    // Streams `path` (exactly `size` bytes) into `sink`.
    bool Copy(const std::string& path, uint64_t size, ByteSink& sink, ProgressBar& bar)
    {
        UniqueStdioFile in(fopen(path.c_str(), "rb"));
        if (!in)
            return Refuse("cannot read " + path);
        std::vector<unsigned char> chunk(kCopyChunk);
        uint64_t left = size;
        while (left > 0) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
            if (fread(chunk.data(), 1, want, in.get()) != want)
                return Refuse(path + " changed or could not be read while packing");
            if (!sink.Put(chunk.data(), want))
                return Refuse(sink.error());
            left -= want;
            done_ += want;
            bar.Show(done_, work_);
        }
        if (fgetc(in.get()) != EOF)
            return Refuse(path + " changed while packing");
        return true;
    }

    bool CompressNested(TemporaryFiles& temporaries)
    {
        work_ = 0;
        for (PlannedEntry& entry : entries_) {
            entry.stored = entry.source;
            entry.storedSize = entry.sourceSize;
            work_ += entry.nest ? entry.sourceSize : 0;
        }
        ProgressBar bar("compressing");
        for (PlannedEntry& entry : entries_) {
            if (!entry.nest)
                continue;
            std::string error;
            std::string temporary = MakeTemporaryFile(&error);
            if (temporary.empty())
                return Refuse(error);
            temporaries.Add(temporary);
            FileSink file(temporary);
            PackageEncoder encoder(file, options_.encoding, options_.level, entry.sourceSize);
            if (!file.ok())
                return Refuse(file.error());
            if (!Copy(entry.source, entry.sourceSize, encoder, bar))
                return false;  // it said why
            if (!encoder.Finish() || !file.Close())
                return Refuse(!encoder.error().empty() ? encoder.error() : file.error());
            if (file.written() > UINT32_MAX)
                return Refuse(entry.source + ": larger than a package entry holds once compressed");
            entry.stored = temporary;
            entry.storedSize = file.written();
        }
        return true;
    }

    bool Write()
    {
        std::vector<TableEntry> table;
        for (const PlannedEntry& entry : entries_) {
            std::string name = root_ + "\\" + entry.relative;
            if (entry.nest)
                name = name.substr(0, name.size() - 2) + kNestedMark;
            table.push_back({name, static_cast<uint32_t>(entry.storedSize)});
        }
        std::string tableBytes;
        if (table.size() > kMaxPackageEntries)
            return Refuse("more files than the installer takes from a package (" + std::to_string(kMaxPackageEntries) +
                          ")");
        if (!BuildEntryTable(table, &tableBytes, &contentLength_))
            return Refuse("the content is larger than a package holds (4 GiB)");

        FileSink file(options_.output);
        if (!file.ok())
            return Refuse(file.error());
        // Hashed on the way to the disk: a package of gigabytes is not read a second time.
        HashingSink hashed(file);
        // WriteLayers says why it failed; the last bytes may only fail to reach the disk at Close.
        bool written = WriteLayers(hashed, tableBytes) && (file.Close() || Refuse(file.error()));
        if (!written) {
            RemovePath(options_.output);
            return false;
        }
        hashed.Final(packageDigest_);
        packageSize_ = file.written();
        return true;
    }

    bool WriteLayers(ByteSink& file, const std::string& tableBytes)
    {
        const uint64_t intermediateSize = sizeof(PackageHeader) + (uint64_t{contentLength_} + 15) / 16 * 16;
        PackageEncoder encoder(file, options_.encoding, options_.level, intermediateSize);
        PackageSealer sealer(encoder, contentLength_);
        if (!sealer.Put(tableBytes))
            return Refuse(sealer.error());
        ProgressBar bar("packing");
        done_ = 0;
        work_ = contentLength_;
        for (const PlannedEntry& entry : entries_) {
            if (!entry.stored.empty() && !Copy(entry.stored, entry.storedSize, sealer, bar))
                return false;
        }
        if (!sealer.Finish() || !encoder.Finish())
            return Refuse(!sealer.error().empty() ? sealer.error() : encoder.error());
        return true;
    }

    const PackOptions& options_;
    std::string root_;
    std::vector<PlannedEntry> entries_;
    uint32_t contentLength_ = 0;
    uint64_t packageSize_ = 0;
    uint8_t packageDigest_[kSha256Size] = {};
    uint64_t done_ = 0;
    uint64_t work_ = 0;
};

}  // namespace

bool PackFolder(const PackOptions& options, PackResult* result) { return Packer(options).Run(result); }

const char* EncodingReaders(PackageEncoding encoding)
{
    return encoding == PackageEncoding::Xz
               ? "xz: decoded on every core, read only by installers with the .xz decoder"
               : "lzma: read by every installer";
}

int RunPack(const PackOptions& options)
{
    PackResult packed;
    if (!PackFolder(options, &packed))
        return 1;
    printf("packed %llu entries (%llu bytes of content) into %s (%llu bytes, %s)\n",
           static_cast<unsigned long long>(packed.entries), static_cast<unsigned long long>(packed.contentLength),
           options.output.c_str(), static_cast<unsigned long long>(packed.size), EncodingReaders(options.encoding));
    printf("for the package's [listN] section of the update list:\nsize=%llu\nsha256=%s\n",
           static_cast<unsigned long long>(packed.size), LowerHex(packed.digest, kSha256Size).c_str());
    return 0;
}
