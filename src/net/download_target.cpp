#include "net/download_target.h"

#include "common/fixed_string.h"
#include "common/held_files.h"

#include <windows.h>

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
    // Shared for reading only: a file that another process could write while it downloads would
    // not be the file that was hashed.
    file_ = CreateWrittenFile(path_, false, FILE_SHARE_READ);
    if (file_ != INVALID_HANDLE_VALUE)
        return true;

    char folder[kPathSize] = {};
    size_t folderLength = FolderPartLength(path_);
    if (folderLength > 0) {
        memcpy(folder, path_, folderLength);
        CreateDirectoryA(folder, nullptr);
    }
    // One more try, and no further: a folder that cannot be made will not appear by waiting.
    file_ = CreateWrittenFile(path_, false, FILE_SHARE_READ);
    return file_ != INVALID_HANDLE_VALUE;
}

bool DownloadTarget::Resume(const char* path, uint64_t* size)
{
    Discard();
    *size = 0;
    if (!CopyString(path_, path))
        return false;
    file_ = TakeKeptFile(path_);
    if (file_ == INVALID_HANDLE_VALUE) {
        path_[0] = '\0';
        return false;  // nothing there, or nothing that may be taken: Create deals with it
    }
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file_, &length) || length.QuadPart < 0) {
        Keep();
        return false;
    }
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool DownloadTarget::Read(char* data, DWORD size, DWORD* got)
{
    *got = 0;
    return file_ != INVALID_HANDLE_VALUE && ReadFile(file_, data, size, got, nullptr);
}

bool DownloadTarget::Write(const char* data, size_t size)
{
    DWORD written = 0;
    return file_ != INVALID_HANDLE_VALUE && size <= MAXDWORD &&
           WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

bool DownloadTarget::Truncate()
{
    return file_ != INVALID_HANDLE_VALUE && SetFilePointer(file_, 0, nullptr, FILE_BEGIN) == 0 &&
           SetEndOfFile(file_);
}

bool DownloadTarget::Finish()
{
    if (file_ == INVALID_HANDLE_VALUE)
        return false;
    // WriteFile has handed every byte to the system; a full disk shows in a write.
    Close();
    path_[0] = '\0';
    return true;
}

void DownloadTarget::Discard()
{
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    Close();
    EndHold(path_);
    DeleteFileA(path_);
    path_[0] = '\0';
}

void DownloadTarget::Keep()
{
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    Close();
    path_[0] = '\0';
}

void DownloadTarget::Close()
{
    CloseWrittenFile(file_);
    file_ = INVALID_HANDLE_VALUE;
}
