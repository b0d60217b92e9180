#pragma once
// The local file that a download writes: created (with its folder, one level, when that is
// missing), written, and either finished or discarded. A file that was neither finished nor
// discarded is discarded when its owner goes, so a partial download never stays behind. While it
// is open no other process may write, rename or delete it; a held name (common/held_files.h)
// stays open after Finish until its hold ends.

#include "install/install_job.h"

#include <windows.h>

#include <cstddef>

class DownloadTarget {
public:
    DownloadTarget() = default;
    ~DownloadTarget() { Discard(); }
    DownloadTarget(const DownloadTarget&) = delete;
    DownloadTarget& operator=(const DownloadTarget&) = delete;

    // Creates or truncates `path` for writing. When that fails, creates the folder that is to hold
    // the file (not its parents) and tries once more.
    bool Create(const char* path);

    // True when all `size` bytes were written.
    bool Write(const char* data, size_t size);

    // Empties the file to start it again from its first byte. The file stays open whatever the
    // outcome, so that Discard can still delete it.
    bool Truncate();

    // Closes the file, keeping it when the close flushed everything; deletes it otherwise.
    bool Finish();

    // Closes the file, if open, and deletes it.
    void Discard();

private:
    void Close();

    HANDLE file_ = INVALID_HANDLE_VALUE;
    char path_[kPathSize] = {};
};

// Length of the folder part of `path`: the position of its last backslash (0 when it has none).
// GBK-aware: a backslash byte that is the second half of a double-byte character does not count.
size_t FolderPartLength(const char* path);
