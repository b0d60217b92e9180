// What a screen reader is told of the installer window: each control's name and role (with the
// check box's state and the progress bar's value), and the page's own texts, which the window
// paints and no control holds.
#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "ui/control_accessibility.h"
#include "ui/control_ids.h"
#include "ui/page_text.h"
#include "ui/product_name.h"
#include "ui/window_registry.h"

bool fgWin32Dialog::DescribeChild(HWND control, AccessibleFacts& facts)
{
    const fgWin32Dialog* dialog = WindowRegistry::Find(GetParent(control));
    return dialog && dialog->Describe(GetDlgCtrlID(control), facts);
}

bool fgWin32Dialog::DescribeWindow(HWND window, AccessibleFacts& facts)
{
    const fgWin32Dialog* dialog = WindowRegistry::Find(window);
    if (!dialog)
        return false;
    dialog->DescribePage(facts);
    return true;
}

bool fgWin32Dialog::Describe(int id, AccessibleFacts& facts) const
{
    const ControlAccessibility* entry = FindControlAccessibility(id);
    if (!entry)
        return false;
    facts.role = entry->role;
    if (entry->name)
        CopyString(facts.name, entry->name);
    switch (entry->role) {
    case ROLE_SYSTEM_PUSHBUTTON:
        facts.defaultAction = "按下";
        facts.clickable = true;
        break;
    case ROLE_SYSTEM_LINK:
        facts.addedState = STATE_SYSTEM_LINKED;
        facts.defaultAction = "跳转";
        facts.clickable = true;
        break;
    case ROLE_SYSTEM_CHECKBUTTON: {
        CopyString(facts.name, agreementLabel_);
        const bool checked = SendMessageA(agreeCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        facts.addedState = checked ? STATE_SYSTEM_CHECKED : 0;
        facts.defaultAction = checked ? "取消选中" : "选中";
        facts.clickable = true;
        break;
    }
    case ROLE_SYSTEM_PROGRESSBAR:
        // Named by what the job is doing; its value is the percentage as the page shows it.
        CopyString(facts.name, statusText_);
        FormatPercentText(facts.value, statusIndex_, progressPercent_);
        if (!facts.value[0])
            FormatString(facts.value, "%d%%", progressPercent_);
        break;
    case ROLE_SYSTEM_TEXT:
        // The space the game needs and the drive has, which the page shows under the path.
        FormatSpaceLine(facts.description, requiredKb_, freeKb_);
        break;
    default:
        break;
    }
    return true;
}

void fgWin32Dialog::DescribePage(AccessibleFacts& facts) const
{
    // The page's title as painted: the start page's, the custom page's heading, or what the
    // installation is doing.
    switch (viewState_) {
    case VIEW_START:
        FormatString(facts.name, "%s游戏 极速安装", kProductName);
        break;
    case VIEW_CUSTOM:
        CopyString(facts.name, "自定义安装");
        FormatSpaceLine(facts.description, requiredKb_, freeKb_);
        break;
    case VIEW_PROGRESS:
        CopyString(facts.name, statusText_);
        FormatPercentText(facts.description, statusIndex_, progressPercent_);
        break;
    default:
        break;
    }
}
