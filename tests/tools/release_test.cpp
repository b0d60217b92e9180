// pkgtool release as a publisher runs it: the site's files exactly as the installer reads them
// (GBK, CRLF, today's sections and keys, pins and expires dates, signatures in their roles), and
// one clear line for each description it cannot release.
#include "packing/site_signature.h"
#include "pkgtool_fixture.h"

#include <ctime>
#include <functional>
#include <map>

namespace {

// The publisher's description is UTF-8 (u8 literals); the installer's files hold GBK (the
// narrow literals of this build).
const char kGameUtf8[] = u8"塔恩霍尔德";
const char kGameGbk[] = "塔恩霍尔德";
const char kPublisherUtf8[] = u8"示例游戏";
const char kPublisherGbk[] = "示例游戏";

std::string DateIn(int days)
{
    const time_t then = time(nullptr) + static_cast<time_t>(days) * 86400;
    char text[16] = {};
    strftime(text, sizeof text, "%Y-%m-%d", gmtime(&then));
    return text;
}

class Release : public PkgtoolTest {
protected:
    void SetUp() override
    {
        Put("Tarnhold/Tarnhold.exe", "the game");
        Put("Tarnhold/data/level.dat", "a level");
        Put("Tarnhold/uninstall/Uninst.exe", "the uninstaller");
    }

    // The description; `changes` replaces a field's line, removes it ("") or adds one.
    std::string Describe(const std::map<std::string, std::string>& changes = {}) const
    {
        std::map<std::string, std::string> fields = {
            {"game", kGameUtf8}, {"executable", "TARNHOLD.exe"}, {"caption", "Tarnhold"}, {"size", "850"},
            {"agreement", "https://www.example.com/agreement.html"}, {"uninstaller", "uninst.exe"},
            {"publisher", kPublisherUtf8}, {"contact", "support@example.com"}, {"site", "http://dl.example.com/games"},
            {"key", TestKeyPath("test-publisher.key")}, {"lifetime", "30"}};
        for (const auto& [name, value] : changes)
            fields[name] = value;
        std::string text = "# the release of Tarnhold\n";
        for (const auto& [name, value] : fields)
            text += value.empty() ? "" : name + " = " + value + "\n";
        return text;
    }

    ProgramRun Publish(const std::string& description, const std::string& site = std::string())
    {
        Put("release.txt", description);
        return Run({"release", Path("release.txt"), Path("Tarnhold"), "-o", site.empty() ? Path("site") : site});
    }
};

// The package's name, from the list of files to upload.
std::string PackageOf(const ProgramRun& release)
{
    const size_t at = release.out.find("\n  update/tarnhold-");
    return at == std::string::npos ? "" : release.out.substr(at + 10, std::string("tarnhold-").size() + 12 + 4);
}

}  // namespace

