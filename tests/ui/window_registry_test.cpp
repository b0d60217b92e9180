#include "ui/win32_dialog.h"
#include "ui/window_registry.h"

#include <gtest/gtest.h>

namespace {
HWND Handle(uintptr_t value) { return reinterpret_cast<HWND>(value); }
}  // namespace

TEST(WindowRegistry, MapsHandlesToObjectsAndIsRecreatedAfterDiscard)
{
    fgWin32Dialog first(nullptr), second(nullptr);
    WindowRegistry::Discard();
    EXPECT_FALSE(WindowRegistry::Exists());
    EXPECT_EQ(WindowRegistry::Find(Handle(0x10)), nullptr);  // a lookup creates it empty
    EXPECT_TRUE(WindowRegistry::Exists());

    WindowRegistry::Insert(Handle(0x10), &first);
    WindowRegistry::Insert(Handle(0x20), nullptr);  // never inserted
    EXPECT_EQ(WindowRegistry::Find(Handle(0x10)), &first);
    EXPECT_EQ(WindowRegistry::Find(Handle(0x20)), nullptr);
    WindowRegistry::Insert(Handle(0x10), &second);  // insert or assign
    EXPECT_EQ(WindowRegistry::Find(Handle(0x10)), &second);
    WindowRegistry::Insert(Handle(0x10), nullptr);  // does not erase either
    EXPECT_EQ(WindowRegistry::Find(Handle(0x10)), &second);
#ifdef _WIN64
    // Handles are compared as unsigned 32-bit values.
    EXPECT_EQ(WindowRegistry::Find(Handle(0x100000010ull)), &second);
#endif
    WindowRegistry::Erase(Handle(0x10));
    EXPECT_EQ(WindowRegistry::Find(Handle(0x10)), nullptr);

    WindowRegistry::Insert(Handle(0x30), &first);
    WindowRegistry::Discard();
    EXPECT_FALSE(WindowRegistry::Exists());
    EXPECT_EQ(WindowRegistry::Find(Handle(0x30)), nullptr);
}
