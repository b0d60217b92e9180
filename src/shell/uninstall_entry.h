#pragma once
// The game's entry in the system's list of installed programs.

// Writes HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<keyName> with,
// in this order: DisplayName, NoModify = 1, NoRepair = 1, UninstallString, Publisher, Contact,
// DisplayIcon. UninstallString is "<uninstaller>" "/U:<argument>", or the quoted uninstaller path
// alone when `argument` is null; DisplayIcon is the quoted uninstaller path.
//
// Any of the first five missing: nothing is written (empty strings are fine). A key path or a
// command line too long for its 1024-byte buffer: nothing is written either. A key that can be
// neither opened nor created: nothing is written. No failure is reported.
//
// The calls name no registry view: a 32-bit build on 64-bit Windows writes below WOW6432Node,
// where 32-bit installers' entries belong; a 64-bit build writes the 64-bit view.
void RegisterUninstallEntry(const char* keyName, const char* displayName, const char* publisher,
                            const char* contact, const char* uninstallerPath, const char* argument = nullptr);
