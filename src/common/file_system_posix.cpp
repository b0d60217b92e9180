// The file door elsewhere (the native build of the portable code): POSIX calls. Package paths
// use the backslash as separator; here it becomes '/'.
#include "common/file_system.h"
#include "common/file_system_internal.h"
#include "common/gbk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A path with '/' for every backslash. Paths that do not fit are refused (ENAMETOOLONG) rather
// than cut: a cut path would name some other file.
class NativePath {
public:
    explicit NativePath(const char* path)
    {
        size_t length = path ? strlen(path) : 0;
        ok_ = path != nullptr && length < sizeof path_;
        if (!ok_) {
            errno = ENAMETOOLONG;
            return;
        }
        memcpy(path_, path, length + 1);
        // Only a backslash of its own: the trail byte of 誠 (D5 5C) stays.
        for (size_t i = 0; i < length; i += GbkCharWidth(path + i)) {
            if (path[i] == '\\')
                path_[i] = '/';
        }
    }
    bool ok() const { return ok_; }
    const char* get() const { return path_; }

private:
    char path_[4096] = {};
    bool ok_ = false;
};

int AsFd(OsFile file) { return static_cast<int>(file); }

}  // namespace

void CloseOsFile(OsFile file) noexcept
{
    if (file != kNoFile)
        close(AsFd(file));
}

OsFile OpenInputFile(const char* path)
{
    NativePath native(path);
    if (!native.ok())
        return kNoFile;
    int fd = open(native.get(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kNoFile;
    // Windows refuses to open a folder as a file; do the same.
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return kNoFile;
    }
    return fd;
}

OsFile CreateOutputFile(const char* path, WriteSharing /*sharing: POSIX has no share modes*/, bool* existed)
{
    NativePath native(path);
    if (!native.ok())
        return kNoFile;
    struct stat st;
    bool there = stat(native.get(), &st) == 0;
    // As on Windows, a read-only file is not opened for writing, not even by root.
    if (there && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return kNoFile;
    }
    int fd = open(native.get(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0 && existed)
        *existed = there;
    return fd < 0 ? kNoFile : fd;
}

bool ReadFromFile(OsFile file, void* buffer, uint32_t size, uint32_t* got)
{
    *got = 0;
    uint32_t allowed = 0;
    if (!PlanRead(size, &allowed))
        return false;
    ssize_t n;
    do {
        n = read(AsFd(file), buffer, allowed);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    *got = static_cast<uint32_t>(n);
    BookRead(*got);
    return true;
}

bool WriteToFile(OsFile file, const void* data, uint32_t size, uint32_t* written)
{
    *written = 0;
    uint32_t allowed = PlanWrite(size);
    const char* bytes = static_cast<const char*>(data);
    // Like WriteFile on a disk file: keep going until everything is stored or an error stops it.
    while (*written < allowed) {
        ssize_t n = write(AsFd(file), bytes + *written, allowed - *written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            BookWrite(*written);
            return false;
        }
        *written += static_cast<uint32_t>(n);
    }
    BookWrite(*written);
    return true;
}

bool QueryFileSize(OsFile file, uint64_t* size)
{
    struct stat st;
    if (fstat(AsFd(file), &st) != 0)
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool SeekFile(OsFile file, uint64_t position)
{
    static_assert(sizeof(off_t) == 8, "file positions beyond 4 GiB need a 64-bit off_t");
    return position <= INT64_MAX && lseek(AsFd(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool CreateOneDirectory(const char* path)
{
    NativePath native(path);
    return native.ok() && mkdir(native.get(), 0777) == 0;
}

bool GetPathAttributes(const char* path, uint32_t* attributes)
{
    NativePath native(path);
    struct stat st;
    if (!native.ok() || stat(native.get(), &st) != 0)
        return false;
    uint32_t value = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeArchive;
    if (!(st.st_mode & S_IWUSR))
        value |= kAttributeReadOnly;
    *attributes = value;
    return true;
}

bool SetPathAttributes(const char* path, uint32_t attributes)
{
    NativePath native(path);
    struct stat st;
    if (!native.ok() || stat(native.get(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttributeReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return chmod(native.get(), mode) == 0;
}

OsFile HoldFolder(const char* path)
{
    NativePath native(path);
    if (!native.ok())
        return kNoFile;
    // O_NOFOLLOW: a symbolic link is refused, not followed.
    int fd = open(native.get(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? kNoFile : fd;
}

OsFile CreatePlainFile(const char* path, bool* notPlain)
{
    *notPlain = false;
    NativePath native(path);
    if (!native.ok())
        return kNoFile;
    int fd = open(native.get(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) {
        // A read-only file (no owner write permission): its bit goes, as on Windows.
        struct stat st;
        if (lstat(native.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink <= 1 &&
            chmod(native.get(), (st.st_mode & 07777) | S_IWUSR) == 0)
            fd = open(native.get(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        *notPlain = errno == ELOOP || errno == EISDIR;
        return kNoFile;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1) {
        *notPlain = true;
        close(fd);
        return kNoFile;
    }
    // Root opens a read-only file all the same: the bit goes afterwards, as on Windows.
    if (!(st.st_mode & S_IWUSR))
        fchmod(fd, (st.st_mode & 07777) | S_IWUSR);
    if (st.st_size > 0 && ftruncate(fd, 0) != 0) {
        close(fd);
        return kNoFile;
    }
    return fd;
}

void WaitMilliseconds(unsigned milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

bool RemoveFile(const char* path)
{
    NativePath native(path);
    return native.ok() && unlink(native.get()) == 0;
}

void WritePlatformDebugOutput(const char* text)
{
    fputs(text, stderr);
    fflush(stderr);
}

namespace {

void* RunSideThread(void* work)
{
    auto* w = static_cast<SideThread::Work*>(work);
    w->run(w->context);
    return nullptr;
}

}  // namespace

bool SideThread::Start(void (*run)(void*), void* context)
{
    Join();
    work_ = {run, context};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, RunSideThread, &work_) != 0)
        return false;
    thread_ = static_cast<uintptr_t>(thread);
    started_ = true;
    return true;
}

void SideThread::Join()
{
    if (!started_)
        return;
    pthread_join(static_cast<pthread_t>(thread_), nullptr);
    started_ = false;
}
