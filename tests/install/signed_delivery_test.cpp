// Signed delivery, with the tests' publisher key built in: which configuration files, update lists
// and packages an installer with keys takes, and how it refuses the others. (An installer without
// keys is the rest of the suite: it fetches no signature, and reads pins only beside mirrors.)
#include "install/install_job.h"
#include "install/publisher_trust.h"
#include "install/config_files.h"
#include "ui/config_addresses.h"

#include "common/fixed_string.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"
#include "support/make_package.h"
#include "support/message_box_recorder.h"
#include "support/posted_messages.h"
#include "support/publisher_test_key.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kOtherKey[] = "test-other.key";  // a publisher's key that this installer does not have
const char kLasting[] = "expires=2999-12-31\r\n";

std::string SetupSection(const char* game, const char* more = kLasting)
{
    return std::string("[setup]\r\ngamename=") + game + "\r\nsize=1\r\n" + more;
}

// The same bytes, signed in the other role: a configuration with a [list0] section too would be
// taken for neither by pkgtool, so the test signs its digest directly.
std::string SignatureInRole(const std::string& content, SignedRole role)
{
    PrivateKey key;
    std::string error;
    uint8_t digest[kSha256Size], signature[kSignatureSize];
    EXPECT_TRUE(LoadPrivateKey(TestKeyPath("test-publisher.key"), &key, &error)) << error;
    SignedFileDigest(role, kTestGame, content.data(), content.size(), digest);
    EXPECT_TRUE(SignDigest(key, digest, signature, &error)) << error;
    return std::string(reinterpret_cast<const char*>(signature), sizeof signature);
}

TEST(SignedConfiguration, OnlyAGoodSignatureOfABuiltInKeyForThisGameWithinItsDateIsTaken)
{
    DesktopLock lock;  // the configuration slots' ports
    UseTestPublisherKey(1);  // the second slot, as after a key change
    const std::string first = SetupSection("First"), expired = SetupSection("First", "expires=2000-01-01\r\n"),
                      undated = SetupSection("First", ""), tampered = SetupSection("Firsu");
    const std::string second = SetupSection("Second");
    const std::string good = TestSignature(first);
    const struct {
        const char* what;
        std::string body, signature;
        const char* taken;  // from the first slot or, refused, the second
    } cases[] = {
        {"good", first, good, "First"},
        {"a byte changed", tampered, good, "Second"},
        {"no signature", first, "", "Second"},
        {"a short signature", first, good.substr(0, 63), "Second"},
        {"another publisher's key", first, TestSignature(first, kOtherKey), "Second"},
        // Rollback and freeze: an old file served again.
        {"past its date", expired, TestSignature(expired), "Second"},
        {"no date", undated, TestSignature(undated), "Second"},
        // Mix and match: a good signature made for something else.
        {"signed for another game", first, TestSignature(first, "test-publisher.key", "Another game"), "Second"},
        {"signed as an update list", first, SignatureInRole(first, SignedRole::UpdateList), "Second"},
    };
    const std::string secondSignature = TestSignature(second);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetConfigSlotCounter();
        ConfigSlotServer slot0(0, c.body, c.signature), slot1(1, second, secondSignature);
        InstallJob job;
        ASSERT_TRUE(FetchConfiguration(job));
        EXPECT_STREQ(job.gameName, c.taken);
    }
    UseNoPublisherKeys();
}

// The job as far as the download, against the local server: update lists and their pins.
class SignedListTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseTestPublisherKey(1);
        served_ = std::string("signed-") + testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        installDir_ = scratch_ / "Game\\";
        ASSERT_TRUE(CreateDirectoryA(installDir_.c_str(), nullptr));
        job_.window = sink_.window();
        CopyString(job_.installDir, installDir_.c_str());
        const std::string config = "[config]\r\n1.0=" + TestServerUrl(served_ + "list.txt") + "\r\n";
        ASSERT_TRUE(job_.configText.Assign(config.data(), config.size()));
        package_ = MakePackage({{"Game\\readme.txt", "readme"}});
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "data.pak"), package_));
        pins_ = PinLines(package_) + "\r\n";
    }

    void TearDown() override { UseNoPublisherKeys(); }

    // Serves the list (a download alone: action 2) with `signature`, runs the job.
    void Run(const std::string& list, const std::string& signature)
    {
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "list.txt"), list));
        ASSERT_TRUE(WriteFileBytes(ServedPath(served_ + "list.txt.sig"), signature));
        HANDLE thread = CreateThread(nullptr, 0, InstallJobThread, &job_, 0, nullptr);
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, 120000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        CloseHandle(thread);
    }
    std::string List(const std::string& more) const
    {
        return "[list0]\r\naction=2\r\nsrcfile=" + TestServerUrl(served_ + "data.pak") + "\r\ndestfile=data.pak\r\n" + more;
    }
    // A list with the pins and a date to come.
    std::string GoodList(const std::string& more = "") const { return List(pins_ + kLasting + more);
    }
    int LastStatus()
    {
        int status = -1;
        for (const PostedMessage& m : sink_.Take())
            if (m.message == WM_INSTALL_STATUS)
                status = static_cast<int>(m.lParam);
        return status;
    }
    bool PackageFetched() const { return TestServerLog().find(served_ + "data.pak") != std::string::npos; }

    ScratchDir scratch_{"signed"};
    PostedMessages sink_;
    MessageBoxRecorder boxes_;
    InstallJob job_;
    std::string served_, installDir_, package_, pins_;
};

