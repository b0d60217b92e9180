// The installer window in this process: the real set-up against a configuration slot server, the
// controls driven with their own messages, the job's messages sent as the job would post them.
#include "main_window_fixture.h"

TEST_F(MainWindow, OpensCentredOnTheStartPageWithTheDefaultPath)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    RECT rect;
    GetWindowRect(window_, &rect);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 455) >> 1);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 325) >> 1);
    for (int id : {IDC_CLOSE, IDC_MINIMIZE, IDC_INSTALL, IDC_AGREEMENT, IDC_CUSTOM_INSTALL, IDC_AGREE_CHECK})
        EXPECT_TRUE(Shown(id)) << id;
    for (int id : {IDC_BROWSE, IDC_DEFAULT_PATH, IDC_BACK, IDC_PATH_EDIT, IDC_CANCEL_INSTALL, IDC_PROGRESS})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_EQ(SendMessageA(Control(IDC_AGREE_CHECK), BM_GETCHECK, 0, 0), BST_CHECKED);

    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string defaultPath = std::string(system, 3) + "Program Files\\" + kGame + "\\";
    EXPECT_EQ(dialog_->chosenPath(), defaultPath);
    EXPECT_EQ(EditText(), defaultPath);
    EXPECT_EQ(SendMessageA(Control(IDC_PATH_EDIT), EM_GETLIMITTEXT, 0, 0), 259 - 5);
    EXPECT_EQ(dialog_->job().requiredKb, 16 * 1024);
}

TEST_F(MainWindow, AgreementBoxEnablesAndDisablesInstallAndCustomInstall)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(IDC_AGREE_CHECK);
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_INSTALL)));
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_CUSTOM_INSTALL)));
    Press(IDC_AGREE_CHECK);
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_INSTALL)));
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_CUSTOM_INSTALL)));
}

TEST_F(MainWindow, TypedPathGetsTheGameFolderOnce)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(IDC_CUSTOM_INSTALL);
    ASSERT_EQ(dialog_->viewState(), VIEW_CUSTOM);
    for (int id : {IDC_BROWSE, IDC_DEFAULT_PATH, IDC_BACK, IDC_PATH_EDIT, IDC_INSTALL})
        EXPECT_TRUE(Shown(id)) << id;
    EXPECT_FALSE(Shown(IDC_AGREE_CHECK));

    for (const char* typed : {"C:\\Games", "C:\\Games\\Chess", "C:\\Games\\Chess\\", "C:/Games/"}) {
        Type(typed);
        EXPECT_EQ(EditText(), typed);
        EXPECT_STREQ(dialog_->chosenPath(), typed[2] == '/' ? "C:/Games/Chess\\" : "C:\\Games\\Chess\\") << typed;
        EXPECT_FALSE(dialog_->invalidPath());
    }

    // A text of 260 characters or more (only a paste past the limit gets there) is taken back.
    SendMessageA(Control(IDC_PATH_EDIT), EM_LIMITTEXT, 1000, 0);
    const std::string tooLong = "C:\\" + std::string(300, 'a');
    SendMessageA(Control(IDC_PATH_EDIT), EM_SETSEL, 0, -1);
    SendMessageA(Control(IDC_PATH_EDIT), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(tooLong.c_str()));
    EXPECT_EQ(EditText(), "C:/Games/Chess\\");
    EXPECT_STREQ(dialog_->chosenPath(), "C:/Games/Chess\\");

    Press(IDC_BACK);
    EXPECT_EQ(dialog_->viewState(), VIEW_START);
    EXPECT_TRUE(Shown(IDC_AGREE_CHECK));
}

