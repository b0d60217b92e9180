#pragma once
// Free space on the drive of a path, as the installer window checks it against the game's size.
#include <cstdint>

// KiB free to the calling user on the drive named by the first two characters of `path` (such
// as "C:"), or -1 when that is no drive (a UNC or relative path, a missing drive) or `path` is
// null. More than INT32_MAX KiB (2 TiB) is reported as INT32_MAX: such a drive has room enough.
int32_t QueryFreeSpaceKb(const char* path);
