#pragma once
// Whether the path the user picked already ends with the game's folder name.

// True when `path` is strictly longer than `name` and ends with it byte for byte (case-sensitive),
// one trailing backslash or slash of `path` ignored. The character before the name is not looked
// at: D:\MyGame\ ends with Game. False when either is null.
bool PathEndsWithName(const char* path, const char* name);