TEST_F(MainWindow, InvalidDriveBlocksInstallUntilThePathIsCorrected)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Press(IDC_CUSTOM_INSTALL);
    Type("Q:\\Games");  // no such drive in the test prefix
    EXPECT_TRUE(dialog_->invalidPath());
    EXPECT_STREQ(dialog_->chosenPath(), dialog_->defaultPath());

    Press(IDC_INSTALL);
    auto boxes = boxes_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, window_);
    EXPECT_EQ(boxes[0].text, "指定的路径无效");
    EXPECT_EQ(boxes[0].caption, "确认");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(dialog_->viewState(), VIEW_CUSTOM);
    EXPECT_EQ(dialog_->job().thread, nullptr);

    Type("C:\\Games");
    EXPECT_FALSE(dialog_->invalidPath());
    const std::string chosen = dialog_->chosenPath();

    // A tab typed into the path (as if to leave the edit) names no folder either.
    Type("C:\\Games\t");
    EXPECT_EQ(EditText(), "C:\\Games\t");
    EXPECT_TRUE(dialog_->invalidPath());
    EXPECT_EQ(dialog_->chosenPath(), chosen);
    Type("C:\\Games");
    EXPECT_FALSE(dialog_->invalidPath());

    // An empty text names no folder; restoring the default path clears the mark.
    Type("");
    EXPECT_TRUE(dialog_->invalidPath());
    Press(IDC_DEFAULT_PATH);
    EXPECT_FALSE(dialog_->invalidPath());
    EXPECT_STREQ(dialog_->chosenPath(), dialog_->defaultPath());
    EXPECT_EQ(EditText(), dialog_->defaultPath());
}

TEST_F(MainWindow, ProgressAndStatusRedrawOnlyTheirTexts)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    UpdateWindow(window_);
    SendMessageA(window_, WM_INSTALL_PROGRESS, 0, 55);
    EXPECT_TRUE(PendingPaint() == (RECT{300, 232, 436, 247}));
    PumpUntil([&] { return SendMessageA(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0) == 55; }, 2000);
    EXPECT_EQ(SendMessageA(Control(IDC_PROGRESS), PBM_GETPOS, 0, 0), 55);

    UpdateWindow(window_);
    SendMessageA(window_, WM_INSTALL_STATUS, 0, 4);
    EXPECT_TRUE(PendingPaint() == (RECT{18, 232, 318, 247}));
    EXPECT_EQ(dialog_->statusIndex(), 4);
    // No index the job knows: nothing changes.
    UpdateWindow(window_);
    SendMessageA(window_, WM_INSTALL_STATUS, 0, 9);
    EXPECT_EQ(dialog_->statusIndex(), 4);
    EXPECT_TRUE(PendingPaint() == (RECT{0, 0, 0, 0}));
    EXPECT_FALSE(QuitQueued());

    SendMessageA(window_, WM_INSTALL_STATUS, 0, 6);
    EXPECT_FALSE(QuitQueued());
    SendMessageA(window_, WM_INSTALL_STATUS, 0, 7);
    EXPECT_TRUE(QuitQueued());
}

TEST_F(MainWindow, CloseOnTheProgressPageOnlyAsksTheJobToStop)
{
    // The update list never comes: the job waits in its download until it is cancelled.
    ASSERT_NO_FATAL_FAILURE(Open(Config("[config]\r\n1.0=" + TestServerUrl("fault/stall") + "\r\n")));
    ScratchDir folder("window");
    Press(IDC_CUSTOM_INSTALL);
    Type(folder.path());
    const std::string installDir = folder / "Chess\\";
    ASSERT_STREQ(dialog_->chosenPath(), installDir.c_str());
    Press(IDC_INSTALL);
    ASSERT_EQ(dialog_->viewState(), VIEW_PROGRESS);
    EXPECT_TRUE(Shown(IDC_PROGRESS));
    EXPECT_TRUE(Shown(IDC_CANCEL_INSTALL));
    EXPECT_FALSE(Shown(IDC_INSTALL));
    ASSERT_NE(dialog_->job().thread, nullptr);
    EXPECT_EQ(dialog_->job().window, window_);
    EXPECT_STREQ(dialog_->job().installDir, installDir.c_str());
    EXPECT_TRUE(FileExists(installDir)) << "the folder is made before the job starts";

    Press(IDC_CLOSE);
    EXPECT_EQ(dialog_->job().cancelRequested.load(), 1);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(QuitQueued());
    // The cancelled download reports failure, and that ends the program.
    EXPECT_TRUE(PumpUntilQuit(20000));
    EXPECT_EQ(dialog_->statusIndex(), 0);
    EXPECT_TRUE(boxes_.boxes().empty());
    SetCurrentDirectoryA(startDirectory_.c_str());  // the job moved into the install folder
}

