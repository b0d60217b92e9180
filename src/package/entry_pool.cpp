// IndependentEntries and the threads that write them side by side.
#include "package/entry_pool.h"

#include "common/file_system.h"
#include "common/join_path.h"
#include "package/entry_path.h"
#include "package/extract.h"
#include "package/package_body.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

constexpr char kNestedMark[] = ".7z";
constexpr char kNestedSuffix[] = ".r";

std::atomic<unsigned> g_threads{kEntryWriterThreads};
std::atomic<size_t> g_taken{0};

// An entry's path below the installation directory, without the leading backslash.
std::string OwnPart(const std::string& key)
{
    const char* relative = StripRootComponent(key.c_str());
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

// What every entry makes below the installation directory: files (with how many entries make
// each) and folders.
struct Made {
    std::map<std::string, int> files;
    std::set<std::string> folders;

    explicit Made(const PackageDirectory& directory)
    {
        for (const DirectoryEntry& entry : directory) {
            const std::string own = OwnPart(entry.first);
            const EntryTarget kind = ClassifyEntryPath(StripRootComponent(entry.first.c_str()));
            if (kind == EntryTarget::Refused)
                continue;
            for (size_t at = own.find('\\'); at != std::string::npos; at = own.find('\\', at + 1))
                folders.insert(own.substr(0, at));
            if (kind == EntryTarget::Directory)
                continue;
            ++files[own];
            const size_t mark = own.find(kNestedMark);
            if (mark != std::string::npos)
                ++files[own.substr(0, mark) + kNestedSuffix];
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

std::vector<bool> IndependentEntries(const PackageDirectory& directory, const char* installDir,
                                     const std::vector<const char*>& reserved)
{
    const Made made(directory);
    std::vector<bool> independent;
    independent.reserve(directory.size());
    for (const DirectoryEntry& entry : directory) {
        const std::string own = OwnPart(entry.first);
        const auto makers = made.files.find(own);
        bool alone = ClassifyEntryPath(StripRootComponent(entry.first.c_str())) == EntryTarget::File &&
                     own.find(kNestedMark) == std::string::npos && PlainAscii(own) && makers != made.files.end() &&
                     makers->second == 1 && !made.folders.count(own) && !IsReserved(installDir, own, reserved);
        for (size_t at = own.find('\\'); alone && at != std::string::npos; at = own.find('\\', at + 1)) {
            const std::string folder = own.substr(0, at);
            alone = !made.files.count(folder) && !IsReserved(installDir, folder, reserved);
        }
        independent.push_back(alone);
    }
    return independent;
}

namespace {

// What the threads share: the next entry to take, and what is done.
struct Shared {
    Shared(const std::vector<const DirectoryEntry*>& all, const MakePoolWriter& maker) : entries(all), make(maker) {}

    const std::vector<const DirectoryEntry*>& entries;
    const MakePoolWriter& make;
    std::mutex lock;
    std::condition_variable changed;  // for the posting thread
    size_t next = 0;
    size_t running = 0;
    bool failed = false;
    bool news = false;
    size_t entriesDone = 0;
    uint64_t doneBytes = 0;  // of the entries done
    uint64_t partBytes = 0;  // out so far of the entries under way

    void Tell()
    {
        news = true;
        changed.notify_one();
    }
};

class WriterThread final : public EntryBytes {
public:
    explicit WriterThread(Shared& shared) : shared_(shared) {}

    bool Open(const char* password, const char* intermediate) { return body_.Open(password, intermediate); }

    static void Run(void* self) { static_cast<WriterThread*>(self)->Run(); }

    void Bytes(uint32_t bytes) override
    {
        std::lock_guard<std::mutex> hold(shared_.lock);
        shared_.partBytes += bytes;
        ours_ += bytes;
        shared_.Tell();
    }

private:
    void Run()
    {
        std::unique_ptr<PoolWriter> writer = shared_.make(body_, *this);
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
            std::lock_guard<std::mutex> hold(shared_.lock);
            shared_.partBytes -= ours_;
            shared_.doneBytes += entry->second.size;
            ++shared_.entriesDone;
            shared_.failed = shared_.failed || !written;
            shared_.Tell();
        }
        writer.reset();
        body_.Close();
        std::lock_guard<std::mutex> hold(shared_.lock);
        --shared_.running;
        shared_.Tell();
    }

    Shared& shared_;
    PackageBody body_;
    uint64_t ours_ = 0;  // bytes of the entry under way, counted in partBytes
};

enum class PoolOutcome {
    Written,     // every entry is out (written, or skipped as the extraction skips)
    Failed,      // an entry failed; no entry was begun after it
    NotStarted,  // no thread, or no memory for one: nothing was written
};

PoolOutcome WriteSideBySide(const std::vector<const DirectoryEntry*>& entries, const char* password,
                            const char* intermediate, const MakePoolWriter& make, ExtractionProgress& progress)
{
    Shared shared(entries, make);
    std::unique_ptr<WriterThread> writers[kEntryWriterThreads];
    SideThread threads[kEntryWriterThreads];
    unsigned count = 0;
    while (count < g_threads) {
        writers[count].reset(new WriterThread(shared));
        if (!writers[count]->Open(password, intermediate))
            break;
        ++count;
    }
    shared.running = count;
    unsigned started = 0;
    for (; started < count; ++started) {
        if (!threads[started].Start(WriterThread::Run, writers[started].get()))
            break;
    }
    std::unique_lock<std::mutex> hold(shared.lock);
    shared.running -= count - started;
    if (started == 0)
        return PoolOutcome::NotStarted;
    for (;;) {
        shared.changed.wait(hold, [&] { return shared.news; });
        shared.news = false;
        const size_t entriesDone = shared.entriesDone;
        const uint64_t doneBytes = shared.doneBytes, partBytes = shared.partBytes;
        const bool ended = shared.running == 0;
        hold.unlock();
        progress.Reached(entriesDone, doneBytes, partBytes);  // posts and pauses while the threads write
        hold.lock();
        if (ended)
            break;
    }
    hold.unlock();
    for (unsigned i = 0; i < started; ++i)
        threads[i].Join();
    return shared.failed ? PoolOutcome::Failed : PoolOutcome::Written;
}

}  // namespace

bool WriteIndependentEntries(const PackageDirectory& directory, const PackagePaths& paths, const char* password,
                             const char* installDir, const MakePoolWriter& make, ExtractionProgress& progress,
                             std::vector<bool>* pooled)
{
    pooled->assign(directory.size(), false);
    if (directory.size() < kEntriesForThreads || g_threads == 0)
        return true;
    const std::vector<bool> independent =
        IndependentEntries(directory, installDir, {paths.package, paths.intermediate});
    std::vector<const DirectoryEntry*> entries;
    size_t i = 0;
    for (const DirectoryEntry& entry : directory) {
        if (independent[i++])
            entries.push_back(&entry);
    }
    const PoolOutcome outcome = WriteSideBySide(entries, password, paths.intermediate, make, progress);
    if (outcome != PoolOutcome::NotStarted)
        *pooled = independent;
    return outcome != PoolOutcome::Failed;
}
