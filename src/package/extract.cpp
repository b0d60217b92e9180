// ExtractPackage: decoding, the directory, then the entries written as files, each read and
// decrypted from the intermediate file a chunk at a time.
#include "package/extract.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/gbk.h"
#include "common/join_path.h"
#include "package/entry_path.h"
#include "package/entry_pool.h"
#include "package/extract_progress.h"
#include "package/lzma_step.h"
#include "package/lzma_stream_decoder.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr size_t kPasswordSize = 256;
constexpr char kIntermediateSuffix[] = "_.rar";

// How long a file that another process holds may keep the extraction waiting for it: an antivirus
// scan or the search indexer lets go within a few seconds; a running program does not.
std::atomic<unsigned> g_busyFileWaitMs{5000};
constexpr unsigned kBusyFileRetryMs = 250;

// An entry name holds at most 259 bytes, so at most 129 folders below the installation directory.
constexpr size_t kMaxFolderDepth = kPackageNameSize / 2 + 1;

enum class EntryOutcome {
    Written,
    Skipped,  // refused, or a folder: nothing to write
    Failed,   // a file or folder could not be made, the disk took fewer bytes than the entry holds,
              // the intermediate file could not be read, or a nested archive could not be decoded
              // for want of memory
};

// The folders on the way to the entries, each held (common/file_system.h) from its check until
// the entries below it are out: the installation directory first, then one level for each
// folder of the current entry. The entries come in key order, so the next one usually keeps
// most of the levels.
class FolderChain {
public:
    explicit FolderChain(const char* installDir) : installDir_(installDir) {}

    // Makes (when missing) and holds the installation directory. False when it cannot be had as a
    // plain folder.
    bool Open(char (&failed)[kExtractPathSize])
    {
        char folder[kExtractPathSize];
        // Without its trailing backslashes, so that a link is seen as itself; "D:\" keeps its own.
        size_t length = GbkLengthWithout(installDir_, strlen(installDir_), '\\');
        if (length >= sizeof folder)
            return false;
        if (length > 0 && installDir_[length - 1] == ':')
            ++length;
        memcpy(folder, installDir_, length);
        folder[length] = '\0';
        CreateOneDirectory(folder);  // exists already, or the hold below fails
        levels_[0].folder.reset(HoldFolder(folder));
        depth_ = 1;
        if (!levels_[0].folder)
            CopyString(failed, installDir_);
        return static_cast<bool>(levels_[0].folder);
    }

    // Makes and holds every folder of `relative` (StripRootComponent's form), from the outside in:
    // the prefix before each of its backslashes. False, with the folder in `failed`, when one
    // cannot be had as a plain folder.
    bool Enter(const char* relative, char (&failed)[kExtractPathSize])
    {
        size_t level = 1;
        for (size_t i = 0; relative[i] != '\0'; i += GbkCharWidth(relative + i)) {
            if (relative[i] != '\\' || i == 0)
                continue;  // position 0 is the installation directory itself
            if (level >= kMaxFolderDepth)
                return false;
            if (level < depth_ && levels_[level].length == i && memcmp(prefix_, relative, i) == 0) {
                ++level;  // held for the entry before
                continue;
            }
            Leave(level);
            char folder[kExtractPathSize];
            if (i >= sizeof prefix_)
                return false;
            memcpy(prefix_, relative, i);
            prefix_[i] = '\0';
            if (!JoinPath(folder, installDir_, prefix_))
                return false;
            CreateOneDirectory(folder);
            levels_[level].folder.reset(HoldFolder(folder));
            if (!levels_[level].folder) {
                CopyString(failed, folder);
                return false;
            }
            levels_[level].length = i;
            depth_ = ++level;
        }
        return true;
    }

private:
    // Lets go of the folders from `level` on.
    void Leave(size_t level)
    {
        while (depth_ > level)
            levels_[--depth_].folder.reset();
    }

    struct Level {
        size_t length = 0;  // of the folder's prefix of the entry's relative path
        UniqueOsFile folder;
    };

    const char* installDir_;
    Level levels_[kMaxFolderDepth];
    size_t depth_ = 0;
    char prefix_[kExtractPathSize] = {};  // the relative path of the deepest level held
};

