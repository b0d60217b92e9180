#include "net/download_target.h"

#include "common/fixed_string.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

size_t FolderPartLength(const char* path)
{
    size_t last = 0;
    for (size_t i = 0; path[i] != '\0';) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c >= 0x81 && c <= 0xFE && path[i + 1] != '\0') {
            i += 2;
            continue;
        }
        if (c == '\\')
            last = i;
        ++i;
    }
    return last;
}

bool DownloadTarget::Create(const char* path)
{
    Discard();
    if (!CopyString(path_, path))
        return false;
    file_.reset(fopen(path_, "w+b"));
    if (file_)
        return true;

    char folder[kPathSize] = {};
    size_t folderLength = FolderPartLength(path_);
    if (folderLength > 0) {
        memcpy(folder, path_, folderLength);
        CreateDirectoryA(folder, nullptr);
    }
    // One more try, and no further: a folder that cannot be made will not appear by waiting.
    file_.reset(fopen(path_, "w+b"));
    return file_.valid();
}

bool DownloadTarget::Write(const char* data, size_t size)
{
    return file_ && fwrite(data, 1, size, file_.get()) == size;
}

bool DownloadTarget::Truncate()
{
    if (!file_)
        return false;
    file_.reset(fopen(path_, "w+b"));
    return file_.valid();
}

bool DownloadTarget::Finish()
{
    if (!file_)
        return false;
    // The runtime may still hold the last bytes: a full disk can show only here.
    bool flushed = fclose(file_.release()) == 0;
    if (!flushed)
        DeleteFileA(path_);
    path_[0] = '\0';
    return flushed;
}

void DownloadTarget::Discard()
{
    if (!file_)
        return;
    file_.reset();
    DeleteFileA(path_);
    path_[0] = '\0';
}
