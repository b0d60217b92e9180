#pragma once
// Creating and removing directory trees with the runtime library's directory calls.

// Creates every missing directory along `path`; both separators count, mixed ones too. Returns
// true in every case: prefixes that exist already, drive roots and UNC prefixes simply fail.
// A path of more than 259 characters is refused (nothing is created).
bool MakeDirectoryPath(const char* path);

// Removes `path` with everything below it, depth first. Failures are ignored: a file that cannot
// be deleted (a read-only one) stays, and so do its folder and every ancestor up to `path`.
// A null path does nothing.
void DeleteDirectoryTree(const char* path);
