// IndependentEntries and the threads that write them side by side.
#include "package/entry_pool.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/join_path.h"
#include "package/entry_path.h"
#include "package/extract.h"
#include "package/package_body.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

std::atomic<unsigned> g_threads{kEntryWriterThreads};
std::atomic<size_t> g_taken{0};

// A range-for over `count` entries.
struct Entries {
    const DirectoryEntry* first;
    size_t count;
    const DirectoryEntry* begin() const { return first; }
    const DirectoryEntry* end() const { return first + count; }
};

// An entry's path below the installation directory, without the leading backslash.
std::string OwnPart(const char* key)
{
    const char* relative = StripRootComponent(key);
    return relative[0] == '\\' ? relative + 1 : relative;
}

bool PlainAscii(const std::string& path)
{
    for (unsigned char c : path) {
        if (c >= 0x80 || c == '~')
            return false;
    }
    return true;
}

bool SameAsciiPath(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

// A path as a 64-bit FNV-1a hash: the table of what every entry makes stays small beside the
// directory (a million entries' names take some hundred MiB), and two paths of one hash only make
// their entries go out on the extraction's thread.
uint64_t PathHash(const std::string& path, size_t length)
{
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(path[i])) * 1099511628211ull;
    return hash;
}

// What every entry makes below the installation directory: files (with how many entries make
// each) and folders.
struct Made {
    std::map<uint64_t, int> files;
    std::set<uint64_t> folders;

    Made(const DirectoryEntry* entries, size_t count)
    {
        for (const DirectoryEntry& entry : Entries{entries, count}) {
            const std::string own = OwnPart(entry.key);
            const EntryTarget kind = ClassifyEntryPath(StripRootComponent(entry.key));
            if (kind == EntryTarget::Refused)
                continue;
            for (size_t at = own.find('\\'); at != std::string::npos; at = own.find('\\', at + 1))
                folders.insert(PathHash(own, at));
            if (kind == EntryTarget::Directory)
                continue;
            ++files[PathHash(own, own.size())];
            const size_t mark = own.find(kNestedMark);
            if (mark != std::string::npos) {
                const std::string output = own.substr(0, mark) + kNestedSuffix;
                ++files[PathHash(output, output.size())];
            }
        }
    }
};

bool IsReserved(const char* installDir, const std::string& path, const std::vector<const char*>& reserved)
{
    char full[kExtractPathSize];
    if (!JoinPath(full, installDir, path.c_str()))
        return true;
    for (const char* name : reserved) {
        if (SameAsciiPath(full, name))
            return true;
    }
    return false;
}

}  // namespace

size_t EntriesWrittenSideBySide() { return g_taken.load(); }

void SetEntryWriterThreads(unsigned threads) { g_threads = std::min(threads, kEntryWriterThreads); }

std::vector<bool> IndependentEntries(const DirectoryEntry* entries, size_t count, const char* installDir,
                                     const std::vector<const char*>& reserved)
{
    const Made made(entries, count);
    std::vector<bool> independent;
    independent.reserve(count);
    for (const DirectoryEntry& entry : Entries{entries, count}) {
        const std::string own = OwnPart(entry.key);
        const auto makers = made.files.find(PathHash(own, own.size()));
        bool alone = ClassifyEntryPath(StripRootComponent(entry.key)) == EntryTarget::File &&
                     own.find(kNestedMark) == std::string::npos && PlainAscii(own) && makers != made.files.end() &&
                     makers->second == 1 && !made.folders.count(PathHash(own, own.size())) &&
                     !IsReserved(installDir, own, reserved);
        for (size_t at = own.find('\\'); alone && at != std::string::npos; at = own.find('\\', at + 1))
            alone = !made.files.count(PathHash(own, at)) && !IsReserved(installDir, own.substr(0, at), reserved);
        independent.push_back(alone);
    }
    return independent;
}

namespace {

// What the threads share: the next entry to take, and what is done. A mutex, no condition: the
// extraction's thread writes entries too, and posts the progress between its own chunks.
struct Shared {
    Shared(const std::vector<const DirectoryEntry*>& all, PoolWriters& makers) : entries(all), make(makers) {}

