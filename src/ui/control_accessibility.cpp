#include "ui/control_accessibility.h"

#include "ui/control_ids.h"

namespace {

// Links take the player somewhere (the agreement, another page); buttons act.
const ControlAccessibility kControls[] = {
    {IDC_INSTALL, ROLE_SYSTEM_PUSHBUTTON, "立即安装"},
    {IDC_AGREE_CHECK, ROLE_SYSTEM_CHECKBUTTON, nullptr},
    {IDC_AGREEMENT, ROLE_SYSTEM_LINK, "用户协议"},
    {IDC_CUSTOM_INSTALL, ROLE_SYSTEM_LINK, "自定义安装"},
    {IDC_MINIMIZE, ROLE_SYSTEM_PUSHBUTTON, "最小化"},
    {IDC_CLOSE, ROLE_SYSTEM_PUSHBUTTON, "关闭"},
    {IDC_PATH_EDIT, ROLE_SYSTEM_TEXT, "安装路径"},
    {IDC_BROWSE, ROLE_SYSTEM_PUSHBUTTON, "浏览"},
    {IDC_DEFAULT_PATH, ROLE_SYSTEM_PUSHBUTTON, "恢复默认"},
    {IDC_BACK, ROLE_SYSTEM_LINK, "返回"},
    {IDC_CANCEL_INSTALL, ROLE_SYSTEM_PUSHBUTTON, "取消安装"},
    {IDC_PROGRESS, ROLE_SYSTEM_PROGRESSBAR, nullptr},
};

}  // namespace

const ControlAccessibility* FindControlAccessibility(int id)
{
    for (const ControlAccessibility& entry : kControls) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}
