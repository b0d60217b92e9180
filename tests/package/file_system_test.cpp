// The file door of the portable code, on the real file system (Wine's under win64), and the
// window's progress sink.
#include "common/file_system.h"
#include "package_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "common/window_progress_sink.h"
#include "install/install_messages.h"
#include <windows.h>
#endif

namespace {

// `dir` followed by package-style (backslash) components.
std::string PackagePath(const ScratchDir& dir, const char* relative) { return dir.path() + "\\" + relative; }

std::string g_debugText;
void RecordDebugOutput(const char* text) { g_debugText += text; }

}  // namespace

TEST(FileSystem, BackslashPathsDirectoriesAttributesAndRemoval)
{
    ScratchDir dir;
    EXPECT_TRUE(CreateOneDirectory(PackagePath(dir, "res").c_str()));
    EXPECT_FALSE(CreateOneDirectory(PackagePath(dir, "res").c_str()));            // exists already
    EXPECT_FALSE(CreateOneDirectory(PackagePath(dir, "a\\b").c_str()));           // one level only
    uint32_t attributes = 0;
    ASSERT_TRUE(GetPathAttributes(PackagePath(dir, "res").c_str(), &attributes));
    EXPECT_TRUE(attributes & kAttributeDirectory);

    const std::string file = PackagePath(dir, "res\\pack.bin");
    {
        UniqueOsFile out(CreateOutputFile(file.c_str(), WriteSharing::Anyone));
        ASSERT_TRUE(out);
        uint32_t written = 0;
        EXPECT_TRUE(WriteToFile(out.get(), "abc", 3, &written));
        EXPECT_EQ(written, 3u);
    }
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir / "res/pack.bin", &bytes));
    EXPECT_EQ(bytes, "abc");

    ASSERT_TRUE(GetPathAttributes(file.c_str(), &attributes));
    EXPECT_FALSE(attributes & (kAttributeReadOnly | kAttributeDirectory));
    ASSERT_TRUE(SetPathAttributes(file.c_str(), attributes | kAttributeReadOnly));
    ASSERT_TRUE(GetPathAttributes(file.c_str(), &attributes));
    EXPECT_TRUE(attributes & kAttributeReadOnly);
    ASSERT_TRUE(SetPathAttributes(file.c_str(), attributes & ~kAttributeReadOnly));
    ASSERT_TRUE(GetPathAttributes(file.c_str(), &attributes));
    EXPECT_FALSE(attributes & kAttributeReadOnly);

    EXPECT_TRUE(RemoveFile(file.c_str()));
    EXPECT_FALSE(FileExists(dir / "res/pack.bin"));
    EXPECT_FALSE(RemoveFile(file.c_str()));
    EXPECT_EQ(OpenInputFile(PackagePath(dir, "res").c_str()), kNoFile);  // a folder is not a file
}

TEST(FileSystem, ReadsSizesAndTheFaultSwitches)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "in.bin", "0123456789"));
    UniqueOsFile in(OpenInputFile((dir / "in.bin").c_str()));
    ASSERT_TRUE(in);
    uint64_t size = 0;
    ASSERT_TRUE(QueryFileSize(in.get(), &size));
    EXPECT_EQ(size, 10u);

    FileFaults faults;
    faults.readChunk = 4;
    faults.readableBytes = 6;
    faults.writableBytes = 2;
    ScopedFileFaults scoped(faults);
    char buffer[16];
    uint32_t got = 0;
    EXPECT_TRUE(ReadFromFile(in.get(), buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 4u);
    EXPECT_TRUE(ReadFromFile(in.get(), buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 2u);
    EXPECT_FALSE(ReadFromFile(in.get(), buffer, sizeof buffer, &got));

    UniqueOsFile out(CreateOutputFile((dir / "out.bin").c_str()));
    uint32_t written = 0;
    EXPECT_TRUE(WriteToFile(out.get(), "abc", 3, &written));
    EXPECT_EQ(written, 2u);  // the "disk" is full
    EXPECT_TRUE(WriteToFile(out.get(), "abc", 3, &written));
    EXPECT_EQ(written, 0u);
}

TEST(FileSystem, DebugOutputGoesToTheHook)
{
    g_debugText.clear();
    EXPECT_EQ(SetDebugOutputHook(RecordDebugOutput), nullptr);
    WriteDebugOutput("line\n");
    EXPECT_EQ(SetDebugOutputHook(nullptr), RecordDebugOutput);
    WriteDebugOutput("not recorded\n");
    EXPECT_EQ(g_debugText, "line\n");
}

#ifdef _WIN32
TEST(WindowProgressSink, PostsInstallProgressToTheWindow)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    WindowProgressSink sink(window);
    sink.Post(37);
    sink.Pause(1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 37);
    DestroyWindow(window);
}
#endif
