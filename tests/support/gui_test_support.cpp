#ifdef _WIN32
#include "support/gui_test_support.h"

#include <vector>

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

ChildProcess::ChildProcess(const std::string& commandLine)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_.reset(info.hProcess);
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (Running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

long ChildProcess::Wait(int timeoutMs)
{
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<long>(code);
}

bool ChildProcess::Running() const
{
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND WaitForWindow(const char* className, const char* title, DWORD processId, int timeoutMs)
{
    HWND found = nullptr;
    PumpUntil([&] {
        for (HWND w = FindWindowExA(nullptr, nullptr, className, title); w;
             w = FindWindowExA(nullptr, w, className, title)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if ((processId == 0 || owner == processId) && IsWindowVisible(w)) {
                found = w;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

std::string MessageBoxText(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {}, text[512] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
            return text;
    }
    return "";
}

static LRESULT CALLBACK RefuseEveryWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterRefusingClass(const char* name)
{
    WNDCLASSEXA refusing = {};
    refusing.cbSize = sizeof refusing;
    refusing.lpfnWndProc = RefuseEveryWindow;
    refusing.hInstance = GetModuleHandleA(nullptr);
    refusing.lpszClassName = name;
    return RegisterClassExA(&refusing) != 0;
}

DesktopLock::DesktopLock() : mutex_(CreateMutexA(nullptr, FALSE, "VelloraTestsDesktop"))
{
    if (mutex_)
        WaitForSingleObject(mutex_.get(), 300000);
}

DesktopLock::~DesktopLock()
{
    if (mutex_)
        ReleaseMutex(mutex_.get());
}

TestCanvas::TestCanvas(int width, int height, COLORREF fill) : width_(width)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<unsigned char*>(bits);
    dc_.reset(CreateCompatibleDC(nullptr));
    previous_ = SelectObject(dc_.get(), bitmap_.get());
    UniqueBrush brush(CreateSolidBrush(fill));
    RECT all = {0, 0, width, height};
    FillRect(dc_.get(), &all, brush.get());
}

TestCanvas::~TestCanvas() { SelectObject(dc_.get(), previous_); }

COLORREF TestCanvas::At(int x, int y) const
{
    GdiFlush();
    const unsigned char* p = bits_ + (static_cast<size_t>(y) * width_ + x) * 4;
    return RGB(p[2], p[1], p[0]);
}

#endif
