// What a screen reader learns of the installer window, read back as a reader reads it: through
// AccessibleObjectFromWindow, which sends the control WM_GETOBJECT.
#include "main_window_fixture.h"
#include "app/installer_run.h"

#include <oleacc.h>

namespace {

class Accessibility : public MainWindow {
protected:
    void SetUp() override { ASSERT_TRUE(com_.ok()); }

    struct Read {
        long role = 0;
        long state = 0;
        std::string name, value, description, action;
    };
    // The client object of `window`, as a reader gets it.
    static Read ReadBack(HWND window)
    {
        Read read;
        ComPtr<IAccessible> object;
        EXPECT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), object.put_void()), S_OK);
        if (!object)
            return read;
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(object->get_accRole(self, &v)) && v.vt == VT_I4)
            read.role = v.lVal;
        VariantInit(&v);
        if (SUCCEEDED(object->get_accState(self, &v)) && v.vt == VT_I4)
            read.state = v.lVal;
        read.name = Text(object.get(), &IAccessible::get_accName);
        read.value = Text(object.get(), &IAccessible::get_accValue);
        read.description = Text(object.get(), &IAccessible::get_accDescription);
        read.action = Text(object.get(), &IAccessible::get_accDefaultAction);
        return read;
    }
    template <typename Getter>
    static std::string Text(IAccessible* object, Getter getter)
    {
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if ((object->*getter)(self, &text) != S_OK || !text)
            return "";
        char ansi[600] = {};
        WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
        SysFreeString(text);
        return ansi;
    }

    ScopedComInit com_;
};

}  // namespace

TEST_F(Accessibility, EveryControlHasTheNameOfWhatItShowsAndTheRoleOfWhatItIs)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    const struct {
        int id;
        long role;
        const char* name;
    } controls[] = {
        {IDC_INSTALL, ROLE_SYSTEM_PUSHBUTTON, "立即安装"},
        {IDC_AGREE_CHECK, ROLE_SYSTEM_CHECKBUTTON, "已阅读并同意"},
        {IDC_AGREEMENT, ROLE_SYSTEM_LINK, "用户协议"},
        {IDC_CUSTOM_INSTALL, ROLE_SYSTEM_LINK, "自定义安装"},
        {IDC_MINIMIZE, ROLE_SYSTEM_PUSHBUTTON, "最小化"},
        {IDC_CLOSE, ROLE_SYSTEM_PUSHBUTTON, "关闭"},
        {IDC_PATH_EDIT, ROLE_SYSTEM_TEXT, "安装路径"},
        {IDC_BROWSE, ROLE_SYSTEM_PUSHBUTTON, "浏览"},
        {IDC_DEFAULT_PATH, ROLE_SYSTEM_PUSHBUTTON, "恢复默认"},
        {IDC_BACK, ROLE_SYSTEM_LINK, "返回"},
        {IDC_CANCEL_INSTALL, ROLE_SYSTEM_PUSHBUTTON, "取消安装"},
        {IDC_PROGRESS, ROLE_SYSTEM_PROGRESSBAR, "正在读取配置文件"},
    };
    for (const auto& c : controls) {
        const Read read = ReadBack(Control(c.id));
        EXPECT_EQ(read.role, c.role) << c.id;
        EXPECT_EQ(read.name, c.name) << c.id;
        if (c.role == ROLE_SYSTEM_LINK) {
            EXPECT_TRUE(read.state & STATE_SYSTEM_LINKED) << c.id;
        }
    }
    EXPECT_EQ(ReadBack(Control(IDC_INSTALL)).action, "按下");
    EXPECT_EQ(ReadBack(Control(IDC_PATH_EDIT)).value, dialog_->defaultPath()) << "the field's value: its text";
    EXPECT_NE(ReadBack(Control(IDC_PATH_EDIT)).description.find("所需空间："), std::string::npos);

    // The check box's state, as it changes.
    EXPECT_TRUE(ReadBack(Control(IDC_AGREE_CHECK)).state & STATE_SYSTEM_CHECKED);
    Press(IDC_AGREE_CHECK);
    EXPECT_FALSE(ReadBack(Control(IDC_AGREE_CHECK)).state & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(ReadBack(Control(IDC_AGREE_CHECK)).action, "选中");
    EXPECT_TRUE(ReadBack(Control(IDC_INSTALL)).state & STATE_SYSTEM_UNAVAILABLE);
}

TEST_F(Accessibility, ThePagesTitleAndTheProgressAreReadableAndADefaultActionActs)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(ReadBack(window_).name, "Vellora游戏 极速安装");

    // A reader's "press" on the custom-install link opens that page, and the window's name follows.
    {
        ComPtr<IAccessible> link;
        ASSERT_EQ(AccessibleObjectFromWindow(Control(IDC_CUSTOM_INSTALL), OBJID_CLIENT, __uuidof(IAccessible),
                                             link.put_void()),
                  S_OK);
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        EXPECT_EQ(link->accDoDefaultAction(self), S_OK);
    }
    EXPECT_TRUE(PumpUntil([&] { return dialog_->viewState() == VIEW_CUSTOM; }, 2000));
    const Read custom = ReadBack(window_);
    EXPECT_EQ(custom.name, "自定义安装");
    EXPECT_NE(custom.description.find("可用空间："), std::string::npos);

    // The progress text: what the job does names the bar, the page's percentage is its value.
    SendMessageA(window_, WM_INSTALL_STATUS, 0, 4);
    SendMessageA(window_, WM_INSTALL_PROGRESS, 0, 37);
    const Read bar = ReadBack(Control(IDC_PROGRESS));
    EXPECT_EQ(bar.name, "正在下载");
    EXPECT_EQ(bar.value, "已下载37%");
    SendMessageA(window_, WM_INSTALL_STATUS, 0, 1);
    EXPECT_EQ(ReadBack(Control(IDC_PROGRESS)).value, "37%") << "no percentage shown: the plain value";
}

// Readers run in a process of their own: the installer's answers travel through COM's marshalling.
TEST_F(Accessibility, AReaderInAnotherProcessHearsTheSame)
{
    ConfigSlotServer config(0, kOpeningConfig);
    ChildProcess installer(Quoted(InstallerPath()));
    HWND window = WaitForWindow(kInstallerTitle, kInstallerTitle, installer.id(), 20000);
    ASSERT_NE(window, nullptr);
    const Read install = ReadBack(GetDlgItem(window, IDC_INSTALL));
    EXPECT_EQ(install.name, "立即安装");
    EXPECT_EQ(install.role, ROLE_SYSTEM_PUSHBUTTON);
    const Read agreement = ReadBack(GetDlgItem(window, IDC_AGREE_CHECK));
    EXPECT_EQ(agreement.role, ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_TRUE(agreement.state & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(ReadBack(window).name, "Vellora游戏 极速安装");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer.Wait(), 0);
}
