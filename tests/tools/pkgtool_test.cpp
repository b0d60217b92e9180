// pkgtool as publishers run it: pack, list, extract, keygen, sign and verify, and its
// command-line conventions.
#include "common/file_system.h"
#include "common/publisher_crypto.h"
#include "common/signed_file.h"
#include "package/extract.h"
#include "package_test_support.h"
#include "packing/publisher_keys.h"
#include "pkgtool_fixture.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

const std::string kGbkName = "\xD6\xD0\xCE\xC4.txt";  // 中文.txt
// 誠東\億.txt: characters whose trail bytes are a backslash (D5 5C) and a bar (96 7C, 83 7C).
const std::string kGbkFolder = "\xD5\x5C\x96\x7C", kGbkTrailName = kGbkFolder + "/\x83\x7C.txt";

class Pkgtool : public PkgtoolTest {
protected:
    // A file of `size` bytes of zeros that takes no disk.
    void PutSparse(const std::string& relative, uint64_t size)
    {
        Put(relative, "");
        std::error_code error;
        std::filesystem::resize_file(Path(relative), size, error);
        ASSERT_FALSE(error) << error.message();
    }
    // Packing fails with exactly one line that mentions `expected`.
    void ExpectPackRefused(const std::string& folder, const std::string& expected, std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"pack", Path(folder), "-o", Path(folder + ".pak")};
        args.insert(args.end(), more.begin(), more.end());
        ExpectOneLineFailure(Run(args), expected);
        EXPECT_FALSE(FileExists(Path(folder + ".pak")));
    }
};

std::string RandomBytes(size_t size)
{
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

// A configuration or an update list that every installer takes for a long while yet.
const std::string kConfiguration = "[setup]\r\ngamename=Vellora\r\nsize=1\r\nexpires=2999-12-31\r\n";
const std::string kList = "[list0]\r\naction=0\r\nexpires=2999-12-31\r\n";
const char kGame[] = "Vellora";

// What the installer itself concludes of `file` and `file`.sig in `role` for `game`.
bool InstallerAccepts(const std::string& publicKeyPath, const std::string& file, SignedRole role,
                      const char* game = kGame)
{
    uint8_t key[kPublicKeySize];
    uint8_t digest[kSha256Size];
    uint8_t signature[kSignatureSize];
    std::string error, bytes, sig;
    if (!LoadPublicKey(publicKeyPath, key, &error) || !ReadFileBytes(file, &bytes) ||
        !ReadFileBytes(file + ".sig", &sig) || sig.size() != kSignatureSize)
        return false;
    SignedFileDigest(role, game, bytes.data(), bytes.size(), digest);
    memcpy(signature, sig.data(), kSignatureSize);
    return VerifyP256(key, digest, signature);
}

// "YYYY-MM-DD", `days` from today (UTC).
std::string DateFromToday(int days)
{
    const time_t then = time(nullptr) + static_cast<time_t>(days) * 86400;
    char text[16];
    strftime(text, sizeof text, "%Y-%m-%d", gmtime(&then));
    return text;
}

#ifdef _WIN32
// True when the file's DACL allows the current user in and nobody else but SYSTEM: Wine keeps no
// DACL of its own for a file here and shows one made from the Unix mode, with SYSTEM always in it.
bool OnlyTheUserMayOpen(const std::string& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    HANDLE token = nullptr;
    union {
        TOKEN_USER user;
        char bytes[256];
    } me;
    DWORD size = 0;
    bool read = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
                dacl && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                GetTokenInformation(token, TokenUser, &me, sizeof me, &size);
    bool user = false, others = false;
    for (DWORD i = 0; read && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        user = user || EqualSid(sid, me.user.User.Sid);
        others = others || !(EqualSid(sid, me.user.User.Sid) || IsWellKnownSid(sid, WinLocalSystemSid));
    }
    if (token)
        CloseHandle(token);
    LocalFree(descriptor);
    return read && user && !others;
}
#endif

}  // namespace

