// The package key (MD5 and the derivation rules) and AES-128 decryption on both paths.
#include "package/aes_decrypt.h"
#include "package/md5.h"
#include "package/package_key.h"
#include "package_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

std::string Md5Hex(MD5_CTX& md5, const std::string& message)
{
    md5.Update(reinterpret_cast<const unsigned char*>(message.data()), message.size());
    unsigned char digest[16];
    md5.Final(digest);
    return Hex(digest, 16);
}

std::string KeyHex(const char* password)
{
    unsigned char key[16];
    DerivePackageKey(password, key);
    return Hex(key, 16);
}

const std::string kFipsKey = FromHex("000102030405060708090a0b0c0d0e0f");
const std::string kFipsPlain = FromHex("00112233445566778899aabbccddeeff");
const std::string kFipsCipher = FromHex("69c4e0d86a7b0430d8cdb78070b4c55a");

std::string Decrypt(AesPath path, const std::string& key, std::string data)
{
    AesDecryptContext context;
    AesSetDecryptKey(&context, Bytes(key));
    EXPECT_TRUE(AesSelectPath(&context, path));
    AesDecryptBlocks(&context, Bytes(data), data.size() / 16);
    return data;
}

}  // namespace

TEST(PackageKey, Md5TestSuiteOnOneObjectReusedAfterEachFinal)
{
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    MD5_CTX md5;
    for (const auto& [message, digest] : suite)
        EXPECT_EQ(Md5Hex(md5, message), digest) << '"' << message << '"';
    MD5_CTX fresh;
    EXPECT_EQ(memcmp(md5.state, fresh.state, sizeof md5.state) | memcmp(md5.PADDING, fresh.PADDING, 64), 0);
    EXPECT_EQ(md5.count[0] | md5.count[1], 0u);
}

TEST(PackageKey, DerivedFromTheBuiltInPasswordWithZeroReplacementBeforeTheXor)
{
    EXPECT_STREQ(PackagePassword, "582914");
    // MD5 842fed8042dfbda5e344ba3f24c0be2c, bytes 0, 3, 6, 9, 12, 15 XORed with 0x11.
    EXPECT_EQ(KeyHex(PackagePassword), "952fed9142dfaca5e355ba3f35c0be3d");
    EXPECT_EQ(KeyHex(""), "c51d8cc88f05a304e9910998fdf8426f");     // MD5 00 at index 5 -> 05
    EXPECT_EQ(KeyHex("168"), "116f52f8102a9c3be2ef5614e52ba998");  // 00 at index 0 -> 00 -> 11
    EXPECT_EQ(KeyHex("233"), "f065420010ba12099a0d0393263c5b52");  // 11 at index 3 -> 00, stays 00
    EXPECT_EQ(KeyHex("184"), "7ddd60fb0445fa7a6ed54c54c39ed413");  // 00 at index 4 -> 04
}

TEST(AesDecrypt, Fips197AppendixC1OnEachPathInPlaceAndApart)
{
    // The publisher's encryption, both ways.
    EXPECT_EQ(Hex(Bytes(SealBlocks(kFipsKey, kFipsPlain)), 16), Hex(Bytes(kFipsCipher), 16));
    EXPECT_EQ(Hex(Bytes(SealBlocks(kFipsKey, kFipsPlain, true)), 16), Hex(Bytes(kFipsCipher), 16));
    for (AesPath path : {AesPath::Tables, AesPath::Instructions}) {
        if (!AesPathAvailable(path))
            continue;
        AesDecryptContext context;
        AesSetDecryptKey(&context, Bytes(kFipsKey));
        ASSERT_TRUE(AesSelectPath(&context, path));
        EXPECT_EQ(context.rounds, 10);
        std::string block = kFipsCipher;
        unsigned char apart[16];
        AesDecryptBlock(&context, Bytes(block), apart);
        AesDecryptBlock(&context, Bytes(block), Bytes(block));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(apart), 16), kFipsPlain);
        EXPECT_EQ(block, kFipsPlain);
    }
}

TEST(AesDecrypt, TablesAndInstructionsGiveIdenticalBytesOnRandomData)
{
    if (!AesPathAvailable(AesPath::Instructions))
        GTEST_SKIP() << "this CPU has no AES instructions: nothing to compare the tables with";
    std::mt19937 random(4242);
    auto randomBytes = [&](size_t size) {
        std::string bytes(size, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        return bytes;
    };
    for (int trial = 0; trial < 200; ++trial) {
        std::string key = randomBytes(16), plain = randomBytes(16 * (1 + random() % 40));
        AesDecryptContext context;
        AesSetDecryptKey(&context, Bytes(key));
        EXPECT_EQ(context.path, AesPath::Instructions);  // picked when present
        std::string instructions = Decrypt(AesPath::Instructions, key, plain);
        ASSERT_EQ(Decrypt(AesPath::Tables, key, plain), instructions) << trial;
        // Eight blocks side by side and the rest alone both undo the encryption.
        ASSERT_EQ(Decrypt(AesPath::Instructions, key, SealBlocks(key, plain, trial % 2 == 0)), plain) << trial;
    }
}

TEST(AesDecrypt, ConcurrentFirstKeySetupsAllDecryptCorrectly)
{
    std::vector<std::string> results(8);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result] { result = Decrypt(AesPath::Tables, kFipsKey, kFipsCipher); });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, kFipsPlain);
}
