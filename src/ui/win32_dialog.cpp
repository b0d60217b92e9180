#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "ui/page_text.h"
#include "ui/resource_ids.h"
#include "ui/window_registry.h"

fgWin32Dialog::fgWin32Dialog(HINSTANCE instance) : instance_(instance)
{
    CopyString(statusText_, StatusText(STATUS_READING_CONFIG));
}

fgWin32Dialog::~fgWin32Dialog()
{
    // A job still running stops at its next check.
    job_.cancelRequested = 1;
    // A registry discarded earlier is recreated empty by this lookup.
    WindowRegistry::Erase(window_);
    // Closing the handle neither waits for the worker nor stops it. A worker that still runs
    // keeps reading and writing the record, so the record is then left to the process's end.
    bool workerRunning = false;
    if (job_.thread) {
        workerRunning = WaitForSingleObject(job_.thread, 0) == WAIT_TIMEOUT;
        CloseHandle(job_.thread);
    }
    if (!workerRunning)
        delete &job_;
}

bool fgWin32Dialog::Create(const char* className, const char* title, DWORD style, RECT rect,
                           int32_t userValue)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &fgWin32Dialog::StaticWndProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_INSTALLER));
    windowClass.hIconSm = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_INSTALLER_SMALL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    // A class that is already registered is used as it is.
    RegisterClassExA(&windowClass);

    // Only the WS_VISIBLE bit of `style` counts, when the window is shown below.
    HWND window = CreateWindowExA(0, className, title, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                  rect.right, rect.bottom, nullptr, nullptr, instance_, nullptr);
    if (!window)
        return false;
    window_ = window;
    WindowRegistry::Insert(window, this);
    userValue_ = userValue;

    // Refused: the window stays created and hidden; OnInit has queued the quit message.
    if (!OnInit())
        return false;
    ShowWindow(window, (style & WS_VISIBLE) ? SW_SHOWNORMAL : SW_HIDE);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK fgWin32Dialog::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (fgWin32Dialog* dialog = WindowRegistry::Find(window))
        return dialog->HandleMessage(message, wParam, lParam);

    // Messages of the window's creation (before it is registered) and of unregistered windows.
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
