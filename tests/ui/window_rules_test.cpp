// The rules behind the installer window's texts and paths.
#include "common/fixed_string.h"
#include "ui/install_path.h"
#include "ui/page_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string SpaceLine(int32_t requiredKb, int32_t freeKb)
{
    char line[kPathSize];
    FormatSpaceLine(line, requiredKb, freeKb);
    return line;
}

std::string Percent(int status, int percent)
{
    char text[32];
    FormatPercentText(text, status, percent);
    return text;
}

std::string Composed(const std::string& candidate, const char* gameName, const char* before = "unchanged")
{
    char chosen[kPathSize];
    CopyString(chosen, before);
    ComposeInstallPath(candidate.c_str(), gameName, chosen);
    return chosen;
}

}  // namespace

TEST(WindowRules, SpaceLineShowsWholeGigabytesMegabytesOrKilobytes)
{
    EXPECT_EQ(SpaceLine(16773, 0), "所需空间：16MB(可用空间：0KB)");
    EXPECT_EQ(SpaceLine(1023, 1048576), "所需空间：1023KB(可用空间：1GB)");
    EXPECT_EQ(SpaceLine(1024, 1048575), "所需空间：1MB(可用空间：1023MB)");
    // Games of 2, 4 and 5 GiB (size=2048, 4096, 5120 MiB).
    EXPECT_EQ(SpaceLine(2048 << 10, 4096 << 10), "所需空间：2GB(可用空间：4GB)");
    EXPECT_EQ(SpaceLine(5120 << 10, 5119 << 10), "所需空间：5GB(可用空间：4GB)");
    // A drive with 2 TiB or more free is reported as INT32_MAX KiB: shown as 2047GB.
    EXPECT_EQ(SpaceLine(0, INT32_MAX), "所需空间：0KB(可用空间：2047GB)");
}

TEST(WindowRules, PercentageTakesTheFormOfTheStatus)
{
    EXPECT_EQ(Percent(0, 50), "");
    EXPECT_EQ(Percent(1, 50), "");
    EXPECT_EQ(Percent(2, 0), "已下载0%");
    EXPECT_EQ(Percent(4, 37), "已下载37%");
    EXPECT_EQ(Percent(5, 1), "已安装1%");
    EXPECT_EQ(Percent(6, 100), "已安装100%");
    EXPECT_EQ(Percent(7, 100), "已安装100%");
    EXPECT_EQ(Percent(8, 40), "已下载40%");  // reconnecting: the download's percentage stays
    EXPECT_EQ(Percent(9, 100), "");

    EXPECT_STREQ(StatusText(0), "错误，请重新下载");
    EXPECT_STREQ(StatusText(1), "");
    EXPECT_STREQ(StatusText(2), "正在读取配置文件");
    EXPECT_STREQ(StatusText(7), "安装完成");
    EXPECT_STREQ(StatusText(8), "正在重新连接");
    EXPECT_EQ(StatusText(9), nullptr);
    EXPECT_EQ(StatusText(-1), nullptr);
}

TEST(WindowRules, PathOptionIsTheRestOfTheCommandLineUnchanged)
{
    EXPECT_STREQ(FindPathOption("setup.exe -path D:\\Games\\x"), "D:\\Games\\x");
    EXPECT_STREQ(FindPathOption("setup.exe -path \"D:\\My Games\\\" "), "\"D:\\My Games\\\" ");
    EXPECT_STREQ(FindPathOption("安装程序.exe -path D:\\游戏\\"), "D:\\游戏\\");
    EXPECT_STREQ(FindPathOption("setup.exe -path -path x"), "-path x");
    EXPECT_EQ(FindPathOption("setup.exe -pathD:\\Games"), nullptr);
    EXPECT_EQ(FindPathOption("setup.exe -path"), nullptr);

    char value[kPathSize] = {};
    EXPECT_EQ(TakePathOption("setup.exe", value), PathOption::Absent);
    const std::string longest(259, 'x');
    EXPECT_EQ(TakePathOption(("a -path " + longest).c_str(), value), PathOption::Taken);
    EXPECT_EQ(value, longest);
    EXPECT_EQ(TakePathOption(("a -path " + longest + "x").c_str(), value), PathOption::TooLong);
    // The option with nothing after it names no folder: the window opens as usual.
    EXPECT_EQ(TakePathOption("setup.exe -path ", value), PathOption::Empty);
}

TEST(WindowRules, DefaultPathIsProgramFilesOnTheSystemDrive)
{
    char path[kPathSize];
    ASSERT_TRUE(FormatDefaultPath(path, "D:\\Windows\\system32", "Chess"));
    EXPECT_STREQ(path, "D:\\Program Files\\Chess\\");
    // "C:\" + "Program Files\" + name + "\" fits 259 characters up to a name of 241.
    ASSERT_TRUE(FormatDefaultPath(path, "C:\\Windows\\system32", std::string(241, 'n').c_str()));
    EXPECT_EQ(strlen(path), 259u);
    EXPECT_FALSE(FormatDefaultPath(path, "C:\\Windows\\system32", std::string(242, 'n').c_str()));
    EXPECT_STREQ(path, "");
}

TEST(WindowRules, ForbiddenPathCharactersNameNoFolder)
{
    for (const char* fine : {"C:\\Games\\", "D:/My Games/x.y", "C:", "安装\\游戏", "C:\\\x81|\\"})
        EXPECT_FALSE(HasForbiddenPathCharacter(fine)) << fine;
    for (const char* bad : {"C:\\Games\t", "C:\\Ga*mes", "C:\\Games?", "C:\\a<b", "C:\\a>b", "C:\\a|b",
                            "C:\\\"Games\"", "C:\\a:b", ":C\\", "C:\\\x1f"})
        EXPECT_TRUE(HasForbiddenPathCharacter(bad)) << bad;
}

TEST(WindowRules, ComposedPathEndsWithTheGameFolderOnce)
{
    EXPECT_EQ(Composed("D:\\Games\\", "Chess"), "D:\\Games\\Chess\\");
    EXPECT_EQ(Composed("D:\\Games\\Chess\\", "Chess"), "D:\\Games\\Chess\\");
    EXPECT_EQ(Composed("D:/Games/Chess/", "Chess"), "D:/Games/Chess/");
    // The name is matched at the end only, whatever stands before it.
    EXPECT_EQ(Composed("D:\\MyChess\\", "Chess"), "D:\\MyChess\\");

    // name + candidate + 1 must stay below 259; the candidate alone below 259.
    const std::string fits = "D:\\" + std::string(250, 'a') + "\\";  // 254 characters
    EXPECT_EQ(Composed(fits, "abc"), fits + "abc\\");
    EXPECT_EQ(Composed(fits, "abcd"), "unchanged");
    const std::string full = "D:\\" + std::string(254, 'a') + "\\Chess\\";  // 264 characters
    EXPECT_EQ(Composed(full, "Chess"), "unchanged");
}
