#include "ui/config_addresses.h"
#include "ui/resource_ids.h"
#include "ui/win32_dialog.h"
#include "ui/window_registry.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr char kClass[] = "VelloraDialogTest";
constexpr RECT kSize = {0, 0, 455, 325};

// Records what reaches HandleMessage and OnInit.
class RecordingDialog : public fgWin32Dialog {
public:
    RecordingDialog() : fgWin32Dialog(GetModuleHandleA(nullptr)) {}
    ~RecordingDialog()
    {
        if (IsWindow(window_))
            DestroyWindow(window_);
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        return fgWin32Dialog::HandleMessage(message, wParam, lParam);
    }
    bool OnInit() override
    {
        ++initCalls;
        registeredAtInit = WindowRegistry::Find(window_) == this;
        visibleAtInit = IsWindowVisible(window_) != FALSE;
        return initResult;
    }
    bool Received(UINT message) const
    {
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    std::vector<UINT> messages;
    bool initResult = true;
    int initCalls = 0;
    bool registeredAtInit = false;
    bool visibleAtInit = true;
};

// A stand-in worker: runs until its event is set.
DWORD WINAPI WaitForRelease(LPVOID event) { return WaitForSingleObject(static_cast<HANDLE>(event), 30000); }

// Removes a queued quit message; true (with its code) when there was one.
bool TakeQuit(WPARAM* code)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    *code = message.wParam;
    return true;
}

}  // namespace

TEST(Win32Dialog, CreateRegistersTheClassAndShowsAnInitialisedPopup)
{
    DesktopLock lock;
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create(kClass, "标题", WS_VISIBLE | WS_OVERLAPPEDWINDOW, kSize, 7));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(GetClassInfoExA(instance, kClass, &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(registered.lpfnWndProc, &fgWin32Dialog::StaticWndProc);
    EXPECT_NE(registered.hIcon, nullptr);
    EXPECT_EQ(registered.hIcon, LoadIconA(instance, MAKEINTRESOURCEA(IDI_INSTALLER)));
    EXPECT_EQ(registered.hIconSm, LoadIconA(instance, MAKEINTRESOURCEA(IDI_INSTALLER_SMALL)));
    EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(registered.hbrBackground, nullptr);

    HWND window = dialog.window();
    // Only WS_VISIBLE of the style argument counts: the window is a plain pop-up.
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME),
              WS_POPUP | WS_VISIBLE);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 455);
    EXPECT_EQ(rect.bottom - rect.top, 325);
    char title[32] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "标题");
    EXPECT_EQ(dialog.userValue(), 7);
    EXPECT_EQ(dialog.initCalls, 1);
    EXPECT_TRUE(dialog.registeredAtInit);
    EXPECT_FALSE(dialog.visibleAtInit);

    // Messages of the creation never reach HandleMessage; everything after it does.
    EXPECT_FALSE(dialog.Received(WM_NCCREATE));
    EXPECT_FALSE(dialog.Received(WM_CREATE));
    SendMessageA(window, WM_USER + 1, 0, 0);
    EXPECT_TRUE(dialog.Received(WM_USER + 1));
    // The installer window's WM_DESTROY ends the program.
    DestroyWindow(window);
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(code, 0u);
}

TEST(Win32Dialog, StyleWithoutVisibleOrARefusingOnInitLeaveTheWindowHidden)
{
    DesktopLock lock;
    RecordingDialog hidden;
    EXPECT_TRUE(hidden.Create(kClass, "", WS_OVERLAPPEDWINDOW, kSize, 0));
    EXPECT_TRUE(IsWindow(hidden.window()));
    EXPECT_FALSE(IsWindowVisible(hidden.window()));
    EXPECT_EQ(hidden.initCalls, 1);

    RecordingDialog refused;
    refused.initResult = false;
    EXPECT_FALSE(refused.Create(kClass, "", WS_VISIBLE, kSize, 0));
    EXPECT_TRUE(IsWindow(refused.window()));
    EXPECT_FALSE(IsWindowVisible(refused.window()));
    EXPECT_EQ(WindowRegistry::Find(refused.window()), &refused);
}

TEST(Win32Dialog, WindowThatCannotBeCreatedFailsBeforeOnInit)
{
    DesktopLock lock;
    // The class exists already, so registration fails; creation goes on and is refused.
    ASSERT_TRUE(RegisterRefusingClass("VelloraRefusingTest"));
    RecordingDialog dialog;
    EXPECT_FALSE(dialog.Create("VelloraRefusingTest", "", WS_VISIBLE, kSize, 0));
    EXPECT_EQ(dialog.window(), nullptr);
    EXPECT_EQ(dialog.initCalls, 0);
}

TEST(Win32Dialog, UnregisteredWindowsGetTheFallbacks)
{
    DesktopLock lock;
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create(kClass, "", WS_VISIBLE, kSize, 0));
    HWND stray = CreateWindowExA(0, kClass, "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(WindowRegistry::Find(stray), nullptr);
    InvalidateRect(stray, nullptr, FALSE);
    UpdateWindow(stray);
    EXPECT_FALSE(GetUpdateRect(stray, nullptr, FALSE)) << "WM_PAINT must validate";
    SendMessageA(stray, WM_USER + 2, 0, 0);
    DestroyWindow(stray);
    EXPECT_FALSE(dialog.Received(WM_USER + 2));
    EXPECT_FALSE(dialog.Received(WM_DESTROY));
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code)) << "WM_DESTROY of an unregistered window posts the quit message";
    EXPECT_EQ(code, 0u);

    // Out of the registry, the dialog's own window falls back too.
    WindowRegistry::Erase(dialog.window());
    DestroyWindow(dialog.window());
    EXPECT_FALSE(dialog.Received(WM_DESTROY));
    EXPECT_TRUE(TakeQuit(&code));
}

TEST(Win32Dialog, DestructionCancelsTheJobAndLeavesTheRegistry)
{
    DesktopLock lock;
    // The real set-up runs: it needs a configuration.
    ConfigSlotServer config(0, "[setup]\r\ngamename=Vellora\r\nsize=16\r\n");
    ResetConfigSlotCounter();
    // A worker that still runs when the window goes: its record must outlive the window object.
    UniqueHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(release.valid());
    UniqueHandle worker;
    InstallJob* job = nullptr;
    HWND window = nullptr;
    {
        fgWin32Dialog dialog(GetModuleHandleA(nullptr));
        ASSERT_TRUE(dialog.Create(kClass, "", 0, kSize, 0));
        window = dialog.window();
        job = &dialog.job();
        job->thread = CreateThread(nullptr, 0, WaitForRelease, release.get(), 0, nullptr);
        ASSERT_NE(job->thread, nullptr);
        HANDLE ownThread = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), job->thread, GetCurrentProcess(), &ownThread, SYNCHRONIZE,
                                    FALSE, 0));
        worker.reset(ownThread);
        EXPECT_EQ(job->cancelRequested.load(), 0);
    }
    EXPECT_EQ(job->cancelRequested.load(), 1) << "the record is left to the running worker, cancelled";
    EXPECT_EQ(WindowRegistry::Find(window), nullptr);
    EXPECT_TRUE(IsWindow(window)) << "the window is not the object's to destroy";
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(worker.get(), 30000), WAIT_OBJECT_0);
    delete job;  // the worker is over: nobody else holds the record now
    DestroyWindow(window);
    WPARAM code;
    TakeQuit(&code);
}
