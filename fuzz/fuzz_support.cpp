#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

FuzzFile::FuzzFile(const char* tag)
{
    struct stat st;
    const char* folder = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    path_ = std::string(folder) + "/vellora-fuzz-" + std::to_string(getpid()) + "-" + tag;
}

FuzzFile::~FuzzFile() { unlink(path_.c_str()); }

bool FuzzFile::Write(const uint8_t* data, size_t size) const
{
    FILE* file = fopen(path_.c_str(), "wb");
    if (!file)
        return false;
    bool ok = size == 0 || fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

long long FileSizeOf(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void FuzzFinding(const char* what)
{
    fprintf(stderr, "fuzz finding: %s\n", what);
    abort();
}
