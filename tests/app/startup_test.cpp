#include "app/message_loop.h"
#include "app/single_instance.h"
#include "ui/config_addresses.h"
#include "ui/window_registry.h"
#include "installer_run.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"
#include "support/message_box_recorder.h"

#include <gtest/gtest.h>

namespace {

HWND g_window;

// Closes the installer window of this process once it is up and registered.
void CALLBACK CloseWhenUp(HWND, UINT, UINT_PTR timer, DWORD)
{
    g_window = FindWindowA(kInstallerTitle, kInstallerTitle);
    if (!g_window || !IsWindowVisible(g_window) || !WindowRegistry::Find(g_window))
        return;
    KillTimer(nullptr, timer);
    PostMessageA(g_window, WM_CLOSE, 0, 0);
}

}  // namespace

TEST(SingleInstance, HeldMutexShowsTheErrorBoxAndRefusesTheStart)
{
    DesktopLock lock;
    MessageBoxRecorder recorder;
    UniqueHandle mutex;
    {
        UniqueHandle running(CreateMutexA(nullptr, FALSE, "MutexOnlineDownLoad"));
        EXPECT_FALSE(TakeSingleInstanceMutex(mutex));
        EXPECT_FALSE(mutex.valid());
    }
    auto boxes = recorder.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "应用程序已经在运行！");
    EXPECT_EQ(boxes[0].caption, "提示");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR | MB_OK));

    // Once the other instance is gone the start goes on, silently.
    EXPECT_TRUE(TakeSingleInstanceMutex(mutex));
    EXPECT_TRUE(mutex.valid());
    EXPECT_EQ(recorder.boxes().size(), 1u);
}

TEST(SingleInstance, SecondStartOfTheInstallerShowsTheBoxAndExitsWithZero)
{
    DesktopLock lock;
    ConfigSlotServer config(0, kOpeningConfig);
    ChildProcess first(Quoted(InstallerPath()));
    ASSERT_TRUE(first.started());
    HWND window = WaitForWindow(kInstallerTitle, kInstallerTitle, first.id());
    ASSERT_NE(window, nullptr);
    // A visible, borderless pop-up of the entry point's size.
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME), WS_POPUP | WS_VISIBLE);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 455);
    EXPECT_EQ(rect.bottom - rect.top, 325);

    ChildProcess second(Quoted(InstallerPath()));
    HWND box = WaitForWindow("#32770", "提示", second.id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "应用程序已经在运行！");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.Wait(), 0);

    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(window));
    // A close request destroys the window, which ends the run with exit code 0.
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Wait(), 0);
}

TEST(Startup, RunEndsWithTheQuitCodeOfItsWindow)
{
    DesktopLock lock;
    ConfigSlotServer config(0, kOpeningConfig);
    ResetConfigSlotCounter();
    // Once the window is up, a close request ends the loop with exit code 0.
    g_window = nullptr;
    SetTimer(nullptr, 0, 50, CloseWhenUp);
    EXPECT_EQ(RunInstallerWindow(GetModuleHandleA(nullptr)), 0);
    ASSERT_NE(g_window, nullptr);
    EXPECT_EQ(WindowRegistry::Find(g_window), nullptr);
}

TEST(Startup, WindowThatCannotBeCreatedEndsTheRun)
{
    // A class of the installer's name that refuses every window: creation fails and no quit
    // message is queued, yet the run must not wait for ever.
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterRefusingClass(kInstallerTitle));
    EXPECT_EQ(RunInstallerWindow(instance), kExitNoWindow);
    UnregisterClassA(kInstallerTitle, instance);
}
