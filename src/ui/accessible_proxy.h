#pragma once
// What a screen reader learns of the installer window's controls. The skinned buttons are
// owner-drawn buttons without text, the labels and titles are painted by the window: the system's
// own accessible objects of these windows know neither names nor the right roles. So WM_GETOBJECT
// is answered with the system's standard object (oleacc's CreateStdAccessibleObject) wrapped in a
// small proxy that asks its window's owner for name, role, state, value, description and default
// action, and leaves everything else (position, focus, navigation, children) to the standard
// object. The owner is asked anew on every question, so the answers are always current.
//
// oleacc is no KnownDLL: it is loaded by full path from the system directory on the first
// WM_GETOBJECT (common/system_library.h), so a player without a screen reader never loads it.
#include <windows.h>

#include <cstddef>

// What the owner tells beyond the standard object. Texts are the window's own (ANSI, GBK); an
// empty or zero field leaves the standard object's answer.
struct AccessibleFacts {
    long role = 0;                        // ROLE_SYSTEM_*
    long addedState = 0;                  // STATE_SYSTEM_* added to the standard object's
    char name[264] = {};
    char value[264] = {};
    char description[264] = {};
    const char* defaultAction = nullptr;  // what accDoDefaultAction does, as a reader says it
    bool clickable = false;               // accDoDefaultAction clicks the control (BM_CLICK)
};

// Fills `facts` for `window`; false when the window is no longer known (it is gone): the proxy then
// answers that its object is disconnected.
using AccessibleFactsSource = bool (*)(HWND window, AccessibleFacts& facts);

// Answers WM_GETOBJECT (`wParam`, `lParam` as received) for `window`: for the client object the
// proxy, marshalled by LresultFromObject; 0 for any other object, and when oleacc or COM cannot be
// had, so that the caller passes the message on (the system then serves its standard object).
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, AccessibleFactsSource source);
