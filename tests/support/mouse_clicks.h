#pragma once
// Real mouse input for windows of other processes: the cursor is moved and the button pressed
// through the system's input queue, so hit testing, window regions, capture and the control's
// own click handling all take part, as when a user clicks.
#ifdef _WIN32
#include <windows.h>

// Moves the cursor to `screen` and clicks the left button there.
void ClickAt(POINT screen);

// Clicks the centre of `window` (for example a child control of another process's window).
bool ClickCentreOf(HWND window);
#endif
