#pragma once
// How each control of the installer window presents itself to a screen reader: its role, and the
// name of what its image shows (the skinned buttons carry no text of their own).
#include <oleacc.h>

struct ControlAccessibility {
    int id;
    long role;         // ROLE_SYSTEM_*
    const char* name;  // nullptr: the window's current text for it (check box label, status)
};

// The entry of control `id`, or nullptr for an id that is no control of the window.
const ControlAccessibility* FindControlAccessibility(int id);
