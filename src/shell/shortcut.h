#pragma once
// Shell shortcuts (".lnk" files) on the desktop and in the Start menu. Each call initialises COM
// on the calling thread for itself and reports nothing: a shortcut that cannot be made or removed
// is simply missing or left in place.
#include "shell/shell_folder.h"

// Removes the shortcut `name` (relative to `folder`, without ".lnk"); a missing one is fine.
// With `group` set, `name` is a Start-menu group: its folder goes with everything in it. A group
// name that names no folder of its own below `folder` (empty, ".", "..", rooted) is refused, so
// that the special folder itself and whatever lies beside it stay.
void RemoveShortcut(const char* name, ShortcutFolder folder, bool group);

// Writes the shortcut `name` (relative to `folder`, without ".lnk") to `target`. It carries only
// the target and the working directory: the target's folder, its drive letter in upper case.
void CreateShortcut(ShortcutFolder folder, const char* name, const char* target);