// In either encoding: the .xz one in blocks (5 MiB of levels make two), decoded on threads.
TEST_F(Pkgtool, RoundTripGivesTheTreeLoweredWithoutItsRootAndNestedFilesDecoded)
{
    const std::string big = RandomBytes(300000);
    const std::string level = SampleText() + SampleText();
    // 5 MiB of 16-byte lines, each 64 KiB of them alike: cheap to pack even encrypted block by
    // block, and every block's place tells in the output.
    std::string levels;
    for (uint32_t i = 0; levels.size() < (5u << 20); ++i) {
        char line[17];
        snprintf(line, sizeof line, "level %9u\n", i / 4096);
        levels += line;
    }
    Put("Game/README.TXT", "read me\n");
    Put("Game/Res/Sub/Big.bin", big);
    Put("Game/Res/Pack.7z", EncodeLzmaAlone(SampleText(), LzmaEnd::Marker));  // taken as it is
    Put("Game/Data/Level.R", level);                                           // nested by pkgtool
    Put("Game/Data/Levels.dat", levels);
    Put("Game/Empty.dat", "");
    Put("Game/" + kGbkName, "gbk");
    CreateOneDirectory(Path("Game/" + kGbkFolder).c_str());
    Put("Game/" + kGbkTrailName, "trail bytes");
    CreateOneDirectory(Path("Game/Saves").c_str());

    for (const char* format : {"lzma", "xz"}) {
        SCOPED_TRACE(format);
        const std::string name = std::string(format) + ".pak", folder = std::string("install-") + format;
        const std::vector<std::string> packing = {"pack", Path("Game"), "-o", Path(name), "--nest", "*.r",
                                                  "--level", "1", "--format", format};
        ProgramRun pack = Run(packing);
        ASSERT_EQ(pack.status, 0) << pack.err;
        EXPECT_EQ(pack.err, "");
        // The lines for the update list describe the file written.
        const std::string package = Read(name);
        EXPECT_NE(pack.out.find("\nsize=" + std::to_string(package.size()) + "\nsha256=" + Sha256Hex(package) + "\n"),
                  std::string::npos) << pack.out;
        EXPECT_NE(pack.out.find(std::string(" bytes, ") + format + ": "), std::string::npos) << pack.out;
        ProgramRun extract = Run({"extract", Path(name), Path(folder)});
        ASSERT_EQ(extract.status, 0) << extract.err;
        EXPECT_EQ(extract.err, "");

        Paths expected = {"data/", "data/level.r", "data/levels.dat", "empty.dat", "readme.txt", "res/",
                          "res/pack.r", "res/sub/", "res/sub/big.bin", "saves/", kGbkName, kGbkFolder + "/",
                          kGbkTrailName};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListTree(Path(folder)), expected);  // the package's copy is gone, like the installer's
        EXPECT_EQ(Read(folder + "/readme.txt"), "read me\n");
        EXPECT_EQ(Read(folder + "/res/sub/big.bin"), big);
        EXPECT_EQ(Read(folder + "/res/pack.r"), SampleText());
        EXPECT_EQ(Read(folder + "/data/level.r"), level);
        EXPECT_TRUE(Read(folder + "/data/levels.dat") == levels);
        EXPECT_EQ(Read(folder + "/empty.dat"), "");
        EXPECT_EQ(Read(folder + "/" + kGbkName), "gbk");
        EXPECT_EQ(Read(folder + "/" + kGbkTrailName), "trail bytes");
        EXPECT_TRUE(FileExists(Path(name)));  // extract works on a copy

        // The same folder packs to the same bytes, on any number of cores.
        std::vector<std::string> again = packing;
        again[3] = Path("again.pak");
        ASSERT_EQ(Run(again).status, 0);
        EXPECT_TRUE(Read("again.pak") == package);
    }
    EXPECT_NE(Read("lzma.pak").substr(0, 6), Read("xz.pak").substr(0, 6));
}

TEST_F(Pkgtool, ListPrintsTheLoweredKeysInOrderWithOffsetAndSize)
{
    Put("Tiny/B.txt", "bb");
    Put("Tiny/a.txt", "a");
    ASSERT_EQ(Run({"pack", Path("Tiny"), "-o", Path("tiny.pak")}).status, 0);
    ProgramRun list = Run({"list", Path("tiny.pak")});
    EXPECT_EQ(list.status, 0);
    // The table (4 + 2 x 268 bytes) comes first; the entries' bytes follow in key order.
    EXPECT_EQ(list.out, "       540          1  tiny\\a.txt\n       541          2  tiny\\b.txt\n");
    EXPECT_EQ(list.err, "");

    ASSERT_EQ(Run({"pack", Path("Tiny"), "-o", Path("other.pak"), "--root", "Other"}).status, 0);
    EXPECT_NE(Run({"list", Path("other.pak")}).out.find("other\\b.txt"), std::string::npos);
}

