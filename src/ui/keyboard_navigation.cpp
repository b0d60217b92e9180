#include "ui/keyboard_navigation.h"

#include "ui/control_ids.h"

FocusOrder PageFocusOrder(int viewState)
{
    switch (viewState) {
    case VIEW_START:
        return {{IDC_INSTALL, IDC_AGREE_CHECK, IDC_AGREEMENT, IDC_CUSTOM_INSTALL, IDC_MINIMIZE, IDC_CLOSE}, 6};
    case VIEW_CUSTOM:
        return {{IDC_PATH_EDIT, IDC_BROWSE, IDC_INSTALL, IDC_DEFAULT_PATH, IDC_BACK, IDC_MINIMIZE, IDC_CLOSE}, 7};
    case VIEW_PROGRESS:
        return {{IDC_CANCEL_INSTALL, IDC_MINIMIZE, IDC_CLOSE}, 3};
    default:
        return {{IDC_MINIMIZE, IDC_CLOSE}, 2};
    }
}

int NextInFocusOrder(const FocusOrder& order, const bool usable[], int currentId, bool backwards)
{
    int position = -1;
    for (int i = 0; i < order.count; ++i) {
        if (order.ids[i] == currentId)
            position = i;
    }
    const int step = backwards ? order.count - 1 : 1;
    if (position < 0)
        position = backwards ? 0 : order.count - 1;  // so that the first step lands on an end
    for (int tried = 0; tried < order.count; ++tried) {
        position = (position + step) % order.count;
        if (usable[position])
            return order.ids[position];
    }
    return 0;
}

int PageDefaultButton(int viewState)
{
    return viewState == VIEW_START || viewState == VIEW_CUSTOM ? IDC_INSTALL : 0;
}

DialogKey ClassifyDialogKey(UINT message, WPARAM key, LPARAM flags, bool shift, FocusKind focused)
{
    const bool repeated = (flags & (1L << 30)) != 0;  // the key was already down
    if (message == WM_SYSKEYDOWN) {
        const bool alt = (flags & (1L << 29)) != 0;
        return key == VK_F4 && alt && !repeated ? DialogKey::Close : DialogKey::None;
    }
    if (message != WM_KEYDOWN)
        return DialogKey::None;
    if (key == VK_TAB)
        return shift ? DialogKey::Previous : DialogKey::Next;
    if (repeated)
        return DialogKey::None;
    switch (key) {
    case VK_RETURN:
        return focused == FocusKind::Button ? DialogKey::PressFocused : DialogKey::PressDefault;
    case VK_SPACE:
        return focused == FocusKind::Button ? DialogKey::PressFocused : DialogKey::None;
    case VK_ESCAPE:
        return DialogKey::Close;
    default:
        return DialogKey::None;
    }
}

bool FocusCuesFromStart()
{
    BOOL cues = FALSE;
    return SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &cues, 0) && cues;
}
