#pragma once
// ExtractPackage: a downloaded package becomes the game's files below the installation directory.
#include "common/progress_sink.h"

#include <cstddef>

// The package path and the intermediate path live in buffers of this size (1,023 bytes + NUL).
constexpr size_t kExtractPathSize = 1024;

// The two files of one extraction.
struct PackagePaths {
    char package[kExtractPathSize];       // installation directory + package name
    char intermediate[kExtractPathSize];  // the package path cut before its last "." + "_.rar"
};

// Forms both paths. The intermediate path is the package path cut before the last "." of the
// package's own file name, followed by "_.rar" ("D:\Game\data.pak" gives "D:\Game\data_.rar",
// "D:\My.Game\pkg" gives "D:\My.Game\pkg_.rar"): it always lies beside the package. False when
// a path does not fit its buffer or both together exceed what the decoding step takes.
bool FormPackagePaths(const char* installDir, const char* packageName, PackagePaths* paths);

// Where an extraction that returned 1 stopped, for the player.
struct ExtractReport {
    // The file or folder that could not be written; "" when the package itself was at fault.
    char failedFile[kExtractPathSize] = {};
};

// Installs the package `packageName` (relative to `installDir`, which ends with a backslash):
//   1. deletes any intermediate file lying there and decodes the package's LZMA-alone layer into
//      a new one; a failed decoding goes to the debugger output as
//      "解压文件文件<package> 为 <intermediate>失败" and ends the extraction;
//   2. reads and decrypts the package directory from the intermediate file;
//   3. writes every entry in key order below `installDir`, without its top-level folder name,
//      creating folders from the outside in, reading and decrypting its bytes from the
//      intermediate file a chunk at a time as they are written; an entry whose path holds ".7z"
//      is decoded once more into "<path up to .7z>.r" as it is read, and no ".7z" is left;
//   4. deletes the package and the intermediate file.
// Memory stays at a chunk, the directory and an LZMA dictionary, whatever the package's size.
// Progress runs from 25 to 100 as extract_progress.h shares it out.
//
// The installation directory may belong to the player, so nothing there is trusted: every folder
// on the way to an entry is held while it is used and must be a plain folder (no junction or
// symbolic link), and every file is written only as a plain file (common/file_system.h). Entries
// whose names could leave `installDir` or name anything but a plain file are skipped. Nothing
// else is: a file that another process holds is waited for a few seconds (SetBusyFileWait), and
// a file or folder that cannot be had fails the extraction.
//
// Returns 0 when the package held at least one entry and every one of its files was written in
// full. Returns 1 when:
//   - the paths do not fit (nothing is touched or posted);
//   - the package cannot be decoded (the package stays, the intermediate file goes);
//   - the package yielded no entry (the package and the intermediate file stay, 100 is not
//     posted);
//   - a file or folder could not be made or written completely (held by another process, a link,
//     a full disk), the intermediate file could not be read, or a nested archive could not be
//     decoded for want of memory: the extraction stops there, the incomplete file and the
//     intermediate file are deleted, the package stays for another try, 100 is not posted and
//     `report` names the file or folder. Files written before stay.
//
// `intermediateDecoded`: the intermediate file already holds the decoded package (decoded while
// the package downloaded, install/decode_during_download.h), so step 1 is skipped and nothing else
// changes. Only for a caller that knows the intermediate file is exactly what step 1 would write.
int ExtractPackage(ProgressSink& progress, const char* packageName, const char* installDir,
                   bool intermediateDecoded = false, ExtractReport* report = nullptr);

// How long a file that another process holds is waited for (5 s); tests shorten it.
void SetBusyFileWait(unsigned milliseconds);