TEST_F(SignedListTest, ASignedListWithPinsDownloadsThePackage)
{
    Run(GoodList(), TestSignature(GoodList()));
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(LastStatus(), STATUS_INSTALLING);
    std::string downloaded;
    EXPECT_TRUE(ReadFileBytes(installDir_ + "data.pak", &downloaded) && downloaded == package_);
}

TEST_F(SignedListTest, RefusedListsAndPinsShowOneBoxPostStatusZeroAndLeaveNoPackage)
{
    std::string badHash = pins_;
    badHash[badHash.find("sha256=") + 7] = badHash[badHash.find("sha256=") + 7] == '0' ? '1' : '0';
    const std::string expired = List(pins_ + "expires=2000-01-01\r\n"), undated = List(pins_);
    const std::string withoutHash = List(pins_.substr(0, pins_.find("sha256=")) + kLasting);
    const std::string good = GoodList(), wrongHash = List(badHash + kLasting);
    const char kNotSigned[] = "更新列表文件签名错误.";
    const struct {
        const char* what;
        std::string list, signature;
        const char* box;
        bool fetched;  // whether the package was asked for
    } cases[] = {
        {"a byte changed", GoodList("\r\n"), TestSignature(good), kNotSigned, false},
        // Rollback and freeze: an old list served again.
        {"past its date", expired, TestSignature(expired), kNotSigned, false},
        {"no date", undated, TestSignature(undated), kNotSigned, false},
        // Mix and match: a good signature made for something else.
        {"signed for another game", good, TestSignature(good, "test-publisher.key", "Another game"), kNotSigned, false},
        {"signed as a configuration", good, SignatureInRole(good, SignedRole::Configuration), kNotSigned, false},
        {"no sha256", withoutHash, TestSignature(withoutHash), "解析更新列表文件错误,下载文件缺少大小或校验值.", false},
        {"a wrong sha256", wrongHash, TestSignature(wrongHash), "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = boxes_.boxes().size();
        const bool fetchedBefore = PackageFetched();
        Run(c.list, c.signature);
        const auto shown = boxes_.boxes();
        ASSERT_EQ(shown.size() - before, 1u);
        EXPECT_EQ(shown.back().text, c.box);
        EXPECT_EQ(shown.back().caption, "错误");
        EXPECT_EQ(LastStatus(), STATUS_FAILED);
        EXPECT_FALSE(FileExists(installDir_ + "data.pak"));
        if (!fetchedBefore) {
            EXPECT_EQ(PackageFetched(), c.fetched);
        }
    }
}

// Mix and match: a configuration that pins its list by its SHA-256 takes no other list, however
// well signed and dated (an older release's, served by a stale mirror or an attacker).
TEST_F(SignedListTest, AListTheConfigurationDoesNotPinIsRefused)
{
    const std::string current = GoodList(), older = GoodList("; the release before\r\n");
    auto hex = [](const std::string& bytes) {
        uint8_t digest[kSha256Size];
        Sha256 hash;
        hash.Update(bytes.data(), bytes.size());
        hash.Final(digest);
        return LowerHex(digest, sizeof digest);
    };
    const struct {
        const char* what;
        std::string pin;  // the configuration's 1.0.sha256
        const std::string& list;
        bool taken;
    } cases[] = {
        {"the list it pins", hex(current), current, true},
        {"an older signed list", hex(current), older, false},
        {"a pin that is no SHA-256", hex(current).substr(1), current, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string config = "[config]\r\n1.0=" + TestServerUrl(served_ + "list.txt") + "\r\n1.0.sha256=" + c.pin + "\r\n";
        ASSERT_TRUE(job_.configText.Assign(config.data(), config.size()));
        DeleteFileA((installDir_ + "data.pak").c_str());
        MessageBoxRecorder fresh;
        Run(c.list, TestSignature(c.list));
        EXPECT_EQ(LastStatus(), c.taken ? STATUS_INSTALLING : STATUS_FAILED);
        EXPECT_EQ(FileExists(installDir_ + "data.pak"), c.taken);
        ASSERT_EQ(fresh.boxes().size(), c.taken ? 0u : 1u);
        if (!c.taken) {
            EXPECT_EQ(fresh.boxes()[0].text, "更新列表文件签名错误.");
        }
    }
}

// The configuration and the list are fetched into memory and used from there: nothing is written
// to the temporary folder, which is the player's (another process of theirs could change a file
// there between its check and its use).
TEST_F(SignedListTest, TheConfigurationAndTheListWriteNoTemporaryFile)
{
    ScratchDir temp("temp");
    char previous[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", previous, sizeof previous);
    SetEnvironmentVariableA("TMP", temp.path().c_str());
    const std::string config = SetupSection("Checked") + "[config]\r\n1.0=" + TestServerUrl(served_ + "list.txt");
    {
        DesktopLock lock;  // the configuration slots' ports
        ResetConfigSlotCounter();
        ConfigSlotServer slot(0, config, TestSignature(config));
        InstallJob job;
        ASSERT_TRUE(FetchConfiguration(job));
        EXPECT_STREQ(job.gameName, "Checked");
    }
    Run(GoodList(), TestSignature(GoodList()));
    SetEnvironmentVariableA("TMP", previous[0] ? previous : nullptr);
    EXPECT_EQ(LastStatus(), STATUS_INSTALLING);
    EXPECT_TRUE(PackageFetched());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp / "*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

}  // namespace
