#pragma once
// Safe DLL loading for a program that is usually started from a downloads folder, where a DLL
// planted beside the executable would otherwise be found before the system's own.

// Restricts every later DLL load of the process to the system directory. Run it before anything
// else. Returns false when the system lacks SetDefaultDllDirectories (Windows 7 without
// KB2533623), or when `forceFallback` asks to behave so (tests): the current directory is then
// taken out of the search, but the executable's folder stays first in it, for every load by name.
bool HardenDllSearch(bool forceFallback = false);

// Loads, by full path from the system directory (common/system_library.h), the system DLLs that
// system components load late, by name, on the installer's behalf; once loaded, a load by name
// finds them in place. With the search restricted (`restricted`): windowscodecs.dll (with its
// imports) for GDI+'s image decoding and msimg32.dll for the common controls' drawing, which some
// implementations (Wine's) load through delay imports whose search ignores the restriction and
// starts beside the executable. Without it, where every load by name starts there: every DLL
// that the window, GDI+, WinINet, CNG, COM and the shell load late. They stay loaded until the
// process ends; a missing one is skipped.
void PreloadLateSystemDlls(bool restricted);
