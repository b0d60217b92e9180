// The configuration and the update list as the installer reads them, from their bytes in memory
// (ProfileText), and the uninstall file through the platform's real profile functions.
#include "install/config_files.h"

#include "common/fixed_string.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <iterator>
#include <string>
#include <vector>

namespace {

class ConfigFilesTest : public testing::Test {
protected:
    // A fetched file holding `text` (GBK; "\n" becomes "\r\n").
    const ProfileText& File(const std::string& text)
    {
        std::string crlf;
        for (char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        files_.emplace_back();
        EXPECT_TRUE(files_.back().Assign(crlf.data(), crlf.size()));
        return files_.back();
    }

    ScratchDir dir{"install"};
    InstallJob job;
    std::deque<ProfileText> files_;
};

}  // namespace

TEST_F(ConfigFilesTest, SetupIsReadInFullOnlyWhenTheSizeIsAccepted)
{
    ASSERT_TRUE(ReadSetupSection(File("[setup]\ngamename=维罗拉\nexefilename=bin\\游戏.exe\nProductTitle=维罗拉 客户端\n"
                                      "size=16\nurlAgreement=http://x/a\nuninstname=卸载.exe\nPublisher=工作室\nContact=客服\n")
                                     , job));
    EXPECT_EQ(std::string(job.gameName) + "|" + job.exeFileName + "|" + job.productTitle + "|" + job.agreementUrl + "|" +
                  job.uninstallerName + "|" + job.publisher + "|" + job.contact,
              "维罗拉|bin\\游戏.exe|维罗拉 客户端|http://x/a|卸载.exe|工作室|客服");
    EXPECT_EQ(job.requiredKb, 16 * 1024);

    // Missing, negative or empty sizes reject the file; what was read before the size stays.
    for (const char* size : {"", "size=-1\n", "size=\n"}) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(ReadSetupSection(File(std::string("[SETUP]\nGameName=甲\n") + size + "Contact=乙\n"), job));
        EXPECT_STREQ(job.gameName, "甲");
        EXPECT_STREQ(job.contact, "客服");
        EXPECT_EQ(job.requiredKb, 16 * 1024);
    }
    EXPECT_TRUE(ReadSetupSection(File("[setup]\nsize=0\n"), job));
    EXPECT_EQ(job.requiredKb, 0);
    EXPECT_STREQ(job.contact, "");
}

TEST_F(ConfigFilesTest, LongValuesAreCutToTheirBuffers)
{
    const std::string longName(300, 'g'), longUrl = "http://x/" + std::string(1200, 'u');
    const ProfileText& config = File("[setup]\ngamename=" + longName + "\nsize=1\n[config]\n1.0=" + longUrl + "\n");
    ASSERT_TRUE(ReadSetupSection(config, job));
    EXPECT_EQ(std::string(job.gameName), longName.substr(0, 259));
    char url[kConfigValueSize];
    ASSERT_TRUE(ReadUpdateListUrl(config, url));
    EXPECT_EQ(std::string(url), longUrl.substr(0, 998));
}

TEST_F(ConfigFilesTest, UpdateListUrlFallsBackToOther)
{
    char url[kConfigValueSize];
    ASSERT_TRUE(ReadUpdateListUrl(File("[config]\nother=http://o/\n1.0=http://v/\n"), url));
    EXPECT_STREQ(url, "http://v/");
    ASSERT_TRUE(ReadUpdateListUrl(File("[config]\n1.0=\nother=http://o/\n"), url));
    EXPECT_STREQ(url, "http://o/");
    EXPECT_FALSE(ReadUpdateListUrl(File("[config]\n1.0=\n[other]\nother=http://o/\n"), url));
    EXPECT_STREQ(url, "");
}

TEST_F(ConfigFilesTest, UpdateListStepsAndTheirChecks)
{
    // Only [list0] counts: a list with [list1] alone has no action.
    EXPECT_EQ(ReadListAction(File("[list1]\naction=3\nsrcfile=http://s/p\ndestfile=p\ncmd=DEC\n")), ACTION_MISSING);
    EXPECT_STREQ(CheckListStep(ACTION_MISSING, UpdateListFiles()), "解析更新列表文件错误.");
    EXPECT_EQ(ReadListAction(File("[list0]\naction=0\n")), 0);

    const ProfileText& list = File("[list0]\naction=3\nsrcfile=http://s/包.dat\ndestfile=\\包.dat\ncmd=DEC\n[list1]\ncmd=x\n");
    UpdateListFiles files;
    ReadListFiles(list, files);
    EXPECT_EQ(ReadListAction(list), ACTION_COMMAND | ACTION_DOWNLOAD);
    EXPECT_EQ(std::string(files.srcFile) + "|" + files.destFile + "|" + files.cmd, "http://s/包.dat|\\包.dat|DEC");
    EXPECT_EQ(CheckListStep(3, files), nullptr);

    UpdateListFiles noDest;
    ReadListFiles(File("[list0]\naction=2\nsrcfile=http://s/p\ndestfile=\n"), noDest);
    EXPECT_STREQ(CheckListStep(2, noDest), "解析更新列表文件错误,动作为下载文件但文件路径为空.");
    EXPECT_STREQ(CheckListStep(1, noDest), "解析更新列表文件错误,动作有命令但命令为空.");
    EXPECT_EQ(CheckListStep(4, noDest), nullptr);  // neither bit: nothing to do, no error
}

