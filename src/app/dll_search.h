#pragma once
// Safe DLL loading for a program that is usually started from a downloads folder, where a DLL
// planted beside the executable would otherwise be found before the system's own.

// Restricts every later DLL load of the process to the system directory. Run it before anything
// else. Returns false when the system lacks SetDefaultDllDirectories (Windows 7 without
// KB2533623); the current directory is then at least taken out of the search.
bool HardenDllSearch();

// Loads, by full path from the system directory, the system DLLs that system components load late
// on the installer's behalf: windowscodecs.dll (with its imports) for GDI+'s image decoding and
// msimg32.dll for the common controls' drawing. Some implementations (Wine's) load these through
// delay imports whose search ignores the restriction above and starts beside the executable; on
// systems without SetDefaultDllDirectories every late load would. Loaded first, they are found in
// place. They stay loaded until the process ends; a missing one is skipped.
void PreloadLateSystemDlls();
