// pkgtool as publishers run it: pack, list and extract, and its command-line conventions.
#include "common/file_system.h"
#include "common/publisher_crypto.h"
#include "package_test_support.h"
#include "packing/publisher_keys.h"
#include "run_program.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

const std::string kGbkName = "\xD6\xD0\xCE\xC4.txt";  // 中文.txt

class Pkgtool : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& args) { return RunProgram(PKGTOOL_PATH, args, dir_.path()); }
    std::string Path(const std::string& relative) const { return dir_ / relative; }

    // Writes a file below the scratch folder, making the folders on the way ("/" separated).
    void Put(const std::string& relative, const std::string& bytes)
    {
        for (size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
            CreateOneDirectory(Path(relative.substr(0, slash)).c_str());
        ASSERT_TRUE(WriteFileBytes(Path(relative), bytes)) << relative;
    }
    std::string Read(const std::string& relative) const
    {
        std::string bytes;
        return ReadFileBytes(Path(relative), &bytes) ? bytes : "<missing>";
    }
    // Packing fails with exactly one line that mentions `expected`.
    void ExpectPackRefused(const std::string& folder, const std::string& expected, std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"pack", Path(folder), "-o", Path(folder + ".pak")};
        args.insert(args.end(), more.begin(), more.end());
        ProgramRun run = Run(args);
        EXPECT_EQ(run.status, 1) << folder;
        EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(FileExists(Path(folder + ".pak")));
    }

    ScratchDir dir_;
};

std::string RandomBytes(size_t size)
{
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

std::string Sha256Hex(const std::string& bytes)
{
    Sha256 hash;
    uint8_t digest[kSha256Size];
    return hash.Update(bytes.data(), bytes.size()) && hash.Final(digest) ? LowerHex(digest, kSha256Size) : "";
}

}  // namespace

TEST_F(Pkgtool, RoundTripGivesTheTreeLoweredWithoutItsRootAndNestedFilesDecoded)
{
    const std::string big = RandomBytes(300000);
    const std::string level = SampleText() + SampleText();
    Put("Game/README.TXT", "read me\n");
    Put("Game/Res/Sub/Big.bin", big);
    Put("Game/Res/Pack.7z", EncodeLzmaAlone(SampleText(), LzmaEnd::Marker));  // taken as it is
    Put("Game/Data/Level.R", level);                                           // nested by pkgtool
    Put("Game/Empty.dat", "");
    Put("Game/" + kGbkName, "gbk");
    CreateOneDirectory(Path("Game/Saves").c_str());

    ProgramRun pack = Run({"pack", Path("Game"), "-o", Path("game.pak"), "--nest", "*.r", "--level", "1"});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.err, "");
    // The lines for the update list describe the file written.
    const std::string package = Read("game.pak");
    EXPECT_NE(pack.out.find("\nsize=" + std::to_string(package.size()) + "\nsha256=" + Sha256Hex(package) + "\n"),
              std::string::npos) << pack.out;
    ProgramRun extract = Run({"extract", Path("game.pak"), Path("install")});
    ASSERT_EQ(extract.status, 0) << extract.err;
    EXPECT_EQ(extract.err, "");

    Paths expected = {"data/", "data/level.r", "empty.dat", "readme.txt", "res/", "res/pack.r", "res/sub/",
                      "res/sub/big.bin", "saves/", kGbkName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListTree(Path("install")), expected);  // the package's copy is gone, like the installer's
    EXPECT_EQ(Read("install/readme.txt"), "read me\n");
    EXPECT_EQ(Read("install/res/sub/big.bin"), big);
    EXPECT_EQ(Read("install/res/pack.r"), SampleText());
    EXPECT_EQ(Read("install/data/level.r"), level);
    EXPECT_EQ(Read("install/empty.dat"), "");
    EXPECT_EQ(Read("install/" + kGbkName), "gbk");
    EXPECT_TRUE(FileExists(Path("game.pak")));  // extract works on a copy

    // The same folder packs to the same bytes.
    ASSERT_EQ(Run({"pack", Path("Game"), "-o", Path("again.pak"), "--nest", "*.r", "--level", "1"}).status, 0);
    EXPECT_EQ(Read("again.pak"), Read("game.pak"));
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
             {"pack", Path("x"), "-o"}, {"pack", Path("x"), "-o", Path("y"), "--bogus"}, {"list"}, {"extract", "p"}}) {
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