TEST_F(Pkgtool, CommandLineConventions)
{
    for (const std::vector<std::string>& asking : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"pack", "--help"}, {"list", "--help"}, {"extract", Path("p"), "-h"}}) {
        ProgramRun help = Run(asking);
        EXPECT_EQ(help.status, 0) << asking.back();
        EXPECT_EQ(help.out.rfind("usage: pkgtool pack DIR -o PACKAGE", 0), 0u) << asking.back();
        EXPECT_EQ(help.err, "") << asking.back();
    }

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"pack", Path("x")}, {"pack", Path("x"), "-o", Path("y"), "--level", "12"},
             {"pack", Path("x"), "-o"}, {"pack", Path("x"), "-o", Path("y"), "--bogus"},
             {"pack", Path("x"), "-o", Path("y"), "--format", "zip"}, {"pack", Path("x"), "-o", Path("y"), "--format"},
             {"list"}, {"extract", "p"},
             {"keygen"}, {"keygen", Path("k"), Path("l")}, {"sign", Path("k")}, {"verify", Path("k.pub")},
             {"release", Path("d"), Path("g")}, {"check"}, {"check", "http://x/", "--key", Path("k.pub")},
             {"sign", Path("k"), Path("f")}, {"verify", Path("k.pub"), "--game", "G"}}) {
        ProgramRun run = Run(wrong);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("pkgtool: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }

    Put("junk.bin", "\xFFthis is no package");
    for (const std::vector<std::string>& failing : std::vector<std::vector<std::string>>{
             {"pack", Path("missing"), "-o", Path("m.pak")}, {"list", Path("missing.pak")}, {"list", Path("junk.bin")},
             {"extract", Path("junk.bin"), Path("out")}}) {
        ProgramRun run = Run(failing);
        EXPECT_EQ(run.status, 1) << failing[0];
        EXPECT_EQ(run.err.rfind("pkgtool: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_TRUE(FileExists(Path("out/junk.bin")));  // like the installer: a failed package stays
}

TEST_F(Pkgtool, PackRefusesWhatTheInstallerWouldNotGiveBackAsItIs)
{
    Put("Dot7z/a.7z.txt", "x");
    ExpectPackRefused("Dot7z", "\".7z\"");
    Put("Collide/a.7z", "x");
    Put("Collide/a.r", "y");
    ExpectPackRefused("Collide", "would both be installed as a.r");
    Put("Nest/data.bin", "x");
    ExpectPackRefused("Nest", "only files ending in \".r\"", {"--nest", "*.bin"});
    ExpectPackRefused("Nest", "no file matches", {"--nest", "*.r"});
    CreateOneDirectory(Path("Empty").c_str());
    ExpectPackRefused("Empty", "holds no files");
#ifndef _WIN32
    // Names that Windows itself would not hold.
    Put("Devices/nul.txt", "x");
    ExpectPackRefused("Devices", "refuses this name");
    Put("Lone/a\x81", "x");  // a lead byte without its trail byte
    ExpectPackRefused("Lone", "refuses this name");
    Put("Case/A.txt", "x");  // only a case-sensitive file system holds both
    Put("Case/a.txt", "y");
    ExpectPackRefused("Case", "would both be installed as a.txt");
    // 259 bytes with the top-level folder on disk, one more in the table: the ".7z" of a nested
    // ".r", or the closing backslash of an empty folder.
    Put("Long/d/" + std::string(250, 'n') + ".r", "x");
    ExpectPackRefused("Long", "longer than a package entry holds", {"--nest", "*.r"});
    Put("LongFolder/x.txt", "x");
    CreateOneDirectory(Path("LongFolder/d").c_str());
    CreateOneDirectory(Path("LongFolder/d/" + std::string(246, 'e')).c_str());
    ExpectPackRefused("LongFolder", "longer than a package entry holds");
#endif

    // Offsets are 32-bit: 4 GiB in one file or 5 GiB in two are refused before a byte is read.
    PutSparse("Huge/4GiB.bin", 4ull << 30);
    ExpectPackRefused("Huge", "larger than a package entry holds (4 GiB)");
    PutSparse("Huger/a.bin", 5ull << 29);
    PutSparse("Huger/b.bin", 5ull << 29);
    ExpectPackRefused("Huger", "the content is larger than a package holds (4 GiB)");

    Put("Inside/a.txt", "x");
    ASSERT_EQ(Run({"pack", Path("Inside"), "-o", Path("Inside/self.pak")}).status, 0);
    ProgramRun again = Run({"pack", Path("Inside"), "-o", Path("Inside/self.pak")});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("write the package elsewhere"), std::string::npos) << again.err;
    ProgramRun extract = Run({"extract", Path("Inside/self.pak"), Path("Inside")});
    EXPECT_EQ(extract.status, 1);
    EXPECT_NE(extract.err.find("would delete it"), std::string::npos) << extract.err;
}

#ifndef _WIN32
TEST_F(Pkgtool, FailuresWhileWritingSayWhyOnOneLine)
{
    // A file that is not the size it claims: a nested one fails while it is compressed.
    Put("Proc/a.txt", "x");
    ASSERT_EQ(symlink("/proc/self/status", Path("Proc/status.r").c_str()), 0);
    ExpectPackRefused("Proc", "changed while packing", {"--nest", "*.r"});

    // A disk that fills up when the last bytes are flushed, as the package is closed: the file-size
    // limit stands in for it (the package stays below the stream's buffer until then).
    Put("Small/a.bin", RandomBytes(2500));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 2048;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    ProgramRun run = Run({"pack", Path("Small"), "-o", Path("Small.pak")});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("pkgtool: cannot write " + Path("Small.pak"), 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(FileExists(Path("Small.pak")));
}
#endif

TEST_F(Pkgtool, KeygenSignVerifyRoundTrip)
{
    ProgramRun keygen = Run({"keygen", Path("my.key")});
    ASSERT_EQ(keygen.status, 0) << keygen.err;
    EXPECT_EQ(keygen.err, "");
    EXPECT_NE(keygen.out.find("-DINSTALLER_PUBLISHER_KEYS=" + Path("my.key.pub") + "\n"), std::string::npos);
    EXPECT_EQ(Read("my.key.pub").rfind("# Vellora publisher public key (ECDSA P-256)", 0), 0u);
    const std::string privateText = Read("my.key");
    const size_t line = privateText.find("\necdsa-p256-private ");
    ASSERT_NE(line, std::string::npos) << privateText;
    const std::string d = privateText.substr(line + 20 + 128, 64);  // after X and Y
#ifdef _WIN32
    EXPECT_TRUE(OnlyTheUserMayOpen(Path("my.key")));
    EXPECT_FALSE(OnlyTheUserMayOpen(Path("my.key.pub")));
#else
    struct stat st;
    ASSERT_EQ(stat(Path("my.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif

    Put("a.ini", kConfiguration);
    Put("b.txt", kList);
    ProgramRun sign = Run({"sign", Path("my.key"), "--game", kGame, Path("a.ini"), Path("b.txt")});
    EXPECT_EQ(sign.status, 0) << sign.err;
    EXPECT_EQ(sign.err, "");
    EXPECT_EQ(std::count(sign.out.begin(), sign.out.end(), '\n'), 2) << sign.out;
    ProgramRun verify = Run({"verify", Path("my.key.pub"), Path("a.ini"), Path("b.txt"), "--game", kGame});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.out, Path("a.ini") + ": good signature of the configuration of Vellora (" + Path("my.key.pub") +
                              ")\n" + Path("b.txt") + ": good signature of the update list of Vellora (" +
                              Path("my.key.pub") + ")\n");
    EXPECT_TRUE(InstallerAccepts(Path("my.key.pub"), Path("a.ini"), SignedRole::Configuration));
    EXPECT_TRUE(InstallerAccepts(Path("my.key.pub"), Path("b.txt"), SignedRole::UpdateList));
    EXPECT_FALSE(InstallerAccepts(Path("my.key.pub"), Path("b.txt"), SignedRole::Configuration));
    EXPECT_FALSE(InstallerAccepts(Path("my.key.pub"), Path("b.txt"), SignedRole::UpdateList, "Other"));
    for (const std::string& output : {keygen.out, sign.out, sign.err, verify.out})
        EXPECT_EQ(output.find(d), std::string::npos) << "the private key was shown";
}

// What every installer would refuse is not signed; a date soon to pass is signed with a warning.
TEST_F(Pkgtool, SignRefusesFilesNoInstallerTakesAndWarnsOfADateSoonToPass)
{
    struct Case {
        std::string text;
        std::string expected;  // in the one line on standard error
        bool signs;
    } cases[] = {
        {"[setup]\r\nsize=1\r\n", "has no expires=YYYY-MM-DD in [setup]", false},
        {"[list0]\r\naction=0\r\n[other]\r\nexpires=2999-12-31\r\n", "has no expires=YYYY-MM-DD in [list0]", false},
        {"[setup]\r\nexpires=" + DateFromToday(-1) + "\r\n", "expired on " + DateFromToday(-1), false},
        {"[setup]\r\nexpires=2026-02-30\r\n", "no date of the form YYYY-MM-DD", false},
        {"[config]\r\n1.0=http://x/\r\n", "neither a [setup] nor a [list0] section", false},
        {kConfiguration + kList, "both a [setup] and a [list0] section", false},
        {"[setup]\r\nexpires=" + DateFromToday(5) + "\r\n", "warning: ", true},
        {"[list0]\r\nexpires=" + DateFromToday(0) + "\r\n", "in 0 days", true},
    };
    int count = 0;
    for (const Case& c : cases) {
        const std::string name = "f" + std::to_string(++count) + ".txt";
        Put(name, c.text);
        ProgramRun run = Run({"sign", TestKeyPath("test-publisher.key"), "--game", kGame, Path(name)});
        EXPECT_EQ(run.status, c.signs ? 0 : 1) << c.text;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.text << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(FileExists(Path(name + ".sig")), c.signs) << c.text;
    }
}

TEST_F(Pkgtool, VerifyRefusesEverySignatureButTheKeysOwnOfTheseBytesForThisGame)
{
    Put("data.txt", kList);
    ProgramRun signing = Run({"sign", TestKeyPath("test-publisher.key"), "--game", kGame, Path("data.txt")});
    ASSERT_EQ(signing.status, 0) << signing.err;
    ASSERT_EQ(Run({"verify", TestKeyPath("test-publisher.key.pub"), "--game", kGame, Path("data.txt")}).status, 0);
    const std::string sig = Read("data.txt.sig");
    std::string flipped = kList;
    flipped[kList.size() - 4] ^= 0x01;

    struct Case {
        const char* file;
        std::optional<std::string> bytes, sig;
        const char* key;
        const char* game;
        const char* expected;
    } cases[] = {
        {"flipped.txt", flipped, sig, "test-publisher.key.pub", kGame, "BAD signature"},
        {"other.txt", kList, sig, "test-other.key.pub", kGame, "BAD signature"},
        {"game.txt", kList, sig, "test-publisher.key.pub", "Other", "BAD signature"},
        {"unsigned.txt", kList, std::nullopt, "test-publisher.key.pub", kGame, "unsigned.txt.sig is missing"},
        {"short.txt", kList, sig.substr(0, 63), "test-publisher.key.pub", kGame, "63 bytes instead of 64"},
        {"long.txt", kList, sig + "x", "test-publisher.key.pub", kGame, "more than 64 bytes"},
        {"absent.txt", std::nullopt, sig, "test-publisher.key.pub", kGame, "absent.txt: No such file"},
        {"private.txt", kList, sig, "test-publisher.key", kGame, "this is a private key"},
        {"nokey.txt", kList, sig, "no-such.key.pub", kGame, "cannot read"},
    };
    for (const Case& c : cases) {
        if (c.bytes)
            Put(c.file, *c.bytes);
        if (c.sig)
            Put(std::string(c.file) + ".sig", *c.sig);
        ProgramRun run = Run({"verify", TestKeyPath(c.key), "--game", c.game, Path(c.file)});
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_EQ(run.out, "") << c.file;
        EXPECT_EQ(run.err.rfind("pkgtool: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.file << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST_F(Pkgtool, SignRefusesKeysThatCannotSignAndKeygenNeverOverwritesOne)
{
    std::string privateText;
    ASSERT_TRUE(ReadFileBytes(TestKeyPath("test-publisher.key"), &privateText));
    std::string otherPoint;
    ASSERT_TRUE(ReadFileBytes(TestKeyPath("test-other.key.pub"), &otherPoint));
    const size_t at = privateText.find("ecdsa-p256-private ") + 19;
    const std::string d = privateText.substr(at + 128, 64);
    const std::string otherXY = otherPoint.substr(otherPoint.find("ecdsa-p256-public ") + 18, 128);
    Put("mixed.key", privateText.substr(0, at) + otherXY + d + "\n");
    Put("short.key", privateText.substr(0, at) + privateText.substr(at + 1));
    Put("two.key", privateText + privateText.substr(privateText.find("ecdsa-p256-private")));
    Put("file.txt", kConfiguration);
    struct Case {
        std::string key;
        const char* expected;
    } cases[] = {
        {TestKeyPath("test-publisher.key.pub"), "this is a public key"},
        {Path("mixed.key"), "does not belong to its private half"},  // X, Y of another key
        {Path("short.key"), "must be 192 hex digits"},
        {Path("two.key"), "second key"},
        {Path("none.key"), "cannot read"},
    };
    for (const Case& c : cases) {
        ProgramRun run = Run({"sign", c.key, "--game", kGame, Path("file.txt")});
        EXPECT_EQ(run.status, 1) << c.key;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.find(d), std::string::npos) << "the private key was shown";
    }
    EXPECT_FALSE(FileExists(Path("file.txt.sig")));
    std::string upper = privateText;
    std::transform(upper.begin() + at, upper.end(), upper.begin() + at, [](char c) { return toupper(c); });
    Put("upper.key", "\xEF\xBB\xBF" + upper);  // upper case, and the byte-order mark Notepad writes
    EXPECT_EQ(Run({"sign", Path("upper.key"), "--game", kGame, Path("file.txt")}).status, 0);

    Put("old.key", "old");
    Put("old2.key.pub", "pub");
    for (const char* name : {"old.key", "old2.key"}) {
        ProgramRun run = Run({"keygen", Path(name)});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("exists already"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(Read("old.key"), "old");
    EXPECT_EQ(Read("old2.key.pub"), "pub");
    EXPECT_FALSE(FileExists(Path("old.key.pub")));
    EXPECT_FALSE(FileExists(Path("old2.key")));
}

// OpenSSL (Linux) and CNG (Windows) signatures of the committed key check in both builds.
TEST_F(Pkgtool, SignaturesOfEitherBackendCheckWithTheOther)
{
    for (const char* name : {"signed-by-openssl.txt", "signed-by-cng.txt"}) {
        ProgramRun run = Run({"verify", TestKeyPath("test-publisher.key.pub"), "--game", kGame, TestKeyPath(name)});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_TRUE(InstallerAccepts(TestKeyPath("test-publisher.key.pub"), TestKeyPath(name), SignedRole::Configuration))
            << name;
        EXPECT_FALSE(InstallerAccepts(TestKeyPath("test-other.key.pub"), TestKeyPath(name), SignedRole::Configuration))
            << name;
    }
    PrivateKey key;
    uint8_t publicKey[kPublicKeySize];
    std::string error;
    ASSERT_TRUE(LoadPrivateKey(TestKeyPath("test-publisher.key"), &key, &error)) << error;
    ASSERT_TRUE(LoadPublicKey(TestKeyPath("test-publisher.key.pub"), publicKey, &error)) << error;
    EXPECT_EQ(memcmp(key.publicKey, publicKey, kPublicKeySize), 0);
}

// More content than a 32-bit process has address space: a sparse file of zeros packs small and
// decodes fast. ExtractPackage installs it in this process, on every build, and its memory stays
// at a chunk, the directory and the dictionary: far below the content.
TEST_F(Pkgtool, AGameOfMoreThan2GiBInstallsInLittleMemory)
{
    const uint64_t size = 2100ull << 20;
    PutSparse("Big/Game/data/zeros.bin", size);
    Put("Big/Game/readme.txt", "read me");
    ASSERT_TRUE(CreateOneDirectory(Path("Big/install").c_str()));
    ProgramRun packed = Run({"pack", Path("Big/Game"), "-o", Path("Big/install/game.pak"), "--level", "0"});
    ASSERT_EQ(packed.status, 0) << packed.err;

    struct Quiet final : ProgressSink {
        void Post(unsigned) override {}
        void Pause(unsigned) override {}
    } quiet;
    const std::string installDir = Path("Big/install") + "\\";
    ASSERT_EQ(ExtractPackage(quiet, "game.pak", installDir.c_str()), 0);
    EXPECT_EQ(Read("Big/install/readme.txt"), "read me");
    std::error_code error;
    EXPECT_EQ(std::filesystem::file_size(Path("Big/install/data/zeros.bin"), error), size);
    EXPECT_FALSE(FileExists(Path("Big/install/game.pak")));
    const uint64_t peak = PeakMemoryBytes();
    RecordProperty("peak_memory_mib", std::to_string(peak >> 20));
    EXPECT_LT(peak, 400ull << 20) << (peak >> 20) << " MiB";
}
