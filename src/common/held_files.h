#pragma once
// Files held open from the moment they are written until they have been read for the last time.
//
// The installer runs elevated, but it writes the package, and the package's decoded intermediate
// file, into a folder the player may own, and reads them again later: after the download, after a
// running game was asked to close (up to 30 s), in another step of the extraction. Any process of
// the same user could replace a file by its name in between, and the bytes read would not be the
// bytes that were checked. So the job names these files before they are written (FileHold). Such a
// file is created for reading and writing and shared for reading only, so that no other process
// can write, rename or delete it; its writer's close leaves it open; every later open of its name
// in this process opens that very file again (not whatever the name may have come to mean); and
// deleting it ends the hold. A held name whose file this run did not write (or has deleted) is
// never opened by its name: what lies there may have been planted. Files without a hold are
// created as before.
//
// The file door (file_system_win32.cpp) and the download's target (net/download_target.cpp) go
// through the functions below; nothing else needs to know.
#include <windows.h>

class FileHold {
public:
    // Holds the file at `path` once it is written. The path is compared as a full path, without
    // regard to case or doubled separators.
    explicit FileHold(const char* path);
    // Closes the held file, if it was written (it is never deleted here).
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

private:
    int slot_;
};

// CreateFileA for a new or truncated file to write (`read`: readable too), shared with
// `sharing`. A held name gets the held form: whatever lies under the name is deleted first and the
// file is created new, or not at all. GetLastError() tells why afterwards.
HANDLE CreateWrittenFile(const char* path, bool read, DWORD sharing);

// A file that an earlier run left under `path` and that this run is to carry on with: a pinned
// download that was killed, or broke off for longer than the outage allowance. Unlike any other
// file in the folder it is read, so it is taken only under these rules:
//   - opened once, by this call, without following a reparse point (a junction or symbolic link
//     is refused, not followed), for reading and writing and shared for reading only: from this
//     open on, no other process can write, rename or delete it, and a process that holds it open
//     for writing or deleting already makes the open fail;
//   - it must be a plain file with one name (no folder, no reparse point, no hard link to a file
//     elsewhere, which would carry the writes there);
//   - for a held name, the handle becomes the hold, as if this run had written the file: every
//     later open of the name reopens it, until the hold ends.
// What is taken is bytes to hash and nothing more: the pin decides whether they count.
// INVALID_HANDLE_VALUE when nothing can be taken; then nothing has been changed.
HANDLE TakeKeptFile(const char* path);

// CloseHandle, but for a handle that holds a file: that one stays open.
void CloseWrittenFile(HANDLE file);

// For a held name: `*held` is true and the result is a new handle of the file this run wrote under
// it, for reading; INVALID_HANDLE_VALUE when none can be had, also when the run has not written it
// (its creation failed) or has deleted it: such a name is never opened by name. For other names
// `*held` is false.
HANDLE OpenHeldFile(const char* path, bool* held);

// Closes the file held under `path`, if any, so that it can be deleted or written anew.
void EndHold(const char* path);
