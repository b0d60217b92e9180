// SHA-256 against FIPS 180-4's examples, in pieces of every size, on both paths; and the SHA-NI
// path against the portable one on random data.
#include "common/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

std::string Hex(const uint8_t (&digest)[kSha256Size])
{
    std::string text;
    char pair[3];
    for (uint8_t byte : digest) {
        snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::string Digest(Sha256Path path, const std::string& message, size_t piece)
{
    Sha256 hash(path);
    for (size_t at = 0; at < message.size(); at += piece)
        hash.Update(message.data() + at, message.size() - at < piece ? message.size() - at : piece);
    uint8_t digest[kSha256Size];
    hash.Final(digest);
    return Hex(digest);
}

TEST(Sha256, FipsExamplesInEveryPieceSizeOnBothPaths)
{
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 56 bytes: padding spills over
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (Sha256Path path : {Sha256Path::Portable, Sha256Path::Instructions}) {
        for (const auto& c : cases) {
            for (size_t piece : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{65536}}) {
                if (piece == 1 && c.message.size() > 100000)
                    continue;
                EXPECT_EQ(Digest(path, c.message, piece), c.digest) << c.message.size() << " bytes in pieces of " << piece;
            }
        }
    }
}

TEST(Sha256, InstructionsAgreeWithThePortableCodeAndFinalStartsAgain)
{
    if (!CpuHasShaInstructions())
        GTEST_SKIP() << "this processor has no SHA instructions";
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string message(random() % 5000, '\0');
        for (char& c : message)
            c = static_cast<char>(random());
        EXPECT_EQ(Digest(Sha256Path::Instructions, message, 1 + random() % 300),
                  Digest(Sha256Path::Portable, message, 4096));
    }
    Sha256 hash;
    uint8_t first[kSha256Size], second[kSha256Size];
    hash.Update("abc", 3);
    hash.Final(first);
    hash.Update("abc", 3);
    hash.Final(second);
    EXPECT_EQ(Hex(first), Hex(second));
}

}  // namespace
