#pragma once
// The extraction's files written side by side by a few threads.
//
// Once the package decodes on every core, the files are what the extraction waits for: creating
// one costs far more than writing its bytes (a millisecond and more under Wine, whose server takes
// the creations one at a time; on Windows, the virus scanner's look at each file as it closes),
// and the extraction's thread sleeps after each progress post. Other threads can write meanwhile:
// the directory gives every entry's range, and each thread reads and decrypts its entries from a
// PackageBody of its own. The extraction's thread posts the progress, and takes its pauses, for all
// of them, and writes entries too.
//
// Only entries whose order cannot change what ends on disk go out side by side
// (IndependentEntries); the others are written afterwards by the extraction's thread in key order,
// as every entry always was. A package of few entries is written by that thread alone.
#include "package/extract_progress.h"
#include "package/package_container.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class PackageBody;
struct PackagePaths;

constexpr unsigned kEntryWriterThreads = 3;  // beside the extraction's own, at most
constexpr size_t kEntriesForThreads = 64;    // fewer are not worth a thread

// Tests and benchmarks compare: 0 writes every entry on the extraction's own thread. Default:
// kEntryWriterThreads.
void SetEntryWriterThreads(unsigned threads);
// How many entries the writer threads have taken in this process (tests).
size_t EntriesWrittenSideBySide();

using DirectoryEntry = PackageDirectoryEntry;

// Which of the `count` entries of a directory (in its order) may be written in any order, at once: plain files
// whose own part holds no ".7z" (a nested archive's decoding writes and deletes other files); whose
// path, and every folder on it, is no other entry's file, folder or nested output, and no path of
// `reserved` (the package and the intermediate file); in ASCII without "~" (beyond A..Z, which the
// keys hold in lower case already, the file system's own case rules and its short names could
// make two names one file).
std::vector<bool> IndependentEntries(const DirectoryEntry* entries, size_t count, const char* installDir,
                                     const std::vector<const char*>& reserved);

// One thread's way of writing an entry: false when the extraction must stop (the entry could not
// be written in full), with the file or folder at fault in failed().
class PoolWriter {
public:
    virtual ~PoolWriter() = default;
    virtual bool Write(const DirectoryEntry& entry) = 0;
    virtual const char* failed() const = 0;
};

// Makes each thread's writer, reading through `body` and counting its bytes into `bytes`.
class PoolWriters {
public:
    virtual std::unique_ptr<PoolWriter> Make(PackageBody& body, EntryBytes& bytes) = 0;

protected:
    ~PoolWriters() = default;
};

// Writes the independent entries of `directory` from up to kEntryWriterThreads threads (as set),
// each with a PackageBody of its own on `paths.intermediate`, and from the calling thread, which
// reads through `body` and posts `progress` for all; then `*pooled` marks them (in the directory's
// order), for the caller to write the others. Nothing is written, and nothing marked, for a
// package of fewer than kEntriesForThreads entries or when no thread (or no memory for one) can be
// had. False when an entry failed, with the file or folder at fault in `failedFile`
// (kExtractPathSize bytes): no entry was begun after it.
bool WriteIndependentEntries(const PackageDirectory& directory, const PackagePaths& paths, const char* password,
                             const char* installDir, PackageBody& body, PoolWriters& make,
                             ExtractionProgress& progress, std::vector<bool>* pooled, char* failedFile);
