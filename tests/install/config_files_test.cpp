// The profile files through the platform's real profile functions, on files in a scratch folder.
#include "install/config_files.h"

#include "common/fixed_string.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class ConfigFilesTest : public testing::Test {
protected:
    // A new file with `text` (GBK; "\n" becomes "\r\n"); returns its full path.
    std::string File(const std::string& text)
    {
        std::string path = dir / ("f" + std::to_string(++count_) + ".ini"), crlf;
        for (char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_TRUE(WriteFileBytes(path, crlf));
        return path;
    }

    ScratchDir dir{"install"};
    InstallJob job;
    int count_ = 0;
};

}  // namespace

TEST_F(ConfigFilesTest, SetupIsReadInFullOnlyWhenTheSizeIsAccepted)
{
    ASSERT_TRUE(ReadSetupSection(File("[setup]\ngamename=维罗拉\nexefilename=bin\\游戏.exe\nProductTitle=维罗拉 客户端\n"
                                      "size=16\nurlAgreement=http://x/a\nuninstname=卸载.exe\nPublisher=工作室\nContact=客服\n")
                                     .c_str(), job));
    EXPECT_EQ(std::string(job.gameName) + "|" + job.exeFileName + "|" + job.productTitle + "|" + job.agreementUrl + "|" +
                  job.uninstallerName + "|" + job.publisher + "|" + job.contact,
              "维罗拉|bin\\游戏.exe|维罗拉 客户端|http://x/a|卸载.exe|工作室|客服");
    EXPECT_EQ(job.requiredKb, 16 * 1024);

    // Missing, negative or empty sizes reject the file; what was read before the size stays.
    for (const char* size : {"", "size=-1\n", "size=\n"}) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(ReadSetupSection(File(std::string("[SETUP]\nGameName=甲\n") + size + "Contact=乙\n").c_str(), job));
        EXPECT_STREQ(job.gameName, "甲");
        EXPECT_STREQ(job.contact, "客服");
        EXPECT_EQ(job.requiredKb, 16 * 1024);
    }
    EXPECT_TRUE(ReadSetupSection(File("[setup]\nsize=0\n").c_str(), job));
    EXPECT_EQ(job.requiredKb, 0);
    EXPECT_STREQ(job.contact, "");
}

TEST_F(ConfigFilesTest, LongValuesAreCutToTheirBuffers)
{
    const std::string longName(300, 'g'), longUrl = "http://x/" + std::string(1200, 'u');
    const std::string path = File("[setup]\ngamename=" + longName + "\nsize=1\n[config]\n1.0=" + longUrl + "\n");
    ASSERT_TRUE(ReadSetupSection(path.c_str(), job));
    EXPECT_EQ(std::string(job.gameName), longName.substr(0, 259));
    char url[kConfigValueSize];
    ASSERT_TRUE(ReadUpdateListUrl(path.c_str(), url));
    EXPECT_EQ(std::string(url), longUrl.substr(0, 998));
}

TEST_F(ConfigFilesTest, UpdateListUrlFallsBackToOther)
{
    char url[kConfigValueSize];
    ASSERT_TRUE(ReadUpdateListUrl(File("[config]\nother=http://o/\n1.0=http://v/\n").c_str(), url));
    EXPECT_STREQ(url, "http://v/");
    ASSERT_TRUE(ReadUpdateListUrl(File("[config]\n1.0=\nother=http://o/\n").c_str(), url));
    EXPECT_STREQ(url, "http://o/");
    EXPECT_FALSE(ReadUpdateListUrl(File("[config]\n1.0=\n[other]\nother=http://o/\n").c_str(), url));
    EXPECT_STREQ(url, "");
}

TEST_F(ConfigFilesTest, UpdateListStepsAndTheirChecks)
{
    // Only [list0] counts: a list with [list1] alone has no action.
    EXPECT_EQ(ReadListAction(File("[list1]\naction=3\nsrcfile=http://s/p\ndestfile=p\ncmd=DEC\n").c_str()), ACTION_MISSING);
    EXPECT_STREQ(CheckListStep(ACTION_MISSING, UpdateListFiles()), "解析更新列表文件错误.");
    EXPECT_EQ(ReadListAction(File("[list0]\naction=0\n").c_str()), 0);

    const std::string list = File("[list0]\naction=3\nsrcfile=http://s/包.dat\ndestfile=\\包.dat\ncmd=DEC\n[list1]\ncmd=x\n");
    UpdateListFiles files;
    ReadListFiles(list.c_str(), files);
    EXPECT_EQ(ReadListAction(list.c_str()), ACTION_COMMAND | ACTION_DOWNLOAD);
    EXPECT_EQ(std::string(files.srcFile) + "|" + files.destFile + "|" + files.cmd, "http://s/包.dat|\\包.dat|DEC");
    EXPECT_EQ(CheckListStep(3, files), nullptr);

    UpdateListFiles noDest;
    ReadListFiles(File("[list0]\naction=2\nsrcfile=http://s/p\ndestfile=\n").c_str(), noDest);
    EXPECT_STREQ(CheckListStep(2, noDest), "解析更新列表文件错误,动作为下载文件但文件路径为空.");
    EXPECT_STREQ(CheckListStep(1, noDest), "解析更新列表文件错误,动作有命令但命令为空.");
    EXPECT_EQ(CheckListStep(4, noDest), nullptr);  // neither bit: nothing to do, no error
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
