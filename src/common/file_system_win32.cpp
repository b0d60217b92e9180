// The file door on Windows: ANSI Win32 calls, so GBK paths reach the file system unchanged.
#include "common/file_system.h"
#include "common/file_system_internal.h"
#include "common/held_files.h"

#include <windows.h>

static HANDLE AsHandle(OsFile file) { return reinterpret_cast<HANDLE>(file); }
static OsFile AsOsFile(HANDLE handle) { return reinterpret_cast<OsFile>(handle); }

void CloseOsFile(OsFile file) noexcept
{
    if (file != kNoFile)
        CloseWrittenFile(AsHandle(file));
}

OsFile OpenInputFile(const char* path)
{
    bool held = false;
    HANDLE file = OpenHeldFile(path, &held);
    if (held)
        return AsOsFile(file);
    return AsOsFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

OsFile CreateOutputFile(const char* path, WriteSharing sharing, bool* existed)
{
    DWORD share = sharing == WriteSharing::Anyone ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    HANDLE file = CreateWrittenFile(path, false, share);
    if (file != INVALID_HANDLE_VALUE && existed)
        *existed = GetLastError() == ERROR_ALREADY_EXISTS;  // CREATE_ALWAYS over a file says so
    return AsOsFile(file);
}

bool ReadFromFile(OsFile file, void* buffer, uint32_t size, uint32_t* got)
{
    *got = 0;
    uint32_t allowed = 0;
    if (!PlanRead(size, &allowed))
        return false;
    DWORD read = 0;
    if (!ReadFile(AsHandle(file), buffer, allowed, &read, nullptr))
        return false;
    *got = read;
    BookRead(read);
    return true;
}

bool WriteToFile(OsFile file, const void* data, uint32_t size, uint32_t* written)
{
    *written = 0;
    uint32_t allowed = PlanWrite(size);
    DWORD stored = 0;
    BOOL ok = allowed == 0 || WriteFile(AsHandle(file), data, allowed, &stored, nullptr);
    *written = stored;
    BookWrite(stored);
    return ok != FALSE;
}

bool QueryFileSize(OsFile file, uint64_t* size)
{
    LARGE_INTEGER value;
    if (!GetFileSizeEx(AsHandle(file), &value))
        return false;
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool SeekFile(OsFile file, uint64_t position)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return position <= INT64_MAX && SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN) != FALSE;
}

bool CreateOneDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool GetPathAttributes(const char* path, uint32_t* attributes)
{
    DWORD value = GetFileAttributesA(path);
    if (value == INVALID_FILE_ATTRIBUTES)
        return false;
    *attributes = value;
    return true;
}

bool SetPathAttributes(const char* path, uint32_t attributes)
{
    return SetFileAttributesA(path, attributes) != FALSE;
}

OsFile HoldFolder(const char* path)
{
    // Listing access, not attributes alone: an open without data access takes no part in the
    // sharing rules, and it is the sharing (no FILE_SHARE_DELETE) that keeps others from renaming
    // or deleting the folder.
    HANDLE folder = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return kNoFile;
    // By its name as well: Wine shows a symbolic link to a folder as a reparse point only there.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info) || !IsPlainFolder(info.dwFileAttributes) ||
        !IsPlainFolder(GetFileAttributesA(path))) {
        CloseHandle(folder);
        return kNoFile;
    }
    return AsOsFile(folder);
}

namespace {

constexpr DWORD kPlainFileAccess = GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
constexpr DWORD kPlainFileSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;  // as the C runtime's "wb"
constexpr DWORD kPlainFileFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// Sets the attributes of the open file, keeping its times. 0 means "unchanged" to the system.
bool SetAttributesOf(HANDLE file, DWORD attributes)
{
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// A read-only file refuses to be opened for writing, even by an administrator. Its bit goes, by a
// handle of the file itself (not of what a link there points to). False when there was nothing to
// clear; `*notPlain` when what is there is no plain file.
bool ClearReadOnlyBit(const char* path, bool* notPlain)
{
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool cleared = false;
    if (GetFileInformationByHandle(file, &info)) {
        *notPlain = !IsPlainFile(info.dwFileAttributes, info.nNumberOfLinks);
        cleared = !*notPlain && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
                  SetAttributesOf(file, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    }
    CloseHandle(file);
    return cleared;
}

}  // namespace

OsFile CreatePlainFile(const char* path, bool* notPlain)
{
    *notPlain = false;
    HANDLE file = CreateFileA(path, kPlainFileAccess, kPlainFileSharing, nullptr, OPEN_ALWAYS, kPlainFileFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED && ClearReadOnlyBit(path, notPlain))
        file = CreateFileA(path, kPlainFileAccess, kPlainFileSharing, nullptr, OPEN_ALWAYS, kPlainFileFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kNoFile;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;

    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || !IsPlainFile(info.dwFileAttributes, info.nNumberOfLinks)) {
        *notPlain = true;
        CloseHandle(file);
        return kNoFile;
    }
    if (existed) {
        // A privileged user (root, under Wine too) opens a read-only file all the same: the bit
        // goes afterwards. The file is emptied only now that it is known to be plain.
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetAttributesOf(file, info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (!SetEndOfFile(file)) {
            CloseHandle(file);
            return kNoFile;
        }
    }
    return AsOsFile(file);
}

void WaitMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

bool RemoveFile(const char* path)
{
    EndHold(path);
    return DeleteFileA(path) != FALSE;
}

void WritePlatformDebugOutput(const char* text) { OutputDebugStringA(text); }

namespace {

#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
DWORD WINAPI RunSideThread(LPVOID work)
{
    auto* w = static_cast<SideThread::Work*>(work);
    w->run(w->context);
    return 0;
}

}  // namespace

bool SideThread::Start(void (*run)(void*), void* context)
{
    Join();
    work_ = {run, context};
    HANDLE thread = CreateThread(nullptr, 0, RunSideThread, &work_, 0, nullptr);
    if (!thread)
        return false;
    thread_ = reinterpret_cast<uintptr_t>(thread);
    started_ = true;
    return true;
}

void SideThread::Join()
{
    if (!started_)
        return;
    HANDLE thread = reinterpret_cast<HANDLE>(thread_);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    started_ = false;
}
