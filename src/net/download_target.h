#pragma once
// The local file that a download writes: created (with its folder, one level, when that is
// missing), written, and either finished or discarded. A file that was neither finished nor
// discarded is discarded when its owner goes, so a partial download never stays behind.

#include "common/unique_file.h"
#include "install/install_job.h"

#include <cstddef>

class DownloadTarget {
public:
    DownloadTarget() = default;
    ~DownloadTarget() { Discard(); }
    DownloadTarget(const DownloadTarget&) = delete;
    DownloadTarget& operator=(const DownloadTarget&) = delete;

    // Creates or truncates `path` for binary writing. When that fails, creates the folder that is
    // to hold the file (not its parents) and tries once more.
    bool Create(const char* path);

    // True when all `size` bytes were written.
    bool Write(const char* data, size_t size);

    // Empties the file to start it again from its first byte.
    bool Truncate();

    // Closes the file, keeping it when the close flushed everything; deletes it otherwise.
    bool Finish();

    // Closes the file, if open, and deletes it.
    void Discard();

private:
    UniqueStdioFile file_;
    char path_[kPathSize] = {};
};

// Length of the folder part of `path`: the position of its last backslash (0 when it has none).
// GBK-aware: a backslash byte that is the second half of a double-byte character does not count.
size_t FolderPartLength(const char* path);
