#pragma once
// Safe DLL loading for a program that is usually started from a downloads folder, where a DLL
// planted beside the executable would otherwise be found before the system's own.

// Restricts every later DLL load of the process to the system directory. Run it before anything
// else. Returns false when the system lacks SetDefaultDllDirectories (Windows 7 without
// KB2533623); the current directory is then at least taken out of the search.
bool HardenDllSearch();
