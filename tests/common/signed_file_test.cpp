// The rules of a signed file that are not the signature's mathematics: its date, and what the
// signature binds.
#include "common/signed_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

ProfileText Text(const std::string& text)
{
    ProfileText profile;
    EXPECT_TRUE(profile.Assign(text.data(), text.size()));
    return profile;
}

}  // namespace

TEST(SignedFile, ExpiresAtTheEndOfItsDayAndOnlyARealDateCounts)
{
    const long today = DayNumber({2026, 3, 15});
    const struct {
        const char* expires;
        Expiry expected;
    } cases[] = {
        {"2026-03-15", Expiry::Valid},      // today
        {"2026-03-16", Expiry::Valid},      // tomorrow
        {"2026-03-14", Expiry::Past},       // yesterday
        {"2026-02-30", Expiry::Malformed},
        {"2026-13-01", Expiry::Malformed},  // month 13
        {"2028-02-29", Expiry::Valid},
        {"2027-02-29", Expiry::Malformed},  // not a leap year
        {"16.03.2026", Expiry::Malformed},
        {"", Expiry::Missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expires);
        CalendarDate expires;
        EXPECT_EQ(CheckExpiry(Text(std::string("[setup]\r\nsize=1\r\nexpires=") + c.expires + "\r\n"), SignedRole::Configuration,
                              today, &expires),
                  c.expected);
    }
    // The role's own section: a date elsewhere does not count.
    CalendarDate expires;
    EXPECT_EQ(CheckExpiry(Text("[setup]\r\nexpires=2027-01-01\r\n[list0]\r\naction=0\r\n"), SignedRole::UpdateList, today, &expires),
              Expiry::Missing);
    EXPECT_EQ(CheckExpiry(Text("[list0]\r\nexpires=2027-01-01\r\n"), SignedRole::UpdateList, today, &expires), Expiry::Valid);
    EXPECT_EQ(DayNumber({1970, 1, 1}), 0);
    EXPECT_EQ(DayNumber({2000, 3, 1}) - DayNumber({2000, 2, 28}), 2);
}

// The format docs/publishing.md gives, for tools of the publisher's own (the role and the game
// each changing what is signed is shown where the installer refuses such signatures).
TEST(SignedFile, TheDigestIsOfTheContextRoleGameAndBytes)
{
    const std::string bytes = "[setup]\r\nsize=1\r\n";
    uint8_t digest[kSha256Size], expected[kSha256Size];
    SignedFileDigest(SignedRole::Configuration, "Vellora", bytes.data(), bytes.size(), digest);
    Sha256 hash;
    const std::string message = std::string("vellora-signed-file-1\0configuration\0Vellora\0", 44) + bytes;
    hash.Update(message.data(), message.size());
    hash.Final(expected);
    EXPECT_EQ(memcmp(digest, expected, kSha256Size), 0);
}
