#include "common/unique_file.h"
#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <vector>

#ifdef _WIN32
#include "common/win_handles.h"
#endif

namespace {

std::vector<int> g_closed;

struct CountingTraits {
    using Type = int;
    static Type Invalid() noexcept { return -1; }
    static void Close(Type v) noexcept { g_closed.push_back(v); }
};
using Owned = UniqueResource<CountingTraits>;

}  // namespace

TEST(UniqueResource, ClosesExactlyOnceOnEveryPath)
{
    g_closed.clear();
    {
        Owned a(3);
        Owned b(std::move(a));  // ownership moves; a must not close
        EXPECT_FALSE(a.valid());
        Owned c;
        c = std::move(b);
        Owned& alias = c;
        c = std::move(alias);  // self-move keeps the handle
        EXPECT_EQ(c.get(), 3);
        c.reset(4);  // closes 3
        int released = Owned(5).release();  // released: nobody closes 5
        EXPECT_EQ(released, 5);
        *c.put() = 6;  // put closes 4 first
    }  // closes 6
    EXPECT_EQ(g_closed, (std::vector<int>{3, 4, 6}));
}

TEST(UniqueResource, InvalidValueIsNeverClosed)
{
    g_closed.clear();
    { Owned none; none.reset(); }
    EXPECT_TRUE(g_closed.empty());
}

TEST(UniqueResource, StdioFileIsClosed)
{
    UniqueStdioFile f(tmpfile());
    ASSERT_TRUE(f);
    EXPECT_EQ(fputs("x", f.get()) >= 0, true);
    f.reset();
    EXPECT_FALSE(f);
}

#ifdef _WIN32
TEST(WinHandles, KernelHandleIsClosedByTheOwner)
{
    HANDLE raw;
    {
        UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.get();
        DWORD flags;
        EXPECT_TRUE(GetHandleInformation(raw, &flags));
    }
    DWORD flags;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(WinHandles, FileHandleTreatsInvalidHandleValueAsNone)
{
    UniqueFileHandle file(CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);
}

TEST(WinHandles, SelectionIsRestored)
{
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
    UniqueFont font(CreateFontA(12, 6, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 2, 49, "宋体"));
    ASSERT_TRUE(font);
    {
        ScopedSelectObject select(dc.get(), font.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
}
#endif
