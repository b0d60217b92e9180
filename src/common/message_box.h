#pragma once
// Every message box of the installer goes through ShowMessageBox, so that tests can take the
// box's place (a box would otherwise block a test until somebody clicks it).
#include <windows.h>

using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT type);

// MessageBoxA, or the installed hook.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// Installs `hook` in place of MessageBoxA (nullptr restores it) and returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
