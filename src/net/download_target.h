#pragma once
// The local file that a download writes: created (with its folder, one level, when that is
// missing) or taken over from an earlier run, written, and either finished, kept or discarded. A
// file that was none of these is discarded when its owner goes, so a partial download stays
// behind only when it is kept on purpose. While it is open no other process may write, rename or
// delete it; a held name (common/held_files.h) stays open after Finish and Keep until its hold
// ends.

#include "install/install_job.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

class DownloadTarget {
public:
    DownloadTarget() = default;
    ~DownloadTarget() { Discard(); }
    DownloadTarget(const DownloadTarget&) = delete;
    DownloadTarget& operator=(const DownloadTarget&) = delete;

    // Creates or truncates `path` for writing. When that fails, creates the folder that is to hold
    // the file (not its parents) and tries once more.
    bool Create(const char* path);

    // Takes over the partial file an earlier run left at `path` (TakeKeptFile: a plain file of one
    // name, held from here on), positioned at its start, and gives its size. False when there is
    // none that can be taken: Create then deletes whatever lies there.
    bool Resume(const char* path, uint64_t* size);

    // Reads the next bytes of a file taken over by Resume; `*got` is 0 at its end.
    bool Read(char* data, DWORD size, DWORD* got);

    // True when all `size` bytes were written.
    bool Write(const char* data, size_t size);

    // Empties the file to start it again from its first byte. The file stays open whatever the
    // outcome, so that Discard can still delete it.
    bool Truncate();

    // Closes the file, keeping it when the close flushed everything; deletes it otherwise.
    bool Finish();

    // Closes the file, if open, and deletes it.
    void Discard();

    // Closes the file and leaves it where it is, for a later run to take over.
    void Keep();

private:
    void Close();

    HANDLE file_ = INVALID_HANDLE_VALUE;
    char path_[kPathSize] = {};
};

// Length of the folder part of `path`: the position of its last backslash (0 when it has none).
// GBK-aware: a backslash byte that is the second half of a double-byte character does not count.
size_t FolderPartLength(const char* path);
