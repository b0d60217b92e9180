#include "common/held_files.h"

#include "common/file_system.h"
#include "common/win_handles.h"

namespace {

// The package and its intermediate file: one job holds two names at a time.
constexpr int kSlots = 4;

struct Slot {
    bool used = false;
    char path[MAX_PATH] = {};
    HANDLE file = INVALID_HANDLE_VALUE;  // the held file, once written
};

Slot g_slots[kSlots];
SRWLOCK g_lock = SRWLOCK_INIT;

// "D:\Games\\x.pak" and "d:\games\x.pak" name one file: both become "D:\Games\x.pak".
bool FullPath(const char* path, char (&full)[MAX_PATH])
{
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH;
}

// The slot holding `path`; the lock must be held.
Slot* Find(const char* path)
{
    char full[MAX_PATH];
    if (!FullPath(path, full))
        return nullptr;
    for (Slot& slot : g_slots) {
        if (slot.used && lstrcmpiA(slot.path, full) == 0)
            return &slot;
    }
    return nullptr;
}

void Close(Slot& slot)
{
    if (slot.file != INVALID_HANDLE_VALUE)
        CloseHandle(slot.file);
    slot.file = INVALID_HANDLE_VALUE;
}

}  // namespace

FileHold::FileHold(const char* path) : slot_(-1)
{
    ScopedExclusiveLock lock(g_lock);
    for (int i = 0; i < kSlots; ++i) {
        if (!g_slots[i].used && FullPath(path, g_slots[i].path)) {
            g_slots[i].used = true;
            slot_ = i;
            return;
        }
    }
}

FileHold::~FileHold()
{
    if (slot_ < 0)
        return;
    ScopedExclusiveLock lock(g_lock);
    Close(g_slots[slot_]);
    g_slots[slot_].used = false;
}

HANDLE CreateWrittenFile(const char* path, bool read, DWORD sharing)
{
    ScopedExclusiveLock lock(g_lock);
    Slot* slot = Find(path);
    if (!slot)
        return CreateFileA(path, GENERIC_WRITE | (read ? GENERIC_READ : 0), sharing, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    Close(*slot);  // written anew: the old file is no longer what counts
    // Whatever lies under the name goes first, and the file is new: a file planted there (and held
    // open by its planter), a hard link to a file elsewhere or a link to another place would
    // otherwise be written through, or read later as this run's own.
    if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return INVALID_HANDLE_VALUE;
    slot->file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return slot->file;
}

HANDLE TakeKeptFile(const char* path)
{
    ScopedExclusiveLock lock(g_lock);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    // Checked by the handle, so the file checked is the file opened.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || !IsPlainFile(info.dwFileAttributes, info.nNumberOfLinks)) {
        CloseHandle(file);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (Slot* slot = Find(path)) {
        Close(*slot);
        slot->file = file;
    }
    return file;
}

void CloseWrittenFile(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE)
        return;
    ScopedExclusiveLock lock(g_lock);
    for (const Slot& slot : g_slots) {
        if (slot.used && slot.file == file)
            return;  // the hold
    }
    CloseHandle(file);
}

HANDLE OpenHeldFile(const char* path, bool* held)
{
    ScopedExclusiveLock lock(g_lock);
    Slot* slot = Find(path);
    *held = slot != nullptr;
    if (!slot)
        return INVALID_HANDLE_VALUE;
    if (slot->file == INVALID_HANDLE_VALUE) {
        // Not written by this run (its creation failed, or it was deleted since): whatever the
        // name may hold now is someone else's.
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A new handle of the same file, found through the held one and not through the name. It must
    // share writing: the held handle may write.
    return ReOpenFile(slot->file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
}

void EndHold(const char* path)
{
    ScopedExclusiveLock lock(g_lock);
    if (Slot* slot = Find(path))
        Close(*slot);
}