// The bytes in memory read as the profile functions read the same bytes from a file.
TEST_F(ConfigFilesTest, FetchedBytesReadAsTheProfileFunctionsReadThem)
{
    const char* const texts[] = {
        "[setup]\r\ngamename = 游戏 \r\nsize = 12abc\r\n",
        "[ setup ]\r\ngamename=spaced section\r\nsize=3\r\n",
        "[SeTuP]\r\nGAMENAME=case\r\nSIZE=+7\r\n",
        "gamename=before any section\r\n[setup]\r\ngamename=x\r\n",
        "[setup]\r\ngamename=first\r\ngamename=second\r\nsize=-3\r\n",
        "[setup]\r\ngamename=a\r\n[setup]\r\ngamename=b\r\nsize=5\r\n",
        "[setup]\r\ngamename=\"quoted\"\r\nsize=\"4\"\r\n",
        "[setup]\r\ngamename='x'\r\nsize=abc\r\n",
        "[setup]\r\ngamename=\"unbalanced\r\nsize=\r\n",
        "[setup]\r\ngamename=\"\r\n",
        "[setup]\r\n;gamename=comment\r\ngamename=real\r\n",
        "[setup]\r\ngamename\r\ngamename=x\r\nsize\r\nsize=2\r\n",
        "[setup] trailing\r\ngamename=x\r\n",
        "[setup\r\ngamename=x\r\n",
        "[a]b]\r\ngamename=x\r\n[setup]]\r\ngamename=y\r\n",
        "\t[setup]\t\n\tgamename\t=\tx y\t\x1A\nsize=\t9",
        "\xEF\xBB\xBF[setup]\ngamename=after a byte-order mark\n",
        "[setup]\r\ngamename=\r\n",
    };
    const std::string longValue = "[setup]\r\ngamename=" + std::string(300, 'g') + "\r\n";
    std::vector<std::string> cases(std::begin(texts), std::end(texts));
    cases.push_back(longValue);
    int count = 0;
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const std::string path = dir / ("p" + std::to_string(++count) + ".ini");
        ASSERT_TRUE(WriteFileBytes(path, text));
        ProfileText fetched;
        ASSERT_TRUE(fetched.Assign(text.data(), text.size()));
        char expected[kPathSize], value[kPathSize];
        GetPrivateProfileStringA("setup", "gamename", "(none)", expected, sizeof expected, path.c_str());
        fetched.ReadString("setup", "gamename", "(none)", value, sizeof value);
        EXPECT_STREQ(value, expected);
        EXPECT_EQ(fetched.ReadInt("setup", "size", -1), static_cast<int>(GetPrivateProfileIntA("setup", "size", -1, path.c_str())));
    }
}

TEST_F(ConfigFilesTest, UninstallFileKeepsItsKeyOrder)
{
    CopyString(job.installDir, (dir.path() + "\\游戏\\").c_str());
    CopyString(job.gameName, "维罗拉");
    CopyString(job.exeFileName, "a.b.exe");  // the shortcuts' name: cut before the last "."
    CopyString(job.productTitle, "维罗拉 客户端");
    ASSERT_TRUE(CreateDirectoryA(job.installDir, nullptr));
    ASSERT_TRUE(CreateDirectoryA((std::string(job.installDir) + "uninstall").c_str(), nullptr));
    ASSERT_TRUE(WriteUninstallFile(job));
    std::string text;
    ASSERT_TRUE(ReadFileBytes(std::string(job.installDir) + "uninstall\\uninstall.ini", &text));
    EXPECT_EQ(text, "[config]\r\nsetupdir=" + std::string(job.installDir) +
                        "\r\ngamename=维罗拉\r\nshortcutname=a.b\r\nProductTitle=维罗拉 客户端\r\n");

    CopyString(job.installDir, (std::string(240, 'd') + "\\").c_str());
    EXPECT_FALSE(WriteUninstallFile(job));  // the path would not fit: nothing is written
}
