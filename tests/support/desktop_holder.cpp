// Keeps Wine's desktop up for a whole test run (started by scripts/with-shared-display.sh).
//
// Wine draws its desktop with an explorer.exe that it starts for the first program needing the
// desktop, and that ends a few seconds after the last such program. A test program that started it
// would hand it its own output pipe (and ctest would wait for that pipe until explorer ended) and,
// without an X display of its own, the null display driver, on which no later test could create a
// window. This program holds the desktop from before the first test to the end of the run, so that
// explorer is always started here, detached and on the shared display.
//
// It also owns the desktop's shell window, which on Windows is the desktop shell's (explorer's) and
// which Wine's desktop lacks: the installer starts the game as a child of the shell's process, and
// takes the same route here as on a player's desktop.
//
//   desktop_holder <ready file>   writes the file once the desktop is up, then waits until killed
#include <windows.h>

// user32 exports it without a declaration in the SDK's headers.
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    // A hidden top-level window attaches this thread to the desktop, which starts explorer.exe.
    HWND window = CreateWindowExA(0, "STATIC", "desktop holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 1;
    SetShellWindow(window);
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE)
        CloseHandle(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
