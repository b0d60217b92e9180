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
    // Writes `text` (GBK, "\n" line ends) to a new file of the scratch folder; returns its path.
    std::string File(const std::string& text)
    {
        std::string path = dir / ("f" + std::to_string(++count_) + ".ini");
        std::string crlf;
        for (char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_TRUE(WriteFileBytes(path, crlf));
        return path;
    }

    ScratchDir dir{"install"};
    InstallJob job;

private:
    int count_ = 0;
};

}  // namespace

TEST_F(ConfigFilesTest, AcceptedSetupFillsTheJob)
{
    const std::string path = File("[setup]\ngamename=维罗拉\nexefilename=bin\\游戏.exe\nProductTitle=维罗拉 客户端\n"
                                  "size=16\nurlAgreement=http://x/a.html\nuninstname=卸载.exe\nPublisher=工作室\n"
                                  "Contact=客服 QQ 123\n");
    ASSERT_TRUE(ReadSetupSection(path.c_str(), job));
    EXPECT_STREQ(job.gameName, "维罗拉");
    EXPECT_STREQ(job.exeFileName, "bin\\游戏.exe");
    EXPECT_STREQ(job.productTitle, "维罗拉 客户端");
    EXPECT_EQ(job.requiredKb, 16 * 1024);
    EXPECT_STREQ(job.agreementUrl, "http://x/a.html");
    EXPECT_STREQ(job.uninstallerName, "卸载.exe");
    EXPECT_STREQ(job.publisher, "工作室");
    EXPECT_STREQ(job.contact, "客服 QQ 123");

    ASSERT_TRUE(ReadSetupSection(File("[setup]\nsize=0\n").c_str(), job));
    EXPECT_EQ(job.requiredKb, 0);
    EXPECT_STREQ(job.gameName, "");
}

TEST_F(ConfigFilesTest, SizeMissingOrNegativeRejectsTheFile)
{
    job.requiredKb = 7;
    CopyString(job.agreementUrl, "kept");
    for (const char* size : {"", "size=-1\n", "size=\n"}) {
        SCOPED_TRACE(size);
        const std::string path = File(std::string("[SETUP]\nGameName=甲\n") + size + "urlAgreement=new\n");
        EXPECT_FALSE(ReadSetupSection(path.c_str(), job));
        EXPECT_STREQ(job.gameName, "甲");  // read before the size; stays
        EXPECT_STREQ(job.agreementUrl, "kept");
        EXPECT_EQ(job.requiredKb, 7);
    }
}

TEST_F(ConfigFilesTest, LongValuesAreCutToTheirBuffers)
{
    const std::string longName(300, 'g');
    const std::string longUrl = "http://x/" + std::string(1200, 'u');
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
    EXPECT_EQ(ReadListAction(File("[list1]\naction=3\nsrcfile=http://s/p\ndestfile=p\ncmd=DEC\n").c_str()),
              ACTION_MISSING);
    EXPECT_STREQ(CheckListStep(ACTION_MISSING, UpdateListFiles()), "解析更新列表文件错误.");
    EXPECT_EQ(ReadListAction(File("[list0]\naction=0\n").c_str()), 0);

    const std::string list = File("[list0]\naction=3\nsrcfile=http://s/包.dat\ndestfile=\\包.dat\ncmd=DEC\n"
                                  "[list1]\naction=1\ncmd=other\n");
    EXPECT_EQ(ReadListAction(list.c_str()), ACTION_COMMAND | ACTION_DOWNLOAD);
    UpdateListFiles files;
    ReadListFiles(list.c_str(), files);
    EXPECT_STREQ(files.srcFile, "http://s/包.dat");
    EXPECT_STREQ(files.destFile, "\\包.dat");
    EXPECT_STREQ(files.cmd, kCommandExtract);
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
    CopyString(job.exeFileName, "a.b.exe");
    CopyString(job.productTitle, "维罗拉 客户端");
    ASSERT_TRUE(CreateDirectoryA(job.installDir, nullptr));
    ASSERT_TRUE(CreateDirectoryA((std::string(job.installDir) + "uninstall").c_str(), nullptr));
    ASSERT_TRUE(WriteUninstallFile(job));

    std::string text;
    ASSERT_TRUE(ReadFileBytes(std::string(job.installDir) + "uninstall\\uninstall.ini", &text));
    const size_t setupdir = text.find("setupdir=" + std::string(job.installDir) + "\r\n");
    const size_t gamename = text.find("gamename=维罗拉\r\n");
    const size_t shortcut = text.find("shortcutname=a.b\r\n");
    const size_t title = text.find("ProductTitle=维罗拉 客户端\r\n");
    EXPECT_EQ(text.find("[config]"), 0u) << text;
    EXPECT_TRUE(setupdir < gamename && gamename < shortcut && shortcut < title && title != std::string::npos) << text;

    CopyString(job.installDir, (std::string(240, 'd') + "\\").c_str());
    EXPECT_FALSE(WriteUninstallFile(job));
}

TEST(ShortcutNameTest, CutBeforeTheLastDot)
{
    char name[kPathSize];
    for (auto [exe, expected] : {std::pair<const char*, const char*>{"game.exe", "game"}, {"a.b.exe", "a.b"},
                                 {"游戏.exe", "游戏"}, {"noext", "noext"}}) {
        ShortcutName(exe, name);
        EXPECT_STREQ(name, expected);
    }
}