    const std::vector<const DirectoryEntry*>& entries;
    PoolWriters& make;
    std::mutex lock;
    size_t next = 0;
    bool failed = false;
    char failedFile[kExtractPathSize] = {};  // of the first entry that failed
    size_t entriesDone = 0;
    uint64_t doneBytes = 0;  // of the entries done
    uint64_t partBytes = 0;  // out so far of the entries under way
};

// One thread's share of the work. The extraction's own thread posts what all have done (through
// `progress`, which no other thread touches) after each chunk of its own and each entry.
class EntryThread final : public EntryBytes {
public:
    EntryThread(Shared& shared, PackageBody& body, ExtractionProgress* progress)
        : shared_(shared), body_(body), progress_(progress)
    {
    }

    static void Run(void* self) { static_cast<EntryThread*>(self)->Run(); }

    void Run()
    {
        std::unique_ptr<PoolWriter> writer = shared_.make.Make(body_, *this);
        for (;;) {
            const DirectoryEntry* entry = nullptr;
            {
                std::lock_guard<std::mutex> hold(shared_.lock);
                if (shared_.failed || shared_.next == shared_.entries.size())
                    break;
                entry = shared_.entries[shared_.next++];
            }
            ++g_taken;
            ours_ = 0;
            const bool written = writer->Write(*entry);
            {
                std::lock_guard<std::mutex> hold(shared_.lock);
                shared_.partBytes -= ours_;
                shared_.doneBytes += entry->range.size;
                ++shared_.entriesDone;
                if (!written && !shared_.failed)
                    CopyString(shared_.failedFile, writer->failed());
                shared_.failed = shared_.failed || !written;
            }
            Post();
        }
    }

    void Bytes(uint32_t bytes) override
    {
        {
            std::lock_guard<std::mutex> hold(shared_.lock);
            shared_.partBytes += bytes;
            ours_ += bytes;
        }
        Post();
    }

    // The progress of all the threads, posted (and paused after) on the extraction's thread.
    void Post()
    {
        if (!progress_)
            return;
        size_t entries;
        uint64_t done, part;
        {
            std::lock_guard<std::mutex> hold(shared_.lock);
            entries = shared_.entriesDone;
            done = shared_.doneBytes;
            part = shared_.partBytes;
        }
        progress_->Reached(entries, done, part);
    }

private:
    Shared& shared_;
    PackageBody& body_;
    ExtractionProgress* const progress_;  // the extraction's thread only
    uint64_t ours_ = 0;                   // bytes of the entry under way, counted in partBytes
};

// A writer thread's own view of the intermediate file, and its share of the work.
struct WriterThread {
    explicit WriterThread(Shared& shared) : work(shared, body, nullptr) {}
    PackageBody body;
    EntryThread work;
    SideThread thread;
};

}  // namespace

bool WriteIndependentEntries(const PackageDirectory& directory, const PackagePaths& paths, const char* password,
                             const char* installDir, PackageBody& body, PoolWriters& make,
                             ExtractionProgress& progress, std::vector<bool>* pooled, char* failedFile)
{
    pooled->assign(directory.size(), false);
    if (directory.size() < kEntriesForThreads || g_threads == 0)
        return true;
    std::vector<bool> independent =
        IndependentEntries(directory.begin(), directory.size(), installDir, {paths.package, paths.intermediate});
    std::vector<const DirectoryEntry*> entries;
    size_t i = 0;
    for (const DirectoryEntry& entry : directory) {
        if (independent[i++])
            entries.push_back(&entry);
    }

    // Each writer thread needs its own view of the intermediate file; a thread that cannot have
    // one, or cannot be had at all, leaves its share to the others.
    Shared shared(entries, make);
    std::unique_ptr<WriterThread> writers[kEntryWriterThreads];
    unsigned started = 0;
    for (unsigned n = 0; n < g_threads; ++n) {
        writers[n].reset(new WriterThread(shared));
        if (!writers[n]->body.Open(password, paths.intermediate) ||
            !writers[n]->thread.Start(EntryThread::Run, &writers[n]->work))
            break;
        ++started;
    }
    if (started == 0)
        return true;
    EntryThread own(shared, body, &progress);
    own.Run();
    for (unsigned n = 0; n < started; ++n) {
        writers[n]->thread.Join();
        own.Post();
    }
    *pooled = std::move(independent);
    memcpy(failedFile, shared.failedFile, sizeof shared.failedFile);
    return !shared.failed;
}
