// The installer window by the keyboard: the rules (focus order, what a key means) and the window
// in this process driven with real key strokes, pumped as the installer's message loop pumps.
#include "main_window_fixture.h"
#include "support/mouse_clicks.h"
#include "ui/keyboard_navigation.h"

namespace {

class Keyboard : public MainWindow {
protected:
    // The installer's loop: the window's keys first, then translation and dispatch.
    void Pump(int ms = 300)
    {
        const DWORD start = GetTickCount();
        while (static_cast<int>(GetTickCount() - start) < ms) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(message.wParam));
                    return;
                }
                if (!dialog_->HandleDialogKey(message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    void Strike(WORD key, bool shift = false, bool alt = false)
    {
        PressKey(key, shift, alt);
        Pump();
    }
    int Focused() const
    {
        HWND focus = GetFocus();
        return focus && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
    }
    void OpenInFront(const std::string& config = Config())
    {
        ASSERT_NO_FATAL_FAILURE(Open(config));
        ASSERT_TRUE(BringToFront(window_));
        Pump(100);
    }
};

}  // namespace

TEST(KeyboardRules, TabOrderSkipsWhatCannotTakeTheFocusAndKeysMeanWhatTheyDoInDialogs)
{
    const FocusOrder start = PageFocusOrder(VIEW_START);
    const bool all[8] = {true, true, true, true, true, true, true, true};
    EXPECT_EQ(NextInFocusOrder(start, all, 0, false), IDC_INSTALL) << "nothing focused: the first";
    EXPECT_EQ(NextInFocusOrder(start, all, 0, true), IDC_CLOSE) << "backwards: the last";
    EXPECT_EQ(NextInFocusOrder(start, all, IDC_CLOSE, false), IDC_INSTALL) << "round the end";
    // Install and custom install disabled (agreement unchecked).
    const bool agreedNot[8] = {false, true, true, false, true, true};
    EXPECT_EQ(NextInFocusOrder(start, agreedNot, IDC_AGREEMENT, false), IDC_MINIMIZE);
    EXPECT_EQ(NextInFocusOrder(start, agreedNot, IDC_AGREE_CHECK, true), IDC_CLOSE);
    const bool none[8] = {};
    EXPECT_EQ(NextInFocusOrder(start, none, IDC_INSTALL, false), 0);
    EXPECT_EQ(PageFocusOrder(VIEW_CUSTOM).ids[0], IDC_PATH_EDIT);
    EXPECT_EQ(PageFocusOrder(VIEW_PROGRESS).ids[0], IDC_CANCEL_INSTALL);
    EXPECT_EQ(PageDefaultButton(VIEW_CUSTOM), IDC_INSTALL);
    EXPECT_EQ(PageDefaultButton(VIEW_PROGRESS), 0) << "Enter alone never cancels";

    constexpr LPARAM kRepeat = 1L << 30, kAlt = 1L << 29;
    const struct {
        UINT message;
        WPARAM key;
        LPARAM flags;
        bool shift;
        FocusKind focus;
        DialogKey meaning;
    } keys[] = {
        {WM_KEYDOWN, VK_TAB, 0, false, FocusKind::Edit, DialogKey::Next},
        {WM_KEYDOWN, VK_TAB, kRepeat, true, FocusKind::Button, DialogKey::Previous},
        {WM_KEYDOWN, VK_RETURN, 0, false, FocusKind::Button, DialogKey::PressFocused},
        {WM_KEYDOWN, VK_RETURN, 0, false, FocusKind::CheckBox, DialogKey::PressDefault},
        {WM_KEYDOWN, VK_RETURN, 0, false, FocusKind::Edit, DialogKey::PressDefault},
        {WM_KEYDOWN, VK_RETURN, kRepeat, false, FocusKind::Button, DialogKey::None},
        {WM_KEYDOWN, VK_SPACE, 0, false, FocusKind::Button, DialogKey::PressFocused},
        {WM_KEYDOWN, VK_SPACE, 0, false, FocusKind::CheckBox, DialogKey::None},
        {WM_KEYDOWN, VK_SPACE, 0, false, FocusKind::Edit, DialogKey::None},
        {WM_KEYDOWN, VK_ESCAPE, 0, false, FocusKind::Edit, DialogKey::Close},
        {WM_KEYDOWN, VK_ESCAPE, kRepeat, false, FocusKind::None, DialogKey::None},
        {WM_SYSKEYDOWN, VK_F4, kAlt, false, FocusKind::Button, DialogKey::Close},
        {WM_SYSKEYDOWN, VK_F4, 0, false, FocusKind::Button, DialogKey::None},
        {WM_KEYDOWN, 'A', 0, false, FocusKind::Edit, DialogKey::None},
        {WM_KEYUP, VK_RETURN, 0, false, FocusKind::Button, DialogKey::None},
    };
    for (const auto& k : keys)
        EXPECT_EQ(ClassifyDialogKey(k.message, k.key, k.flags, k.shift, k.focus), k.meaning)
            << k.message << " " << k.key << " " << static_cast<int>(k.focus);
}

TEST_F(Keyboard, TabAndShiftTabWalkThePageAndTheFocusIsMarkedFromTheFirstTab)
{
    ASSERT_NO_FATAL_FAILURE(OpenInFront());
    EXPECT_EQ(Focused(), IDC_INSTALL) << "the window opens with the install button focused";
    const bool cuesFromStart = dialog_->focusCues();
    RECT install;
    GetWindowRect(Control(IDC_INSTALL), &install);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&install), 2);
    // Where the focus mark lies: just outside the control's left edge, level with its middle.
    const int markX = install.left - 2, markY = (install.top + install.bottom) / 2;
    TestCanvas before(455, 325);
    dialog_->OnPaint(before.dc());

    for (int id : {IDC_AGREE_CHECK, IDC_AGREEMENT, IDC_CUSTOM_INSTALL, IDC_MINIMIZE, IDC_CLOSE, IDC_INSTALL}) {
        Strike(VK_TAB);
        EXPECT_EQ(Focused(), id);
    }
    EXPECT_TRUE(dialog_->focusCues());
    TestCanvas marked(455, 325);
    dialog_->OnPaint(marked.dc());
    if (!cuesFromStart) {
        EXPECT_NE(marked.At(markX, markY), before.At(markX, markY)) << "the focus is marked";
    }
    Strike(VK_TAB, true);
    EXPECT_EQ(Focused(), IDC_CLOSE);

    // Space toggles the agreement box itself; install and custom install then drop out of the order.
    Strike(VK_TAB, true);
    Strike(VK_TAB, true);
    Strike(VK_TAB, true);
    Strike(VK_TAB, true);
    ASSERT_EQ(Focused(), IDC_AGREE_CHECK);
    Strike(VK_SPACE);
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_INSTALL)));
    Strike(VK_TAB, true);
    EXPECT_EQ(Focused(), IDC_CLOSE);
    Strike(VK_TAB);
    EXPECT_EQ(Focused(), IDC_AGREE_CHECK);
    Strike(VK_RETURN);
    EXPECT_EQ(dialog_->viewState(), VIEW_START) << "Enter presses no disabled default";
}