// The writing phase: one object per package, and one per thread of the pool (entry_pool.h).
class EntryWriter {
public:
    EntryWriter(const char* installDir, PackageBody& body, EntryBytes& progress)
        : installDir_(installDir), body_(body), progress_(progress), folders_(installDir)
    {
    }

    bool Open() { return folders_.Open(failed_); }

    EntryOutcome Write(const char* key, const PackageRange& range)
    {
        const char* relative = StripRootComponent(key);
        EntryTarget kind = ClassifyEntryPath(relative);
        if (kind == EntryTarget::Refused)
            return EntryOutcome::Skipped;
        if (!folders_.Enter(relative, failed_))
            return EntryOutcome::Failed;
        if (kind == EntryTarget::Directory)
            return EntryOutcome::Skipped;  // a folder cannot be opened as a file

        char target[kExtractPathSize];
        if (!JoinPath(target, installDir_, relative)) {
            CopyString(failed_, relative);
            return EntryOutcome::Failed;
        }
        if (char* mark = NestedMark(target, relative))
            return WriteNested(target, mark, range);
        UniqueOsFile file(OpenTarget(target));
        if (!file)
            return EntryOutcome::Failed;
        if (WriteRange(range, [&](const unsigned char* bytes, uint32_t length) {
                uint32_t written = 0;
                return WriteToFile(file.get(), bytes, length, &written) && written == length;
            }))
            return EntryOutcome::Written;
        // A truncated file must not pass for an installed one.
        file.reset();
        RemoveFile(target);
        CopyString(failed_, target);
        return EntryOutcome::Failed;
    }

    // The file or folder that made the last entry fail.
    const char* failed() const { return failed_; }

private:
    // The entry's file, waiting a few seconds for one that another process holds. Nothing is
    // skipped: what cannot be written fails the extraction, named in failed_.
    OsFile OpenTarget(const char* path)
    {
        bool notPlain = false;
        for (unsigned waited = 0;; waited += kBusyFileRetryMs) {
            OsFile file = CreatePlainFile(path, &notPlain);
            if (file != kNoFile)
                return file;
            if (notPlain || waited >= g_busyFileWaitMs.load())
                break;
            WaitMilliseconds(kBusyFileRetryMs);
        }
        CopyString(failed_, path);
        return kNoFile;
    }

