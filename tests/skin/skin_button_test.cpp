#include "skin/skin_button.h"
#include "support/gui_test_support.h"
#include "test_skins.h"

#include <gtest/gtest.h>

namespace {

// Frame colours of the test strip.
const COLORREF kFrames[4] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(128, 128, 128)};
constexpr int kButtonId = 1004;

int g_clicks = 0;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED)
        ++g_clicks;
    return DefWindowProcA(window, message, wParam, lParam);
}

// A visible host window with one push button at (20, 20), 37 x 31, under real mouse input.
class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXA host = {};
        host.cbSize = sizeof host;
        host.lpfnWndProc = HostProc;
        host.hInstance = GetModuleHandleA(nullptr);
        host.lpszClassName = "VelloraButtonHost";
        RegisterClassExA(&host);
        // Topmost: a window that another test opens meanwhile must not come between the mouse and it.
        host_ = CreateWindowExA(WS_EX_TOPMOST, "VelloraButtonHost", "", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        MoveMouse(5, 150);  // over the host, away from the button
        g_clicks = 0;
    }
    void TearDown() override { DestroyWindow(host_); }

    HWND NewButton(int width = 37, int height = 31)
    {
        return CreateWindowExA(0, "button", "", WS_CHILD | WS_VISIBLE, 20, 20, width, height, host_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), GetModuleHandleA(nullptr), nullptr);
    }
    // Real input: a move in client coordinates of the host, or a button change.
    void MoveMouse(int x, int y)
    {
        POINT p = {x, y};
        ClientToScreen(host_, &p);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = (p.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
        input.mi.dy = (p.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof input);
        PumpFor(50);
    }
    void LeftButton(bool down)
    {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        SendInput(1, &input, sizeof input);
        PumpFor(50);
    }
    // The frame the button composes now, by its colour.
    static int Frame(CWINButton& button)
    {
        RECT client;
        GetClientRect(button.window(), &client);
        TestCanvas canvas(client.right, client.bottom);
        button.Compose(canvas.dc(), client.right, client.bottom);
        for (int i = 0; i < 4; ++i) {
            if (canvas.At(5, 5) == kFrames[i])
                return i;
        }
        return -1;
    }

    DesktopLock lock_;
    HWND host_ = nullptr;
};

}  // namespace

TEST_F(SkinButtonTest, StripShapesTheButtonAndFramesFollowHoverPressAndDisable)
{
    CWINButton button;
    ASSERT_TRUE(button.Attach(NewButton()));
    ASSERT_TRUE(button.LoadSkin(GetModuleHandleA(nullptr), IDT_STRIP));
    RECT rect;
    GetWindowRect(button.window(), &rect);
    EXPECT_EQ(rect.right - rect.left, 10);
    EXPECT_EQ(rect.bottom - rect.top, 10);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(button.window(), shape);
    EXPECT_FALSE(PtInRegion(shape, 0, 0)) << "frame 0's magenta corner is outside the shape";
    EXPECT_TRUE(PtInRegion(shape, 1, 0));
    DeleteObject(shape);

    EXPECT_EQ(Frame(button), 0);
    UpdateWindow(button.window());  // and the real paint puts it on the window
    HDC screen = GetDC(button.window());
    EXPECT_EQ(GetPixel(screen, 5, 5), kFrames[0]);
    ReleaseDC(button.window(), screen);

    MoveMouse(25, 25);
    ASSERT_TRUE(PumpUntil([&] { return button.hover(); }));
    EXPECT_EQ(Frame(button), 1);
    LeftButton(true);
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(Frame(button), 2);
    // Leaving with the button held keeps the pressed frame, even through WM_MOUSELEAVE.
    MoveMouse(150, 150);
    SendMessageA(button.window(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button.hover());
    EXPECT_EQ(Frame(button), 2);
    LeftButton(false);
    EXPECT_EQ(Frame(button), 0);
    EXPECT_EQ(g_clicks, 0) << "released outside: no click";

    // Clicks still reach the parent through the standard button procedure (away from the last
    // press, or it would be a double click).
    MoveMouse(22, 21);
    LeftButton(true);
    LeftButton(false);
    EXPECT_TRUE(PumpUntil([] { return g_clicks == 1; }));
    // The second press of a double click is WM_LBUTTONDBLCLK: not a press for the skin.
    LeftButton(true);
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(Frame(button), 1);
    LeftButton(false);

    button.SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(button.window()));
    EXPECT_EQ(Frame(button), 3);
}

