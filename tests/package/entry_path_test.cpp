// StripRootComponent and the check that keeps every entry a plain file below the installation
// directory.
#include "package/entry_path.h"

#include <gtest/gtest.h>

TEST(EntryPath, StripRootComponentKeepsTheFirstBackslash)
{
    EXPECT_STREQ(StripRootComponent("game\\res\\a.txt"), "\\res\\a.txt");
    EXPECT_STREQ(StripRootComponent("game\\"), "\\");
    EXPECT_STREQ(StripRootComponent("game"), "");
    EXPECT_STREQ(StripRootComponent("game/res/a.txt"), "");  // slashes are no separators here
    EXPECT_STREQ(StripRootComponent("\\\\server\\share"), "\\\\server\\share");
}

TEST(EntryPath, PlainFilesAndFolders)
{
    for (const char* file : {"\\a.txt", "\\res\\sub\\pack.7z", "\\a.7z.txt", "\\.hidden", "\\ a", "\\con1",
                             "\\com10", "\\nul1.txt", "\\console.log", "\\lpt", "\\a..b", "\\\xD6\xD0\xCE\xC4.txt",
                             "\\\x81\\x"})  // a GBK lead byte before a backslash: two components here
        EXPECT_EQ(ClassifyEntryPath(file), EntryTarget::File) << file;
    for (const char* folder : {"", "\\", "\\res\\", "\\res\\sub\\"})
        EXPECT_EQ(ClassifyEntryPath(folder), EntryTarget::Directory) << folder;
}

TEST(EntryPath, RefusesWhatCouldLeaveTheFolderOrIsNoPlainFile)
{
    const char* refused[] = {
        // parents, this folder, and names Windows trims into other names
        "\\..", "\\..\\x", "\\a\\..\\..\\x", "\\.", "\\a\\.\\x", "\\...", "\\x.", "\\x ", "\\a.\\x", "\\a \\x",
        // drives, rooted and UNC names, empty components
        "\\C:\\x", "\\C:x", "\\\\x", "\\\\\\server\\share\\x", "\\a\\\\x", "\\\\",
        // forward slashes are separators to Windows (and here in the native build)
        "\\a/../../x", "\\/x", "\\a/b",
        // alternate data streams
        "\\a.txt:evil", "\\a.txt::$DATA", "\\a:b\\c",
        // devices, with extensions, trailing spaces and in any case
        "\\CON", "\\con", "\\prn.txt", "\\Aux.log.bak", "\\NUL", "\\nul.txt", "\\con .txt", "\\COM1", "\\com9.dat",
        "\\LPT1", "\\lpt0", "\\conin$", "\\CONOUT$.x", "\\sub\\aux\\x", "\\sub\\nul",
        // characters Windows does not take in names
        "\\a*b", "\\a?b", "\\a\"b", "\\a<b", "\\a>b", "\\a|b", "\\a\tb", "\\a\x01"};
    for (const char* path : refused)
        EXPECT_EQ(ClassifyEntryPath(path), EntryTarget::Refused) << path;
}
