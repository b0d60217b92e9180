#pragma once
// The tests' publisher key pair (tests/data/keys), built into the test process the way an installer
// built with it has it, and signatures made with it.
#include "common/fixed_string.h"
#include "install/publisher_trust.h"
#include "packing/publisher_keys.h"
#include "packing/site_signature.h"
#include "support/test_support.h"
#include "ui/product_name.h"

#include <gtest/gtest.h>

#include <string>

// The game the tests sign for: the product name of the installers they build, in UTF-8.
constexpr char kTestGame[] = u8"" INSTALLER_PRODUCT_NAME;

// Makes test-publisher.key.pub this process's one key, in key table slot `slot` (0 or 1).
inline void UseTestPublisherKey(int slot)
{
    uint8_t point[kPublicKeySize];
    std::string error;
    ASSERT_TRUE(LoadPublicKey(TestKeyPath("test-publisher.key.pub"), point, &error)) << error;
    char keys[kMaxPublisherKeys][kPublisherKeyHexSize] = {};
    CopyString(keys[slot], LowerHex(point, sizeof point).c_str());
    ASSERT_TRUE(UsePublisherKeys(keys, kTestGame));
    ASSERT_TRUE(SignedDelivery());
}

// Back to an installer without keys.
inline void UseNoPublisherKeys()
{
    const char none[kMaxPublisherKeys][kPublisherKeyHexSize] = {};
    UsePublisherKeys(none, "");
}

// The bytes of the .sig that `key` makes of `content` in the role its sections tell, for `game`.
// Unlike pkgtool sign it signs files without an expiry date, or with a past one, so that tests
// can show the installer refusing them.
inline std::string TestSignature(const std::string& content, const char* key = "test-publisher.key",
                                 const char* game = kTestGame)
{
    PrivateKey privateKey;
    ProfileText text;
    SignedRole role = SignedRole::Configuration;
    std::string error;
    uint8_t digest[kSha256Size], signature[kSignatureSize];
    EXPECT_TRUE(LoadPrivateKey(TestKeyPath(key), &privateKey, &error)) << error;
    EXPECT_TRUE(text.Assign(content.data(), content.size()));
    EXPECT_TRUE(RoleOfFile(text, &role, &error)) << error;
    SignedFileDigest(role, game, text.data(), text.size(), digest);
    EXPECT_TRUE(SignDigest(privateKey, digest, signature, &error)) << error;
    return std::string(reinterpret_cast<const char*>(signature), sizeof signature);
}

// The size= and sha256= lines with which a signed list pins `package` (no line end after them).
inline std::string PinLines(const std::string& package)
{
    uint8_t digest[kSha256Size];
    Sha256 hash;
    hash.Update(package.data(), package.size());
    hash.Final(digest);
    return "size=" + std::to_string(package.size()) + "\r\nsha256=" + LowerHex(digest, sizeof digest);
}

// Writes `path`.sig: TestSignature of the file at `path`.
inline void SignTestFile(const std::string& path)
{
    std::string content;
    ASSERT_TRUE(ReadFileBytes(path, &content)) << path;
    ASSERT_TRUE(WriteFileBytes(path + ".sig", TestSignature(content)));
}