TEST_F(MainWindow, DragBandIsTheTopTwentyOnePixelsWhereverTheMessageSays)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    POINT origin = {0, 0};
    ClientToScreen(window_, &origin);
    // Where the cursor is, in client coordinates; the message itself names some other point.
    auto hitAt = [&](int x, int y) {
        SetCursorPos(origin.x + x, origin.y + y);
        return SendMessageA(window_, WM_NCHITTEST, 0, MAKELPARAM(origin.x + 200, origin.y + 100));
    };
    EXPECT_EQ(hitAt(200, 0), HTCAPTION);
    EXPECT_EQ(hitAt(0, 20), HTCAPTION);
    EXPECT_EQ(hitAt(454, 20), HTCAPTION);
    EXPECT_EQ(hitAt(200, 21), HTNOWHERE);
    EXPECT_EQ(hitAt(-1, 10), HTNOWHERE);
    EXPECT_EQ(hitAt(200, -1), HTNOWHERE);
    EXPECT_EQ(hitAt(200, 100), HTNOWHERE);
}

TEST_F(MainWindow, PaintComposesThePageAndAMinimisedWindowPaintsNothing)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    constexpr COLORREF kUntouched = RGB(1, 2, 3);
    constexpr COLORREF kTitleYellow = RGB(255, 246, 150);
    // Whether some pixel of `area` has exactly `colour`.
    auto has = [](const TestCanvas& canvas, RECT area, COLORREF colour) {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (canvas.At(x, y) == colour)
                    return true;
        return false;
    };

    TestCanvas start(455, 325, kUntouched);
    EXPECT_EQ(dialog_->OnPaint(start.dc()), 0);
    EXPECT_NE(start.At(10, 300), kUntouched) << "the background covers the window";
    EXPECT_TRUE(has(start, RECT{0, 146, 455, 177}, kTitleYellow)) << "the start page's title";
    EXPECT_FALSE(has(start, RECT{26, 44, 126, 61}, kTitleYellow));

    Press(IDC_CUSTOM_INSTALL);
    TestCanvas custom(455, 325, kUntouched);
    dialog_->OnPaint(custom.dc());
    EXPECT_TRUE(has(custom, RECT{26, 44, 126, 61}, kTitleYellow)) << "the custom page's heading";
    EXPECT_TRUE(has(custom, RECT{40, 128, 290, 148}, RGB(255, 255, 255))) << "the space line";
    EXPECT_FALSE(has(custom, RECT{0, 146, 455, 177}, kTitleYellow));

    ShowWindow(window_, SW_MINIMIZE);
    TestCanvas minimised(455, 325, kUntouched);
    dialog_->OnPaint(minimised.dc());
    EXPECT_FALSE(has(minimised, RECT{0, 0, 455, 325}, RGB(255, 255, 255)));
    EXPECT_EQ(minimised.At(10, 300), kUntouched);
    ShowWindow(window_, SW_RESTORE);
}

TEST_F(MainWindow, SlideTimerRedrawsTheSlideAreaOnly)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    UpdateWindow(window_);
    SendMessageA(window_, WM_TIMER, IDT_SLIDESHOW, 0);
    EXPECT_TRUE(PendingPaint() == (RECT{0, 0, 455, 200}));
    UpdateWindow(window_);
    SendMessageA(window_, WM_TIMER, IDT_SLIDESHOW + 1, 0);
    EXPECT_TRUE(PendingPaint() == (RECT{0, 0, 0, 0})) << "another timer shows nothing new";
}
