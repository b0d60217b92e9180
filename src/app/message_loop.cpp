#include "app/message_loop.h"

#include "common/fixed_string.h"
#include "install/install_job.h"
#include "ui/product_name.h"
#include "ui/resource_ids.h"
#include "ui/win32_dialog.h"
#include "ui/window_registry.h"

namespace {

bool QuitQueued()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

}  // namespace

int RunInstallerWindow(HINSTANCE instance)
{
    MSG message = {};
    {
        fgWin32Dialog dialog(instance);
        char title[kPathSize];
        FormatString(title, "%s在线安装", kProductName);
        const RECT size = {0, 0, 455, 325};
        // A refusal by OnInit has already queued the quit message, so the loop ends at once. A
        // window that could not be created queued nothing: the run must end all the same.
        if (!dialog.Create(title, title, WS_VISIBLE | WS_OVERLAPPEDWINDOW, size, 0) && !QuitQueued())
            PostQuitMessage(kExitNoWindow);

        HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
        BOOL result;
        while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
            if (result == -1) {
                message.wParam = kExitNoWindow;
                break;
            }
            // The window's own keys first (Tab, Enter, Space, Esc, Alt+F4), as a dialog's.
            if (dialog.HandleDialogKey(message))
                continue;
            if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        // The registry goes first, then the window object, whose destruction cancels the job.
        WindowRegistry::Discard();
    }
    // Returning ends the process, including a worker thread that may still run.
    return static_cast<int>(message.wParam);
}
