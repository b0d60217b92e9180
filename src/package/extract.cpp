// ExtractPackage: decoding, the directory, then the entries written as files, each read and
// decrypted from the intermediate file a chunk at a time.
#include "package/extract.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/join_path.h"
#include "package/entry_path.h"
#include "package/entry_pool.h"
#include "package/extract_progress.h"
#include "package/lzma_step.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kPasswordSize = 256;
constexpr char kIntermediateSuffix[] = "_.rar";
constexpr char kNestedMark[] = ".7z";
constexpr char kNestedSuffix[] = ".r";

enum class EntryOutcome {
    Written,
    Skipped,  // refused, a folder, or the target could not be opened: nothing is written
    Failed,   // the disk took fewer bytes than the entry holds, the intermediate file could not
              // be read, or a nested archive could not be decoded for want of memory or input
};

// The writing phase: one object per package, and one per thread of the pool (entry_pool.h).
class EntryWriter {
public:
    EntryWriter(const char* installDir, PackageBody& body, EntryBytes& progress)
        : installDir_(installDir), body_(body), progress_(progress)
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
                return EntryOutcome::Failed;
        }
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

    // "wb": created or truncated, and written a chunk at a time as the chunks are decrypted. A
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
        bool complete = WriteRange(file.get(), range);
        file.reset();
        if (complete)
            return EntryOutcome::Written;
        // A truncated file must not pass for an installed one.
        RemoveFile(target);
        return EntryOutcome::Failed;
    }

    // The entry's bytes, chunk by chunk. After the first, every chunk starts on a block boundary,
    // so that no block is read or decrypted twice.
    bool WriteRange(OsFile file, const PackageRange& range) const
    {
        const uint32_t end = range.offset + range.size;  // within the content: checked with the table
        for (uint32_t at = range.offset; at < end;) {
            const uint32_t length = std::min(end - at, PackageBody::kChunkSize - (at - BlockFloor(at)));
            const unsigned char* bytes = body_.Decrypt(at, length);
            uint32_t written = 0;
            if (!bytes || !WriteToFile(file, bytes, length, &written) || written != length)
                return false;
            at += length;
            progress_.Bytes(length);
        }
        return true;
    }

    // The first ".7z" of the target, searched from where the entry's own part begins: the
    // installation directory's name is the user's choice, and a ".7z" in it would send every
    // file through the decoding, deleting it and writing beside the installation directory.
    static char* NestedMark(char* target, const char* relative)
    {
        size_t own = strlen(relative[0] == '\\' ? relative + 1 : relative);
        return strstr(target + strlen(target) - own, kNestedMark);
    }

    // Decodes the nested archive `target` into "<target up to mark>.r" and deletes it. Damaged
    // data is ignored (its output stays as the step left it); a failure of this machine (no
    // memory for the decoder, an input that cannot be read, a short write) fails the entry, and
    // its output goes: an empty or partial file must not pass for an installed one.
    static bool DecodeNested(char* target, char* mark)
    {
        char output[kExtractPathSize];
        size_t prefix = static_cast<size_t>(mark - target);
        memcpy(output, target, prefix);
        output[prefix] = '\0';
        AppendString(output, kNestedSuffix);  // shorter than the ".7z..." it replaces: it fits
        ClearReadOnly(output);
        bool machineFault = false;
        DecodeLzmaFile(target, output, &machineFault);
        RemoveFile(target);
        if (machineFault)
            RemoveFile(output);
        return !machineFault;
    }

    const char* installDir_;
    PackageBody& body_;
    EntryBytes& progress_;
};

class PooledEntryWriter final : public PoolWriter {
public:
    PooledEntryWriter(const char* installDir, PackageBody& body, EntryBytes& bytes)
        : writer_(installDir, body, bytes)
    {
    }
    bool Write(const DirectoryEntry& entry) override
    {
        return writer_.Write(entry.first, entry.second) != EntryOutcome::Failed;
    }

private:
    EntryWriter writer_;
};

class PooledEntryWriters final : public PoolWriters {
public:
    explicit PooledEntryWriters(const char* installDir) : installDir_(installDir) {}
    std::unique_ptr<PoolWriter> Make(PackageBody& body, EntryBytes& bytes) override
    {
        return std::make_unique<PooledEntryWriter>(installDir_, body, bytes);
    }

private:
    const char* installDir_;
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

int ExtractPackage(ProgressSink& sink, const char* packageName, const char* installDir, bool intermediateDecoded)
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
    ExtractionProgress progress(sink);
    PackageDirectory directory;
    {
        PackageBody body;
        if (body.Open(password, paths.intermediate)) {
            progress.Start();
            ReadPackageDirectory(body, directory);
        }
        if (directory.empty())
            return 1;

        uint64_t bytes = 0;
        for (const auto& entry : directory)
            bytes += entry.second.size;
        progress.Plan(directory.size(), bytes);

        CreateOneDirectory(installDir);
        // Entries that no other can interfere with go out side by side first (entry_pool.h).
        PooledEntryWriters pool(installDir);
        std::vector<bool> pooled;
        bool failed = !WriteIndependentEntries(directory, paths, password, installDir, body, pool, progress, &pooled);
        EntryWriter writer(installDir, body, progress);
        size_t i = 0;
        for (const auto& [key, range] : directory) {
            if (failed || pooled[i++])
                continue;
            failed = writer.Write(key, range) == EntryOutcome::Failed;
            if (!failed)
                progress.EntryDone(range.size);
        }
        if (failed) {
            body.Close();
            RemoveFile(paths.intermediate);
            return 1;
        }
    }  // the intermediate file is closed before it is deleted
    progress.Finish();
    RemoveFile(paths.package);
    RemoveFile(paths.intermediate);
    return 0;
}
