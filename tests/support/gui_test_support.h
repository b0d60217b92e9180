#pragma once
// Helpers for tests with real windows under Xvfb: child processes, waiting while messages flow,
// and pixels read back from bitmaps.
#ifdef _WIN32
#include "common/win_handles.h"

#include <functional>
#include <string>

// Runs the thread's message loop until `done` is true or `timeoutMs` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the message loop for `ms` milliseconds.
void PumpFor(int ms);

// A program started by a test; killed on destruction if it still runs.
class ChildProcess {
public:
    // `commandLine` is passed to CreateProcessA as it is.
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_.valid(); }
    DWORD id() const { return id_; }
    // Waits for the end; returns the exit code, or -1 on time-out.
    long Wait(int timeoutMs = 10000);
    bool Running() const;

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// The first visible top-level window of `processId` (any process when 0) with that class and title
// (nullptr matches any), waiting up to `timeoutMs` while pumping messages. Visible means set up:
// the installer shows its window after OnInit, a message box after its text is in place.
HWND WaitForWindow(const char* className, const char* title, DWORD processId = 0, int timeoutMs = 10000);

// The text of a standard message box (of any process): its static control that has text.
std::string MessageBoxText(HWND box);

// Registers a window class of this program whose windows refuse to be created (WM_NCCREATE
// answers FALSE), so that CreateWindowEx with its name fails.
bool RegisterRefusingClass(const char* name);

// Serialises tests that show windows, drive input or start the installer: every Wine process shares
// one desktop (its activation, keyboard focus and cursor) and the installer allows one instance.
class DesktopLock {
public:
    DesktopLock();
    ~DesktopLock();
    DesktopLock(const DesktopLock&) = delete;
    DesktopLock& operator=(const DesktopLock&) = delete;

private:
    UniqueHandle mutex_;
};

// A 32-bit top-down DIB section selected into its own memory DC, filled with `fill`.
class TestCanvas {
public:
    TestCanvas(int width, int height, COLORREF fill = RGB(0, 0, 0));
    ~TestCanvas();
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;
    HDC dc() const { return dc_.get(); }
    // The pixel as RGB(r, g, b), alpha dropped.
    COLORREF At(int x, int y) const;
    const unsigned char* bits() const { return bits_; }  // BGRA rows, top-down

private:
    int width_;
    unsigned char* bits_ = nullptr;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
};
#endif
