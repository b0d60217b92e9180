#pragma once
// Shared by the fuzz targets: a file for inputs that the code under test reads from disk, and a
// progress sink that takes everything and waits for nothing.
#include "common/progress_sink.h"
#include "package/package_container.h"  // LoadLe32

#include <cstddef>
#include <cstdint>
#include <string>

// A path in memory-backed storage (/dev/shm when there is one), unique to this process.
class FuzzFile {
public:
    explicit FuzzFile(const char* tag);
    ~FuzzFile();
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;
    // Replaces the file's content; false when it cannot be written.
    bool Write(const uint8_t* data, size_t size) const;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

// The size of a file, or -1 when it does not exist.
long long FileSizeOf(const char* path);

struct NullProgressSink final : ProgressSink {
    void Post(unsigned) override {}
    void Pause(unsigned) override {}
};

// Stops the run in a way every fuzzer driver reports as a crash.
[[noreturn]] void FuzzFinding(const char* what);
