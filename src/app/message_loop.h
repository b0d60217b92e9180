#pragma once
// The installer's run once the single-instance check has passed: the window, the message loop
// and the tear-down.
#include <windows.h>

// Exit code of a run whose window could not be created.
constexpr int kExitNoWindow = 1;

// Creates the installer window, runs the message loop until the quit message, discards the window
// registry and destroys the window object. Returns the quit message's exit code.
int RunInstallerWindow(HINSTANCE instance);
