#pragma once
// The rules of the installer window's keyboard: which controls Tab visits on each page and in what
// order, which button Enter presses when the focus is on no button, and what a key means. The
// window applies them (main_window_keys.cpp); here they are plain decisions.
#include <windows.h>

// The controls of a page in the order Tab visits them (Shift+Tab the other way round). Hidden and
// disabled ones are skipped when the focus moves.
struct FocusOrder {
    int ids[8];
    int count;
};
FocusOrder PageFocusOrder(int viewState);

// The control after `currentId` in `order` (before it with `backwards`), round the end, skipping
// those whose entry in `usable` (parallel to order.ids) is false. A `currentId` outside the order
// gives the first usable control (the last, backwards); no usable control gives 0.
int NextInFocusOrder(const FocusOrder& order, const bool usable[], int currentId, bool backwards);

// The button that Enter presses while the focus is on no button: install on the start and
// custom-install pages; none (0) on the progress page, where Enter must not cancel by accident.
int PageDefaultButton(int viewState);

// What has the keyboard focus, as far as keys are concerned.
enum class FocusKind {
    None,
    Button,    // a skinned button: Enter and Space press it
    CheckBox,  // Space toggles it (its own handling); Enter goes to the default button
    Edit,      // keeps its own editing keys; Enter goes to the default button
};

enum class DialogKey {
    None,          // not the window's: the focused control handles the key
    Next,          // Tab
    Previous,      // Shift+Tab
    PressFocused,  // Enter or Space on a button
    PressDefault,  // Enter elsewhere
    Close,         // Esc, Alt+F4
};

// The meaning of a key message (`message`, `key` = wParam, `flags` = lParam) with `shift` held or
// not, when the focus is on a control of `focused`. A key held down presses once: the repeats of
// Enter, Space, Esc and Alt+F4 mean nothing (those of Tab keep moving).
DialogKey ClassifyDialogKey(UINT message, WPARAM key, LPARAM flags, bool shift, FocusKind focused);

// Whether the window marks the keyboard focus from the start: only when the player has asked the
// system always to show keyboard cues (SPI_GETKEYBOARDCUES); otherwise from the first Tab, as in
// the system's dialogs, so that a player using the mouse sees the skin undisturbed.
bool FocusCuesFromStart();
