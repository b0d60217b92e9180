#pragma once
// The installer window in this process for a test: the real set-up against a configuration slot
// server, the controls driven with their own messages.
#include "ui/config_addresses.h"
#include "ui/control_ids.h"
#include "ui/win32_dialog.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"
#include "support/message_box_recorder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <memory>
#include <string>

constexpr char kClass[] = "VelloraMainWindowTest";
constexpr char kGame[] = "Chess";

inline std::string Config(const std::string& extra = "")
{
    return std::string("[setup]\r\ngamename=") + kGame + "\r\nexefilename=chess.exe\r\nsize=16\r\n" + extra;
}

inline bool QuitQueued()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

// Runs the message loop until the quit message comes (true) or `timeoutMs` has passed.
inline bool PumpUntilQuit(int timeoutMs)
{
    const DWORD start = GetTickCount();
    while (static_cast<int>(GetTickCount() - start) < timeoutMs) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return true;
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

class MainWindow : public testing::Test {
protected:
    void Open(const std::string& config = Config())
    {
        server_ = std::make_unique<ConfigSlotServer>(0, config);
        ASSERT_TRUE(server_->listening());
        ResetConfigSlotCounter();
        dialog_ = std::make_unique<fgWin32Dialog>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(dialog_->Create(kClass, kClass, WS_VISIBLE, RECT{0, 0, 455, 325}, 0));
        window_ = dialog_->window();
    }

    void TearDown() override
    {
        if (dialog_) {
            // A started job must be over before its record goes.
            if (HANDLE thread = dialog_->job().thread) {
                dialog_->job().cancelRequested = 1;
                EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
            }
            DestroyWindow(window_);
            dialog_.reset();
        }
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        SetCurrentDirectoryA(startDirectory_.c_str());
    }

    HWND Control(int id) const { return GetDlgItem(window_, id); }
    bool Shown(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
    void Press(int id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }

    // Types `text` over the edit's whole text, a character at a time, as the keyboard would.
    void Type(const std::string& text)
    {
        HWND edit = Control(IDC_PATH_EDIT);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, WM_CHAR, VK_BACK, 0);
        for (char c : text)
            SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
    }
    std::string EditText() const
    {
        char text[600] = {};
        GetWindowTextA(Control(IDC_PATH_EDIT), text, sizeof text);
        return text;
    }

    // The bounding box of what waits to be painted.
    RECT PendingPaint() const
    {
        UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
        GetUpdateRgn(window_, region.get(), FALSE);
        RECT box = {};
        GetRgnBox(region.get(), &box);
        return box;
    }

    DesktopLock lock_;
    MessageBoxRecorder boxes_;
    std::unique_ptr<ConfigSlotServer> server_;
    std::unique_ptr<fgWin32Dialog> dialog_;
    HWND window_ = nullptr;
    std::string startDirectory_ = [] {
        char directory[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, directory);
        return std::string(directory);
    }();
};

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

