#pragma once
// The tests' publisher key pair (tests/data/keys), built into the test process the way an installer
// built with it has it.
#include "common/fixed_string.h"
#include "install/publisher_trust.h"
#include "packing/publisher_keys.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

// Makes test-publisher.key.pub this process's one key, in key table slot `slot` (0 or 1).
inline void UseTestPublisherKey(int slot)
{
    uint8_t point[kPublicKeySize];
    std::string error;
    ASSERT_TRUE(LoadPublicKey(TestKeyPath("test-publisher.key.pub"), point, &error)) << error;
    char keys[kMaxPublisherKeys][kPublisherKeyHexSize] = {};
    CopyString(keys[slot], LowerHex(point, sizeof point).c_str());
    ASSERT_TRUE(UsePublisherKeys(keys));
    ASSERT_TRUE(SignedDelivery());
}
