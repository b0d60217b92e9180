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

// Forms both paths. The last "." is searched over the whole path, folder names included
// ("D:\ver.2\pkg" gives "D:\ver_.rar"; a path without any "." gets "_.rar" appended). False when
// a path does not fit its buffer or both together exceed what the decoding step takes.
bool FormPackagePaths(const char* installDir, const char* packageName, PackagePaths* paths);

// Installs the package `packageName` (relative to `installDir`, which ends with a backslash):
//   1. decodes its LZMA-alone layer into the intermediate file (a failure goes to the debugger
//      output as "解压文件文件<package> 为 <intermediate>失败" and the extraction goes on);
//   2. reads and decrypts the package directory from the intermediate file;
//   3. writes every entry in key order below `installDir`, without its top-level folder name,
//      creating folders from the outside in and clearing a read-only bit in the way, reading and
//      decrypting its bytes from the intermediate file a chunk at a time as they are written; a
//      written file whose path holds ".7z" is decoded once more into "<path up to .7z>.r" and
//      deleted;
//   4. deletes the package and the intermediate file.
// Memory stays at a chunk, the directory and an LZMA dictionary, whatever the package's size.
// Progress runs from 25 to 100 as extract_progress.h shares it out.
// Entries whose names could leave `installDir` or name anything but a plain file, and targets
// that cannot be opened, are skipped.
//
// Returns 0 when the package held at least one entry and every opened file was written in full.
// Returns 1 when:
//   - the paths do not fit (nothing is touched or posted);
//   - the package yielded no entry (the package and the intermediate file stay, 100 is not
//     posted);
//   - a file could not be written completely (a full disk), the intermediate file could not be
//     read, or a nested archive could not be decoded for want of memory or of a readable input:
//     the extraction stops there, the incomplete file and the intermediate file are deleted, the
//     package stays for another try and 100 is not posted. Files written before stay.
//
// `intermediateDecoded`: the intermediate file already holds the decoded package (decoded while
// the package downloaded, install/decode_during_download.h), so step 1 is skipped and nothing else
// changes. Only for a caller that knows the intermediate file is exactly what step 1 would write.
int ExtractPackage(ProgressSink& progress, const char* packageName, const char* installDir,
                   bool intermediateDecoded = false);