TEST_F(Keyboard, EnterPressesTheFocusedButtonOrThePagesDefaultAndEscCloses)
{
    ASSERT_NO_FATAL_FAILURE(OpenInFront());
    for (int i = 0; i < 3; ++i)
        Strike(VK_TAB);
    ASSERT_EQ(Focused(), IDC_CUSTOM_INSTALL);
    Strike(VK_RETURN);
    ASSERT_EQ(dialog_->viewState(), VIEW_CUSTOM);
    EXPECT_EQ(Focused(), IDC_PATH_EDIT);
    DWORD selStart = 1, selEnd = 0;
    SendMessageA(Control(IDC_PATH_EDIT), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    EXPECT_EQ(selStart, 0u);
    EXPECT_EQ(selEnd, static_cast<DWORD>(EditText().size())) << "its text selected, to be typed over";

    TypeText("Q:\\Games");
    Pump();
    EXPECT_EQ(EditText(), "Q:\\Games");
    EXPECT_TRUE(dialog_->invalidPath());
    Strike(VK_RETURN);  // in the field: the page's default, install
    auto boxes = boxes_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "指定的路径无效");
    EXPECT_EQ(EditText(), "Q:\\Games") << "Enter never goes into the one-line field";

    Strike(VK_TAB);  // browse
    Strike(VK_TAB);  // install
    Strike(VK_TAB);  // default path
    ASSERT_EQ(Focused(), IDC_DEFAULT_PATH);
    Strike(VK_SPACE);
    EXPECT_FALSE(dialog_->invalidPath()) << "Space presses the focused button";
    EXPECT_FALSE(QuitQueued());
    Strike(VK_ESCAPE);
    EXPECT_TRUE(QuitQueued()) << "Esc is the close button: before the installation it ends the program";
}

TEST_F(Keyboard, DuringTheInstallationEscAltF4AndEnterOnCancelOnlyAsk)
{
    // The update list never comes: the job waits in its download until it is cancelled.
    ASSERT_NO_FATAL_FAILURE(OpenInFront(Config("[config]\r\n1.0=" + TestServerUrl("fault/stall") + "\r\n")));
    ScratchDir folder("keyboard");
    Press(IDC_CUSTOM_INSTALL);
    Type(folder.path());
    Strike(VK_RETURN);
    ASSERT_EQ(dialog_->viewState(), VIEW_PROGRESS);
    EXPECT_EQ(Focused(), IDC_CANCEL_INSTALL);

    Strike(VK_ESCAPE);
    Strike(VK_F4, false, true);
    Strike(VK_RETURN);
    auto boxes = boxes_.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ(box.text, "确定要取消安装吗？");
        EXPECT_EQ(box.caption, "确认");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(box.owner, window_);
    }
    EXPECT_EQ(dialog_->job().cancelRequested.load(), 0) << "no answer but yes cancels";
    EXPECT_TRUE(IsWindow(window_));

    // Yes cancels; the cancelled download ends the program.
    MessageBoxHook recorder = SetMessageBoxHook([](HWND, const char*, const char*, UINT) { return IDYES; });
    Strike(VK_ESCAPE);
    SetMessageBoxHook(recorder);
    EXPECT_EQ(dialog_->job().cancelRequested.load(), 1);
    EXPECT_TRUE(PumpUntilQuit(20000));
    SetCurrentDirectoryA(startDirectory_.c_str());  // the job moved into the install folder
}
