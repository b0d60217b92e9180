#pragma once
// Real mouse and keyboard input for windows of other processes: the cursor is moved, the button
// pressed and keys struck through the system's input queue, so hit testing, window regions,
// capture, the focus and the controls' own handling all take part, as when a user clicks or types.
#ifdef _WIN32
#include <windows.h>

// Moves the cursor to `screen` and clicks the left button there.
void ClickAt(POINT screen);

// Clicks the centre of `window` (for example a child control of another process's window).
bool ClickCentreOf(HWND window);

// Real keys, through the same queue, to whatever window has the keyboard focus; `window` (a
// top-level window of any process) comes to the front with BringToFront. The strokes are only
// queued: the window's own thread handles them (a window of the test's thread once it pumps).
bool BringToFront(HWND window);
// Presses and releases virtual key `key`, with Shift (or Alt) held when asked.
void PressKey(WORD key, bool shift = false, bool alt = false);
// Types `text` (ASCII) a character at a time, as Unicode key strokes.
void TypeText(const char* text);
#endif