    // The entry's bytes, chunk by chunk, each handed to `write`. After the first, every chunk
    // starts on a block boundary, so that no block is read or decrypted twice.
    template <typename Write>
    bool WriteRange(const PackageRange& range, Write write)
    {
        const uint32_t end = range.offset + range.size;  // within the content: checked with the table
        for (uint32_t at = range.offset; at < end;) {
            const uint32_t length = std::min(end - at, PackageBody::kChunkSize - (at - BlockFloor(at)));
            const unsigned char* bytes = body_.Decrypt(at, length);
            if (!bytes || !write(bytes, length))
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

    // A nested archive goes through the decoding into "<target up to mark>.r" as its bytes are
    // decrypted, and the ".7z" itself is never written: what is decoded is what the package holds,
    // not a file of the game's folder read back. Damaged data is ignored (its output stays as the
    // decoding left it); a failure of this machine (no memory for the decoder, a short write, an
    // unreadable intermediate file) fails the entry, and its output goes: an empty or partial
    // file must not pass for an installed one.
    EntryOutcome WriteNested(char* target, char* mark, const PackageRange& range)
    {
        char output[kExtractPathSize];
        size_t prefix = static_cast<size_t>(mark - target);
        memcpy(output, target, prefix);
        output[prefix] = '\0';
        AppendString(output, kNestedSuffix);  // shorter than the ".7z..." it replaces: it fits
        RemoveFile(target);                   // an archive of an earlier install goes as it always did
        OsFile file = OpenTarget(output);
        if (file == kNoFile)
            return EntryOutcome::Failed;
        LzmaStreamDecoder decoder;
        decoder.Adopt(file);
        const bool read = WriteRange(range, [&](const unsigned char* bytes, uint32_t length) {
            decoder.Feed(bytes, length);  // a data error ends the decoding, not the reading
            return true;
        });
        decoder.Finish();
        const int code = decoder.code();
        if (read && code != kLzmaNoMemory && code != kLzmaWriteError)
            return EntryOutcome::Written;
        RemoveFile(output);
        CopyString(failed_, output);
        return EntryOutcome::Failed;
    }

    const char* installDir_;
    PackageBody& body_;
    EntryBytes& progress_;
    FolderChain folders_;
    char failed_[kExtractPathSize] = {};
};

// A writer thread's EntryWriter (entry_pool.h), which holds its own chain of folders.
class PooledEntryWriter final : public PoolWriter {
public:
    PooledEntryWriter(const char* installDir, PackageBody& body, EntryBytes& bytes)
        : writer_(installDir, body, bytes)
    {
    }
    bool Write(const PackageDirectoryEntry& entry) override
    {
        if (!opened_ && !(opened_ = writer_.Open()))
            return false;
        return writer_.Write(entry.key, entry.range) != EntryOutcome::Failed;
    }
    const char* failed() const override { return writer_.failed(); }

private:
    EntryWriter writer_;
    bool opened_ = false;
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

void SetBusyFileWait(unsigned milliseconds) { g_busyFileWaitMs = milliseconds; }

bool FormPackagePaths(const char* installDir, const char* packageName, PackagePaths* paths)
{
    memset(paths, 0, sizeof *paths);
    if (!JoinPath(paths->package, installDir, packageName))
        return false;
    // The "." is searched in the package's own file name: one in a folder's name would put the
    // intermediate file beside that folder, outside the installation directory.
    const char* separator = FindLastGbkChar(paths->package, '\\');
    const char* name = separator ? separator + 1 : paths->package;
    const char* dot = strrchr(name, '.');  // never a trail byte
    size_t stem = dot ? static_cast<size_t>(dot - paths->package) : strlen(paths->package);
    if (stem + sizeof kIntermediateSuffix > sizeof paths->intermediate)
        return false;
    memcpy(paths->intermediate, paths->package, stem);
    paths->intermediate[stem] = '\0';
    AppendString(paths->intermediate, kIntermediateSuffix);
    return strlen(paths->package) + strlen(paths->intermediate) <= kLzmaPathLimit;
}

int ExtractPackage(ProgressSink& sink, const char* packageName, const char* installDir, bool intermediateDecoded,
                   ExtractReport* report)
{
    ExtractReport ignored;
    if (!report)
        report = &ignored;
    report->failedFile[0] = '\0';
    PackagePaths paths;
    if (!FormPackagePaths(installDir, packageName, &paths))
        return 1;
    char password[kPasswordSize] = {};
    CopyString(password, PackagePassword);

    // Only an intermediate file that this run decoded is ever read: one lying there already goes
    // first, and a decoding that fails ends the extraction.
    if (!intermediateDecoded) {
        RemoveFile(paths.intermediate);
        if (DecodeLzmaFile(paths.package, paths.intermediate) != 0) {
            char line[2 * kExtractPathSize + 32];
            FormatString(line, "解压文件文件%s 为 %s失败", paths.package, paths.intermediate);
            WriteDebugOutput(line);
            RemoveFile(paths.intermediate);
            return 1;
        }
    }

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
            bytes += entry.range.size;
        progress.Plan(directory.size(), bytes);

        EntryWriter writer(installDir, body, progress);
        bool failed = !writer.Open();
        const char* failedFile = writer.failed();
        // Entries that no other can interfere with go out side by side first (entry_pool.h).
        PooledEntryWriters pool(installDir);
        std::vector<bool> pooled;
        char poolFailed[kExtractPathSize] = {};
        if (!failed && !WriteIndependentEntries(directory, paths, password, installDir, body, pool, progress, &pooled,
                                                poolFailed)) {
            failed = true;
            failedFile = poolFailed;
        }
        size_t i = 0;
        for (auto entry = directory.begin(); !failed && entry != directory.end(); ++entry) {
            if (pooled[i++])
                continue;
            failed = writer.Write(entry->key, entry->range) == EntryOutcome::Failed;
            if (!failed)
                progress.EntryDone(entry->range.size);
        }
        if (failed) {
            CopyString(report->failedFile, failedFile);
            body.Close();
            RemoveFile(paths.intermediate);
            return 1;
        }
    }  // the intermediate file and the folders are let go before the files are deleted
    progress.Finish();
    RemoveFile(paths.package);
    RemoveFile(paths.intermediate);
    return 0;
}
