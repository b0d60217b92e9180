#include "common/fixed_string.h"

#include <gtest/gtest.h>

#include <cstring>

// Fills a buffer with a guard pattern so that writes past `size` show up.
struct GuardedBuffer {
    char bytes[32];
    GuardedBuffer() { memset(bytes, '#', sizeof bytes); }
    bool GuardIntact(size_t from) const
    {
        for (size_t i = from; i < sizeof bytes; ++i)
            if (bytes[i] != '#') return false;
        return true;
    }
};

TEST(FixedString, CopyFitsOrCutsAndAlwaysTerminates)
{
    GuardedBuffer b;
    EXPECT_TRUE(CopyString(b.bytes, 6, "hello"));
    EXPECT_STREQ(b.bytes, "hello");
    EXPECT_FALSE(CopyString(b.bytes, 6, "hello!"));
    EXPECT_STREQ(b.bytes, "hello");
    EXPECT_TRUE(b.GuardIntact(6));
    EXPECT_TRUE(CopyString(b.bytes, 6, nullptr));
    EXPECT_STREQ(b.bytes, "");
    EXPECT_FALSE(CopyString(b.bytes, 0, "x"));
    EXPECT_EQ(b.bytes[0], '\0');  // untouched by the size-0 call
}

TEST(FixedString, AppendCountsWhatIsAlreadyThere)
{
    GuardedBuffer b;
    CopyString(b.bytes, 8, "abc");
    EXPECT_TRUE(AppendString(b.bytes, 8, "defg"));
    EXPECT_STREQ(b.bytes, "abcdefg");
    EXPECT_FALSE(AppendString(b.bytes, 8, "h"));
    EXPECT_STREQ(b.bytes, "abcdefg");
    EXPECT_TRUE(b.GuardIntact(8));
}

TEST(FixedString, AppendToUnterminatedBufferTreatsItAsFull)
{
    char raw[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendString(raw, "x"));
    EXPECT_EQ(raw[3], '\0');
}

TEST(FixedString, FormatReportsCutting)
{
    GuardedBuffer b;
    EXPECT_TRUE(FormatString(b.bytes, 10, "%s-%d", "ab", 42));
    EXPECT_STREQ(b.bytes, "ab-42");
    EXPECT_FALSE(FormatString(b.bytes, 5, "%d", 123456));
    EXPECT_STREQ(b.bytes, "1234");
    EXPECT_TRUE(b.GuardIntact(10));

    char arr[4];
    EXPECT_FALSE(FormatString(arr, "%s", "abcd"));
    EXPECT_STREQ(arr, "abc");
}

TEST(FixedString, CutNeverLeavesHalfACharacter)
{
    // "正在下载" is four double-byte characters in GBK; 4 bytes of room keep only one of them.
    const char* text = "正在下载";
    ASSERT_EQ(strlen(text), 8u);
    char out[4];
    EXPECT_FALSE(CopyString(out, text));
    EXPECT_STREQ(out, "正");
    char fmt[6];
    EXPECT_FALSE(FormatString(fmt, "a%s", text));
    EXPECT_STREQ(fmt, "a正在");
    char app[5] = "ab";
    EXPECT_FALSE(AppendString(app, text));
    EXPECT_STREQ(app, "ab正");
    char odd[6] = "abc";
    EXPECT_FALSE(AppendString(odd, text));  // room for 2 bytes: one whole character
    EXPECT_STREQ(odd, "abc正");
}

TEST(FixedString, GbkPrefixLengthStepsOverDoubleByteCharacters)
{
    EXPECT_EQ(GbkPrefixLength("a\xD5\xFD" "b", 4), 4u);
    EXPECT_EQ(GbkPrefixLength("a\xD5\xFD" "b", 2), 1u);
    EXPECT_EQ(GbkPrefixLength("\x81\x40\x81", 3), 2u);
    EXPECT_EQ(GbkPrefixLength("\x80\xFF", 2), 2u);  // not lead bytes
}
