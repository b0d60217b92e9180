#pragma once
// Programs that a test starts without keeping their process (WinExec): wait for their evidence,
// and end them afterwards. Windows only.
#include <string>

// Waits up to `timeoutMs` for `path` to exist.
bool WaitForFile(const std::string& path, int timeoutMs = 10000);

// Ends every running process whose executable is `exePath` (case-insensitive) and waits for it
// to go. Returns how many there were.
int EndProgramsAt(const std::string& exePath);