TEST_F(Release, WritesTheSiteAsTheInstallerReadsItAndSaysWhatToUploadInWhichOrder)
{
    const std::string before = DateIn(30);
    ProgramRun run = Publish(Describe({{"mirrors", "http://m1.example.net/t  https://m2.example.org/tarnhold/"}}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const std::string package = PackageOf(run);
    const std::string bytes = Read("site/update/" + package);
    const std::string sha = Sha256Hex(bytes);
    EXPECT_EQ(package, "tarnhold-" + sha.substr(0, 12) + ".pak") << "named after its content";

    const std::string list = Read("site/update/list.txt");
    const size_t expires = list.find("expires=");
    ASSERT_NE(expires, std::string::npos) << list;
    const std::string date = list.substr(expires + 8, 10);
    EXPECT_TRUE(date == before || date == DateIn(30)) << date;
    EXPECT_EQ(list, "[list0]\r\naction=3\r\nsrcfile=http://dl.example.com/games/update/" + package +
                        "\r\nmirror1=http://m1.example.net/t/" + package + "\r\nmirror2=https://m2.example.org/tarnhold/" +
                        package + "\r\ndestfile=tarnhold.pak\r\ncmd=DEC\r\nsize=" + std::to_string(bytes.size()) +
                        "\r\nsha256=" + sha + "\r\nexpires=" + date + "\r\n");
    const std::string configuration = Read("site/update/tarnhold.txt");
    EXPECT_EQ(configuration, std::string("[setup]\r\ngamename=") + kGameGbk +
                                 "\r\nexefilename=TARNHOLD.exe\r\nProductTitle=Tarnhold\r\nsize=850\r\n"
                                 "urlAgreement=https://www.example.com/agreement.html\r\nuninstname=uninst.exe\r\n"
                                 "Publisher=" + kPublisherGbk + "\r\nContact=support@example.com\r\nexpires=" + date +
                                 "\r\n\r\n[config]\r\n1.0=http://dl.example.com/games/update/list.txt\r\n"
                                 "1.0.sha256=" + Sha256Hex(list) + "\r\n");

    uint8_t key[kPublicKeySize];
    std::string error;
    ASSERT_TRUE(LoadPublicKey(TestKeyPath("test-publisher.key.pub"), key, &error)) << error;
    // Signed for the installer named after the game (no product line in the description).
    EXPECT_EQ(CheckSiteFileSignature(key, SignedRole::UpdateList, kGameUtf8, list, Read("site/update/list.txt.sig"),
                                     &error),
              SignatureCheck::Good) << error;
    EXPECT_EQ(CheckSiteFileSignature(key, SignedRole::Configuration, kGameUtf8, configuration,
                                     Read("site/update/tarnhold.txt.sig"), &error),
              SignatureCheck::Good) << error;

    EXPECT_NE(run.out.find("upload, in this order (the package first, the configuration last):\n  update/" + package +
                           "\n  http://m1.example.net/t/" + package + " (the same file, to the mirror)\n  https://m2.example.org/"
                           "tarnhold/" + package + " (the same file, to the mirror)\n  update/list.txt\n  update/list.txt.sig\n"
                           "  update/tarnhold.txt\n  update/tarnhold.txt.sig\n"),
              std::string::npos) << run.out;

    EXPECT_NE(run.out.find("lzma: read by every installer"), std::string::npos) << run.out;

    // The same game released again is the same package; an unsigned release leaves no old signature.
    ProgramRun again = Publish(Describe({{"key", ""}}));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("  update/" + package + "\n"), std::string::npos) << again.out;
    EXPECT_FALSE(FileExists(Path("site/update/list.txt.sig")));
    EXPECT_FALSE(FileExists(Path("site/update/tarnhold.txt.sig")));

    // In the .xz encoding: another package, which the release says older installers cannot read.
    ProgramRun xz = Publish(Describe({{"format", "xz"}}));
    ASSERT_EQ(xz.status, 0) << xz.err;
    const std::string xzPackage = PackageOf(xz);
    EXPECT_NE(xzPackage, package);
    EXPECT_EQ(Read("site/update/" + xzPackage).substr(0, 6), std::string("\xFD" "7zXZ\0", 6));
    EXPECT_NE(xz.out.find("read only by installers with the .xz decoder"), std::string::npos) << xz.out;
    EXPECT_NE(xz.out.find("installers built before the .xz decoder cannot install this release"), std::string::npos)
        << xz.out;
}

TEST_F(Release, RefusesWhatItCannotReleaseWithOneLineAndWritesNothing)
{
    const struct {
        std::map<std::string, std::string> changes;
        const char* expected;
    } cases[] = {
        {{{"caption", ""}}, "no \"caption = ...\" line"},
        {{{"game", u8"塔恩🐉"}}, "GBK cannot hold"},
        {{{"exefilename", "tarnhold.exe"}}, "\"exefilename\" is no field"},
        {{{"executable", "missing.exe"}}, "holds no missing.exe"},
        {{{"uninstaller", "missing.exe"}}, "holds no uninstall"},
        {{{"site", "ftp://dl.example.com/"}}, "no http:// or https:// address"},
        {{{"mirrors", "http://m.example.net/ ftp://m.example.org/"}}, "\"ftp://m.example.org/\" is no http://"},
        {{{"mirrors", "http://a/ http://b/ http://c/ http://d/ http://e/"}}, "more than 4 mirrors"},
        {{{"format", "zip"}}, "is no package encoding"},
    };
    for (const auto& c : cases) {
        ProgramRun run = Publish(Describe(c.changes));
        ExpectOneLineFailure(run, c.expected);
        EXPECT_FALSE(FileExists(Path("site/update/tarnhold.txt"))) << c.expected;
    }
}

#ifndef _WIN32
// pkgtool check runs in the Linux build alone (libcurl).

TEST_F(Release, ThenCheckPassesOnARealWebServer)
{
    // The same server's https listener stands in for a mirror.
    ProgramRun release =
        Publish(Describe({{"site", ReleaseSiteUrl()}, {"mirrors", ReleaseSiteUrl(true) + "update"}}), ReleaseSitePath());
    ASSERT_EQ(release.status, 0) << release.err;
    for (bool https : {false, true}) {
        ProgramRun check = Run({"check", ReleaseSiteUrl(https) + "update/tarnhold.txt", "--key",
                                TestKeyPath("test-publisher.key.pub"), "--game", kGameUtf8, "--full"});
        EXPECT_EQ(check.status, 0) << check.out;
        // The configuration, its signature, the list, its pin, its signature, its step; and the
        // Content-Length, the Range answer and the SHA-256 of the package and of its mirror.
        size_t good = 0;
        for (size_t at = 0; (at = check.out.find("ok    ", at)) != std::string::npos; at += 6)
            good += at == 0 || check.out[at - 1] == '\n';
        EXPECT_EQ(good, 12u) << check.out;
        EXPECT_NE(check.out.find("ok    mirror1 SHA-256 matches the pin"), std::string::npos) << check.out;
    }
}

void Append(const std::string& path, const std::string& bytes)
{
    std::string file;
    ASSERT_TRUE(ReadFileBytes(path, &file));
    ASSERT_TRUE(WriteFileBytes(path, file + bytes));
}

TEST_F(Release, CheckNamesEachFaultOnALineOfItsOwn)
{
    PrivateKey key;
    std::string error;
    ASSERT_TRUE(LoadPrivateKey(TestKeyPath("test-publisher.key"), &key, &error)) << error;
    // A file changed as the publisher changed and signed it then (pkgtool sign refuses a date that
    // has passed today, so the digest is signed directly).
    auto sign = [&](const std::string& path, SignedRole role) {
        std::string text;
        ASSERT_TRUE(ReadFileBytes(path, &text));
        uint8_t digest[kSha256Size], signature[kSignatureSize];
        SignedFileDigest(role, kGameUtf8, text.data(), text.size(), digest);
        ASSERT_TRUE(SignDigest(key, digest, signature, &error)) << error;
        ASSERT_TRUE(WriteFileBytes(path + ".sig", std::string(reinterpret_cast<char*>(signature), kSignatureSize)));
    };
    // A publisher's mistake in the list, signed, and pinned in the configuration unless `stale`.
    auto resign = [&](const std::string& update, const std::string& from, const std::string& to, bool stale = false) {
        std::string list, config;
        ASSERT_TRUE(ReadFileBytes(update + "list.txt", &list) && ReadFileBytes(update + "tarnhold.txt", &config));
        const std::string pin = "1.0.sha256=" + Sha256Hex(list);
        list.replace(list.find(from), from.size(), to);
        ASSERT_TRUE(WriteFileBytes(update + "list.txt", list));
        sign(update + "list.txt", SignedRole::UpdateList);
        if (stale)
            return;
        config.replace(config.find(pin), pin.size(), "1.0.sha256=" + Sha256Hex(list));
        ASSERT_TRUE(WriteFileBytes(update + "tarnhold.txt", config));
        sign(update + "tarnhold.txt", SignedRole::Configuration);
    };
    const struct {
        const char* name;
        std::function<void(const std::string& update, const std::string& package)> fault;
        const char* expected;
    } cases[] = {
        {"unsigned", [](auto& u, auto&) { RemoveFile((u + "list.txt.sig").c_str()); }, "list.txt.sig answers 404"},
        {"wrong-pin", [](auto& u, auto& p) { Append(u + p, "x"); }, "where the list pins"},
        {"no-range", [&](auto& u, auto&) { resign(u, ".pak\r\n", ".pak?range=ignore\r\n"); },
         "gives 200 and the whole file"},
        {"expired", [&](auto& u, auto&) { resign(u, "expires=", "expires=2020-01-01\r\nold="); },
         "expired on 2020-01-01"},
        {"no-package", [](auto& u, auto& p) { RemoveFile((u + p).c_str()); }, "answers 404"},
        {"bad-signature", [](auto& u, auto&) { WriteFileBytes(u + "list.txt.sig", std::string(kSignatureSize, '\1')); },
         "BAD signature"},
        {"stale-list", [&](auto& u, auto&) { resign(u, "expires=", "old=1\r\nexpires=", true); },
         "is not the configuration's 1.0.sha256"},
        {"mirror-missing", [&](auto& u, auto&) {
             resign(u, "\r\ndestfile=", "\r\nmirror1=" + TestServerUrl("check-nowhere/x.pak") + "\r\ndestfile=");
         }, "mirror1 "},
        {"extract-only", [&](auto& u, auto&) { resign(u, "action=3", "action=1"); }, "action 1 downloads nothing"},
        {"untrusted", [](auto&, auto&) {}, "https certificate not trusted"},
    };
    for (const auto& c : cases) {
        const std::string name = std::string("check-") + c.name + "/";
        RemoveTree(ServedPath(name));
        ProgramRun release = Publish(Describe({{"site", TestServerUrl(name)}}), ServedPath(name));
        ASSERT_EQ(release.status, 0) << release.err;
        c.fault(ServedPath(name) + "update/", PackageOf(release));
        const std::string address =
            std::string(c.name) == "untrusted" ? TestServerHttpsUrl(name, "untrusted") : TestServerUrl(name);
        ProgramRun check = Run({"check", address, "--key", TestKeyPath("test-publisher.key.pub"), "--game", kGameUtf8});
        EXPECT_EQ(check.status, 1) << c.name;
        const size_t fail = check.out.find("FAIL  ");
        ASSERT_NE(fail, std::string::npos) << c.name << ":\n" << check.out;
        EXPECT_EQ(check.out.find("FAIL  ", fail + 1), std::string::npos) << c.name << ":\n" << check.out;
        EXPECT_NE(check.out.substr(fail, check.out.find('\n', fail) - fail).find(c.expected), std::string::npos)
            << c.name << ":\n" << check.out;
    }
}
#endif
