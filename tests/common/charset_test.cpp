// Every text the installer shows or stores is GBK: the sources are UTF-8 and the compiler turns
// narrow literals into GBK bytes. On Windows the ANSI code page must be 936 for those bytes to
// read back as the same Chinese text.
#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Charset, NarrowLiteralsAreGbk)
{
    const char* text = "正在下载";
    EXPECT_EQ(0, memcmp(text, "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8", 9));
    EXPECT_EQ(0, strcmp("错误", "\xB4\xED\xCE\xF3"));
}

#ifdef _WIN32
TEST(Charset, AnsiCodePageIsGbk)
{
    EXPECT_EQ(GetACP(), 936u);
}

TEST(Charset, SystemTextsConvertToTheExpectedUnicode)
{
    wchar_t wide[32] = {};
    int n = MultiByteToWideChar(CP_ACP, 0, "正在下载", -1, wide, 32);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"\u6B63\u5728\u4E0B\u8F7D"));

    n = MultiByteToWideChar(CP_ACP, 0, "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！", -1, wide, 32);
    EXPECT_EQ(n, 31);
    EXPECT_EQ(wide[14], L'\uFF0C');  // the full-width comma
}
#endif
