// The uninstall entry in Wine's real registry, read back with the registry API.
//
// The test program is 64-bit and names no view, so it writes the 64-bit view; the entries are
// read there and looked for in vain below WOW6432Node. (The shipping 32-bit build lands in
// WOW6432Node on 64-bit Windows, where 32-bit installers belong.)
#include "shell/uninstall_entry.h"

#include "shell_test_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class UninstallEntry : public testing::Test {
protected:
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()); }

    std::string ExpandString(const char* value)
    {
        RegValue v = ReadMachineValue(key, value);
        EXPECT_TRUE(v.found) << value;
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_EXPAND_SZ)) << value;
        return v.bytes;
    }

    std::string name = UniqueName("Vellora测试");
    std::string key = UninstallKey(name);
};

}  // namespace

TEST_F(UninstallEntry, WritesTheSevenValuesWithTheirTerminators)
{
    RegisterUninstallEntry(name.c_str(), "维洛拉", "星辰网络", "客服 400-000", "C:\\Games\\V\\uninstall\\u.exe",
                           "C:\\Games\\V\\uninstall\\uninstall.ini");

    ASSERT_TRUE(MachineKeyExists(key));
    EXPECT_FALSE(MachineKeyExists(key, KEY_WOW64_32KEY));
    EXPECT_EQ(MachineValueCount(key), 7u);
    EXPECT_EQ(ExpandString("DisplayName"), WithTerminator("维洛拉"));
    EXPECT_EQ(ExpandString("UninstallString"),
              WithTerminator("\"C:\\Games\\V\\uninstall\\u.exe\" \"/U:C:\\Games\\V\\uninstall\\uninstall.ini\""));
    EXPECT_EQ(ExpandString("Publisher"), WithTerminator("星辰网络"));
    EXPECT_EQ(ExpandString("Contact"), WithTerminator("客服 400-000"));
    EXPECT_EQ(ExpandString("DisplayIcon"), WithTerminator("\"C:\\Games\\V\\uninstall\\u.exe\""));
    for (const char* flag : {"NoModify", "NoRepair"}) {
        RegValue v = ReadMachineValue(key, flag);
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << flag;
        EXPECT_EQ(v.bytes, std::string("\x01\x00\x00\x00", 4)) << flag;
    }
}

TEST_F(UninstallEntry, WritesEmptyTextsAndTheQuotedPathAloneWithoutArgument)
{
    RegisterUninstallEntry(name.c_str(), "", "", "", "C:\\a b\\u.exe");
    EXPECT_EQ(MachineValueCount(key), 7u);
    EXPECT_EQ(ExpandString("Publisher"), std::string(1, '\0'));
    EXPECT_EQ(ExpandString("Contact"), std::string(1, '\0'));
    EXPECT_EQ(ExpandString("UninstallString"), WithTerminator("\"C:\\a b\\u.exe\""));

    // A second registration overwrites the first one's values.
    RegisterUninstallEntry(name.c_str(), "二", "P", "C", "D:\\u.exe", "D:\\u.ini");
    EXPECT_EQ(MachineValueCount(key), 7u);
    EXPECT_EQ(ExpandString("DisplayName"), WithTerminator("二"));
    EXPECT_EQ(ExpandString("UninstallString"), WithTerminator("\"D:\\u.exe\" \"/U:D:\\u.ini\""));
}

TEST_F(UninstallEntry, WritesNothingWithoutAValueOrRoomForIt)
{
    RegisterUninstallEntry(name.c_str(), "n", nullptr, "c", "u.exe");
    EXPECT_FALSE(MachineKeyExists(key));

    std::string longPath = "C:\\" + std::string(1020, 'x');
    RegisterUninstallEntry(name.c_str(), "n", "p", "c", longPath.c_str());
    EXPECT_FALSE(MachineKeyExists(key));
    // The command line alone overflows: still nothing, not a cut command.
    std::string halfPath = "C:\\" + std::string(600, 'x');
    RegisterUninstallEntry(name.c_str(), "n", "p", "c", halfPath.c_str(), halfPath.c_str());
    EXPECT_FALSE(MachineKeyExists(key));
}
