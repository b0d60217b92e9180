#pragma once
// The scale of the display that a window is on. The installer declares itself aware of each
// monitor's scale in its manifest (per monitor, v2 where Windows knows it; res/installer.manifest);
// the functions that tell a window's scale came with later Windows versions, so each is looked up
// at run time and the next older one serves where it is missing.
#include <windows.h>

// The dots per inch of the display `window` is on (96 = 100 %): GetDpiForWindow (Windows 10
// 1607), else GetDpiForMonitor of its monitor (8.1; shcore.dll, loaded from the system directory),
// else the system's (LOGPIXELSX of the screen; Vista: one scale for every display).
int WindowDpi(HWND window);