TEST_F(SkinButtonTest, KeyboardFocusShowsFrameOneUntilTheMouseLeaves)
{
    CWINButton button;
    ASSERT_TRUE(button.Attach(NewButton()));
    ASSERT_TRUE(button.LoadSkin(GetModuleHandleA(nullptr), IDT_STRIP));
    SetFocus(button.window());
    EXPECT_TRUE(button.focus());
    EXPECT_EQ(Frame(button), 1);
    MoveMouse(25, 25);
    ASSERT_TRUE(PumpUntil([&] { return button.hover(); }));
    MoveMouse(150, 150);
    ASSERT_TRUE(PumpUntil([&] { return !button.hover(); }));
    EXPECT_EQ(GetFocus(), button.window());
    EXPECT_FALSE(button.focus());
    EXPECT_EQ(Frame(button), 0);
}

TEST_F(SkinButtonTest, FailedLoadsKeepTheFirstShape)
{
    CWINButton notAWindow;
    EXPECT_FALSE(notAWindow.Attach(nullptr));

    CWINButton button;
    ASSERT_TRUE(button.Attach(NewButton()));
    EXPECT_FALSE(button.LoadSkin(GetModuleHandleA(nullptr), IDT_MISSING));
    button.SetEnabled(false);
    EXPECT_FALSE(button.LoadSkin(GetModuleHandleA(nullptr), IDT_STRIP));
    EXPECT_FALSE(button.skinned());
    RECT rect, box;
    GetWindowRect(button.window(), &rect);
    EXPECT_EQ(rect.right - rect.left, 37);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(button.window(), shape), COMPLEXREGION) << "still the round rectangle";
    GetRgnBox(shape, &box);
    EXPECT_FALSE(PtInRegion(shape, 0, 0));
    EXPECT_GE(box.right, 36);
    DeleteObject(shape);
}

TEST_F(SkinButtonTest, ColourModeDrawsTheGradientBordersAndLastCaption)
{
    CWINButton button;
    ASSERT_TRUE(button.Attach(NewButton(100, 30)));
    const int cx = GetSystemMetrics(SM_CXEDGE), cy = GetSystemMetrics(SM_CYEDGE);
    const int inner = 30 - 2 * cy;
    auto compose = [&](TestCanvas& canvas) { button.Compose(canvas.dc(), 100, 30); };

    TestCanvas plain(100, 30);
    compose(plain);
    EXPECT_EQ(plain.At(50, cy), RGB(255, 255, 255)) << "top row: shade 0";
    const int last = (inner - 1) * 63 / inner;  // 60 with edges of 2
    EXPECT_EQ(plain.At(50, cy + inner - 1), RGB(255 - last / 3, 255 - last / 3, 255 - last / 5));

    SendMessageA(button.window(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 15));  // hover, before any leave
    ASSERT_TRUE(button.hover());
    TestCanvas hover(100, 30);
    compose(hover);
    EXPECT_EQ(hover.At(cx, 15), RGB(250, 196, 88)) << "left border of the hover set";
    const int row = 10 * 63 / inner;
    EXPECT_EQ(hover.At(50, cy + 10), RGB(255 - row / 4, 255 - row / 4, 255 - row / 5));
    PumpUntil([&] { return !button.hover(); }, 1000);

    // An empty window text leaves the previous caption on the button.
    SetWindowTextA(button.window(), "OK");
    TestCanvas captioned(100, 30), emptied(100, 30);
    compose(captioned);
    SetWindowTextA(button.window(), "");
    compose(emptied);
    EXPECT_NE(memcmp(captioned.bits(), plain.bits(), 100 * 30 * 4), 0);
    EXPECT_EQ(memcmp(captioned.bits(), emptied.bits(), 100 * 30 * 4), 0);
}

TEST_F(SkinButtonTest, HandCursorOnlyOverEnabledButtonsAndDestructionUnhooks)
{
    HWND window = NewButton();
    const LONG_PTR standardProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
    const ULONG_PTR arrow = GetClassLongPtrA(window, GCLP_HCURSOR);
    {
        CWINButton disabled;
        ASSERT_TRUE(disabled.Attach(window));
        disabled.SetHandCursor(true);
        disabled.SetEnabled(false);
        SendMessageA(window, WM_MOUSEMOVE, 0, 0);
        EXPECT_EQ(GetClassLongPtrA(window, GCLP_HCURSOR), arrow);
    }
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), standardProc);
    EXPECT_EQ(GetPropA(window, "CWINBUTTON"), nullptr);

    CWINButton button;
    ASSERT_TRUE(button.Attach(NewButton()));
    button.SetHandCursor(true);
    MoveMouse(25, 25);
    ASSERT_TRUE(PumpUntil([&] { return button.hover(); }));
    EXPECT_EQ(GetClassLongPtrA(button.window(), GCLP_HCURSOR), 0u);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    SetClassLongPtrA(button.window(), GCLP_HCURSOR, static_cast<LONG_PTR>(arrow));  // for later tests
}
