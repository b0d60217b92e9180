#pragma once
// The one door of the portable code (package decoding and extraction) to files, to threads of its
// own and to the debugger output. Windows: the ANSI (GBK) Win32 calls. Elsewhere: POSIX calls,
// where the backslash separators of package paths become '/'. No <windows.h> here.
//
// Tests can make the door misbehave like a full disk, a failing disk or exhausted memory
// (see the fault switches at the end).

#include "common/unique_resource.h"

#include <cstddef>
#include <cstdint>

// An open file: a Win32 HANDLE or a POSIX descriptor. -1 (INVALID_HANDLE_VALUE) is "none".
using OsFile = intptr_t;
constexpr OsFile kNoFile = -1;

void CloseOsFile(OsFile file) noexcept;

struct OsFileTraits {
    using Type = OsFile;
    static Type Invalid() noexcept { return kNoFile; }
    static void Close(Type file) noexcept { CloseOsFile(file); }
};
using UniqueOsFile = UniqueResource<OsFileTraits>;

// An existing file, for reading, shared for reading.
OsFile OpenInputFile(const char* path);

// Who else may open a file while it is being written.
enum class WriteSharing {
    Readers,  // others may read (the decoding step's output)
    Anyone,   // others may read and write (what the C runtime's fopen "wb" allows)
};

// A new or truncated file, for writing. `existed`, when given, tells after a successful open
// whether a file of that name was there already.
OsFile CreateOutputFile(const char* path, WriteSharing sharing = WriteSharing::Readers, bool* existed = nullptr);

// One read of up to `size` bytes; `*got` is 0 at the end of the file. False on a read error.
bool ReadFromFile(OsFile file, void* buffer, uint32_t size, uint32_t* got);

// One write of `size` bytes; `*written` may come out short (a full disk). False on an error.
bool WriteToFile(OsFile file, const void* data, uint32_t size, uint32_t* written);

// The file's size in bytes. False when it cannot be queried.
bool QueryFileSize(OsFile file, uint64_t* size);

// Moves the file's position to `position` bytes from its start (64-bit: packages pass 4 GiB).
bool SeekFile(OsFile file, uint64_t position);

// A single directory level (the parent must exist). False when it was not created, also when it
// exists already.
bool CreateOneDirectory(const char* path);

// Attribute bits, as Windows numbers them.
constexpr uint32_t kAttributeReadOnly = 0x1;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;

// GetFileAttributesA / SetFileAttributesA. Elsewhere only the read-only bit (the owner's write
// permission) and the directory bit carry meaning.
bool GetPathAttributes(const char* path, uint32_t* attributes);
bool SetPathAttributes(const char* path, uint32_t attributes);

// ---------------------------------------------------------------- the game's folder
// The installer writes, elevated, into a folder that the player (and every process of theirs) may
// own. A junction or a symbolic link there, or a hard link to a file elsewhere, would carry its
// writes to wherever the link points. So what it writes there goes only through plain folders,
// each checked by a handle that it holds from the check on, and only into plain files, checked by
// the handle it writes through.

constexpr uint32_t kAttributeReparsePoint = 0x400;

// A folder to write into: a folder, and no junction or symbolic link (reparse point).
constexpr bool IsPlainFolder(uint32_t attributes)
{
    return (attributes & kAttributeDirectory) && !(attributes & kAttributeReparsePoint);
}

// A file to write over: no folder, no reparse point, and no other name (hard link).
constexpr bool IsPlainFile(uint32_t attributes, uint32_t links)
{
    return !(attributes & (kAttributeDirectory | kAttributeReparsePoint)) && links <= 1;
}

// Opens the folder at `path` (no trailing backslash) and holds it until closed: while it is held,
// no other process can rename or delete it, so a path through it leads where it led at the check.
// kNoFile when it is missing, cannot be opened, or is not a plain folder (a junction is opened as
// itself, not followed).
OsFile HoldFolder(const char* path);

// A file to write from its first byte: created, or an existing plain file emptied (its read-only
// bit cleared, its other attributes kept), never followed through a link. kNoFile when it cannot
// be had; `*notPlain` then tells whether that was because something else than a plain file is
// there (a folder, a reparse point, a hard link), which waiting will not change.
OsFile CreatePlainFile(const char* path, bool* notPlain);

// Deletes a file (not a directory).
bool RemoveFile(const char* path);

// One line for the debugger: OutputDebugStringA on Windows, standard error elsewhere, or the
// installed hook.
void WriteDebugOutput(const char* text);
using DebugOutputHook = void (*)(const char* text);
// Installs `hook` (nullptr restores the default) and returns the previous one.
DebugOutputHook SetDebugOutputHook(DebugOutputHook hook);

// Lets `milliseconds` pass (waiting for a file another process holds).
void WaitMilliseconds(unsigned milliseconds);

// Memory for the package's decoding (the LZMA dictionary, the extraction's buffers), or nullptr
// when it is not there. Not cleared. Release it with free().
void* AllocateMemory(size_t size);

// A thread beside the caller's, for work the portable code shares out (the extraction's writers).
// Its entry realigns the stack on 32-bit Windows, which starts a thread with 4-byte alignment.
class SideThread {
public:
    SideThread() = default;
    ~SideThread() { Join(); }
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Runs `run(context)` on a new thread. False (and nothing runs) when the system gives none.
    bool Start(void (*run)(void* context), void* context);
    // Waits for the thread's end; nothing when none was started.
    void Join();

    struct Work {
        void (*run)(void*);
        void* context;
    };

private:
    Work work_ = {};
    uintptr_t thread_ = 0;
    bool started_ = false;
};

// ---------------------------------------------------------------- fault switches (tests)
// Process-wide. The product never sets them.
struct FileFaults {
    // Writes succeed for this many bytes in total, then come out short, as on a full disk.
    uint64_t writableBytes = UINT64_MAX;
    // Reads deliver this many bytes in total, then fail.
    uint64_t readableBytes = UINT64_MAX;
    // Each read delivers at most this many bytes.
    uint32_t readChunk = UINT32_MAX;
    // AllocateMemory refuses sizes above this.
    size_t allocationLimit = SIZE_MAX;
};
void SetFileFaults(const FileFaults& faults);
void ClearFileFaults();
