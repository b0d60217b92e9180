#pragma once
// fgWin32Dialog: the installer's one top-level window. The framework part registers the window
// class, creates the borderless pop-up window, enters it in the WindowRegistry and routes every
// message from StaticWndProc to the object's HandleMessage. The installer window's own members
// and behaviour follow the framework members (main_window_*.cpp).
#include "install/install_job.h"

#include <windows.h>

#include <cstdint>

class fgWin32Dialog {
public:
    // Constructs every member empty; creates no window.
    explicit fgWin32Dialog(HINSTANCE instance);
    // Sets the job's cancel flag, leaves the registry, then releases the members (in reverse order
    // of declaration). Not virtual: the entry point owns the object by its own type.
    ~fgWin32Dialog();
    fgWin32Dialog(const fgWin32Dialog&) = delete;
    fgWin32Dialog& operator=(const fgWin32Dialog&) = delete;

    // The five operations, in this slot order.
    // Registers the class `className`, creates the pop-up window (width rect.right, height
    // rect.bottom), enters it in the registry and runs OnInit; shows it when `style` has
    // WS_VISIBLE. True when the window is up and initialised.
    virtual bool Create(const char* className, const char* title, DWORD style, RECT rect,
                        int32_t userValue);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual int OnTimer(UINT timerId);
    virtual int OnPaint(HDC dc);
    // True when the window may be shown; false when the program is ending.
    virtual bool OnInit();

    // The window procedure of the class: the only entry from the system into the framework.
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window() const { return window_; }
    HINSTANCE instance() const { return instance_; }
    int32_t userValue() const { return userValue_; }
    InstallJob& job() { return job_; }

protected:
    // Framework members.
    HWND window_ = nullptr;
    int32_t userValue_ = 0;  // stored by Create; read nowhere
    HINSTANCE instance_;

    // Installer window members.
    InstallJob job_;  // handed to the worker thread; its cancel flag is set on destruction
};
