// ExtractPackage: decoding, reading and decrypting, then the entries written as files.
#include "package/extract.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/join_path.h"
#include "package/entry_path.h"
#include "package/lzma_step.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr unsigned kWritePauseMs = 10;
constexpr size_t kPasswordSize = 256;
constexpr char kIntermediateSuffix[] = "_.rar";
constexpr char kNestedMark[] = ".7z";
constexpr char kNestedSuffix[] = ".r";

enum class EntryOutcome {
    Written,
    Skipped,    // refused, a folder, or the target could not be opened: counts nowhere
    WriteShort,  // the disk took fewer bytes than the entry holds
};

// The writing phase: one object per package.
class EntryWriter {
public:
    EntryWriter(const char* installDir, const PackageContent& content, ProgressSink& progress, size_t keys)
        : installDir_(installDir), content_(content), progress_(progress), keys_(keys)
    {
    }

    EntryOutcome Write(const std::string& key, const PackageRange& range)
    {
        const char* relative = StripRootComponent(key.c_str());
        EntryTarget kind = ClassifyEntryPath(relative);
        if (kind == EntryTarget::Refused)
            return EntryOutcome::Skipped;
        CreateFolders(relative);
        if (kind == EntryTarget::Directory)
            return EntryOutcome::Skipped;  // a folder cannot be opened as a file

        char target[kExtractPathSize];
        if (!JoinPath(target, installDir_, relative))
            return EntryOutcome::Skipped;
        EntryOutcome outcome = WriteEntryFile(target, range);
        if (outcome != EntryOutcome::Written)
            return outcome;
        if (char* mark = NestedMark(target, relative)) {
            if (!DecodeNested(target, mark))
                return EntryOutcome::WriteShort;
        }
        CountWritten();
        return EntryOutcome::Written;
    }

private:
    // Every folder on the way, from the outside in: the prefix of `relative` before each of its
    // backslashes (the first one, at position 0, gives the installation directory itself).
    void CreateFolders(const char* relative) const
    {
        char prefix[kExtractPathSize];
        char folder[kExtractPathSize];
        for (size_t i = 0; relative[i] != '\0'; ++i) {
            if (relative[i] != '\\' || i >= sizeof prefix)
                continue;
            memcpy(prefix, relative, i);
            prefix[i] = '\0';
            if (JoinPath(folder, installDir_, prefix))
                CreateOneDirectory(folder);  // exists already, or the open below will fail
        }
    }

    // True when `target` had a read-only bit and it is gone now.
    static bool ClearReadOnly(const char* target)
    {
        uint32_t attributes = 0;
        return GetPathAttributes(target, &attributes) && (attributes & kAttributeReadOnly) &&
               SetPathAttributes(target, attributes & ~kAttributeReadOnly);
    }

    // "wb": created or truncated, written in one call straight from the content buffer. A
    // read-only file in the way fails the open; its bit is cleared then and the open tried again.
    // A privileged user (root, under Wine too) opens it all the same: the bit goes afterwards.
    // Looking at the attributes only when a file was there spares every new file a second lookup
    // of its name, which costs a scan of the whole folder where names are matched without case.
    EntryOutcome WriteEntryFile(const char* target, const PackageRange& range) const
    {
        bool existed = false;
        UniqueOsFile file(CreateOutputFile(target, WriteSharing::Anyone, &existed));
        if (!file && ClearReadOnly(target))
            file.reset(CreateOutputFile(target, WriteSharing::Anyone));
        else if (file && existed)
            ClearReadOnly(target);
        if (!file)
            return EntryOutcome::Skipped;
        uint32_t written = 0;
        bool complete = WriteToFile(file.get(), content_.bytes.get() + range.offset, range.size, &written) &&
                        written == range.size;
        file.reset();
        if (complete)
            return EntryOutcome::Written;
        // A truncated file must not pass for an installed one.
        RemoveFile(target);
        return EntryOutcome::WriteShort;
    }

    // The first ".7z" of the target, searched from where the entry's own part begins: the
    // installation directory's name is the user's choice, and a ".7z" in it would send every
    // file through the decoding, deleting it and writing beside the installation directory.
    static char* NestedMark(char* target, const char* relative)
    {
        size_t own = strlen(relative[0] == '\\' ? relative + 1 : relative);
        return strstr(target + strlen(target) - own, kNestedMark);
    }

    // Decodes the nested archive `target` into "<target up to mark>.r" and deletes it. A failed
    // decoding is ignored (its output stays as the step left it), except a short write.
    static bool DecodeNested(char* target, char* mark)
    {
        char output[kExtractPathSize];
        size_t prefix = static_cast<size_t>(mark - target);
        memcpy(output, target, prefix);
        output[prefix] = '\0';
        AppendString(output, kNestedSuffix);  // shorter than the ".7z..." it replaces: it fits
        ClearReadOnly(output);
        bool outputShort = false;
        DecodeLzmaFile(target, output, &outputShort);
        RemoveFile(target);
        if (outputShort)
            RemoveFile(output);
        return !outputShort;
    }

    void CountWritten()
    {
        unsigned percent = static_cast<unsigned>(50 + (static_cast<uint64_t>(written_) * 50) / keys_);
        ++written_;
        if (percent == last_)
            return;
        progress_.Post(percent);
        last_ = percent;
        progress_.Pause(kWritePauseMs);
    }

    const char* installDir_;
    const PackageContent& content_;
    ProgressSink& progress_;
    size_t keys_;
    size_t written_ = 0;
    unsigned last_ = 50;
};

}  // namespace

bool FormPackagePaths(const char* installDir, const char* packageName, PackagePaths* paths)
{
    memset(paths, 0, sizeof *paths);
    if (!JoinPath(paths->package, installDir, packageName))
        return false;
    const char* dot = strrchr(paths->package, '.');
    size_t stem = dot ? static_cast<size_t>(dot - paths->package) : strlen(paths->package);
    if (stem + sizeof kIntermediateSuffix > sizeof paths->intermediate)
        return false;
    memcpy(paths->intermediate, paths->package, stem);
    paths->intermediate[stem] = '\0';
    AppendString(paths->intermediate, kIntermediateSuffix);
    return strlen(paths->package) + strlen(paths->intermediate) <= kLzmaPathLimit;
}

int ExtractPackage(ProgressSink& progress, const char* packageName, const char* installDir, bool intermediateDecoded)
{
    PackagePaths paths;
    if (!FormPackagePaths(installDir, packageName, &paths))
        return 1;
    char password[kPasswordSize] = {};
    CopyString(password, PackagePassword);

    if (!intermediateDecoded && DecodeLzmaFile(paths.package, paths.intermediate) != 0) {
        char line[2 * kExtractPathSize + 32];
        FormatString(line, "解压文件文件%s 为 %s失败", paths.package, paths.intermediate);
        WriteDebugOutput(line);
    }

    // Whatever intermediate file exists is read: a missing or damaged one yields no entries.
    uint32_t contentLength = 0;
    PackageContent content = ReadPackageFile(password, paths.intermediate, progress, &contentLength);
    PackageDirectory directory;
    if (content)
        ParsePackageDirectory(contentLength, content.bytes.get(), content.size, directory);
    if (directory.empty())
        return 1;

    CreateOneDirectory(installDir);
    EntryWriter writer(installDir, content, progress, directory.size());
    for (const auto& [key, range] : directory) {
        if (writer.Write(key, range) == EntryOutcome::WriteShort) {
            RemoveFile(paths.intermediate);
            return 1;
        }
    }
    progress.Post(100);
    RemoveFile(paths.package);
    RemoveFile(paths.intermediate);
    return 0;
}
