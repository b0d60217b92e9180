// ExtractPackage on the real file system (Wine's under win64): paths, order, progress, nested
// archives, attributes, failures, hostile packages, a full disk, and the writer threads.
#include "common/file_system.h"
#include "package/entry_pool.h"
#include "package/extract.h"
#include "package/package_body.h"
#include "package_test_support.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;
using Values = std::vector<unsigned>;

std::string g_debugText;
void RecordDebugOutput(const char* text) { g_debugText += text; }

// One extraction into `<scratch>\game\`, the package lying there as data.pak.
struct Install {
    ScratchDir scratch;
    std::string dir;  // the installation directory as the job passes it: ending with a backslash
    RecordingSink sink;
    ExtractReport report;
    int result = -1;

    explicit Install(const char* folder = "game") : dir(scratch.path() + "\\" + folder + "\\")
    {
        CreateOneDirectory(dir.c_str());
    }
    std::string Native(const std::string& relative) const { return scratch / relative; }
    bool Put(const std::string& package) { return WriteFileBytes(Native("game/data.pak"), package); }
    int Run(const char* name = "data.pak")
    {
        g_debugText.clear();
        DebugOutputHook previous = SetDebugOutputHook(RecordDebugOutput);
        result = ExtractPackage(sink, name, dir.c_str(), false, &report);
        SetDebugOutputHook(previous);
        return result;
    }
    // The posts rise from 25 to 100, each value once.
    void ExpectFullProgress() const
    {
        ASSERT_GE(sink.posts.size(), 2u);
        EXPECT_EQ(sink.posts.front(), 25u);
        EXPECT_EQ(sink.posts.back(), 100u);
        EXPECT_TRUE(std::is_sorted(sink.posts.begin(), sink.posts.end()) &&
                    std::adjacent_find(sink.posts.begin(), sink.posts.end()) == sink.posts.end());
    }
    std::string Read(const std::string& relative) const
    {
        std::string bytes;
        return ReadFileBytes(Native(relative), &bytes) ? bytes : "<missing>";
    }
};

std::string Text(size_t size, char seed)
{
    std::string text;
    while (text.size() < size)
        text += std::string("line ") + seed + std::to_string(text.size()) + "\n";
    text.resize(size);
    return text;
}

}  // namespace

TEST(ExtractPaths, PackageAndIntermediatePaths)
{
    PackagePaths paths;
    ASSERT_TRUE(FormPackagePaths("D:\\Game\\", "data.pak", &paths));
    EXPECT_STREQ(paths.package, "D:\\Game\\data.pak");
    EXPECT_STREQ(paths.intermediate, "D:\\Game\\data_.rar");
    // The "." is searched in the package's own name: the intermediate file stays beside it.
    ASSERT_TRUE(FormPackagePaths("D:\\Games\\My.Game\\", "pkg", &paths));
    EXPECT_STREQ(paths.package, "D:\\Games\\My.Game\\pkg");
    EXPECT_STREQ(paths.intermediate, "D:\\Games\\My.Game\\pkg_.rar");
    ASSERT_TRUE(FormPackagePaths("D:\\ver.2\\", "sub\\data.pak", &paths));
    EXPECT_STREQ(paths.intermediate, "D:\\ver.2\\sub\\data_.rar");
    // 誠 ends in the byte of a backslash: it is the folder's last character, not a separator.
    ASSERT_TRUE(FormPackagePaths("D:\\\xD5\x5C\\", "data.pak", &paths));
    EXPECT_STREQ(paths.package, "D:\\\xD5\x5C\\data.pak");
    EXPECT_STREQ(paths.intermediate, "D:\\\xD5\x5C\\data_.rar");

    // 1,023 bytes each, and together what the decoding step takes (1,016).
    EXPECT_FALSE(FormPackagePaths(std::string(1016, 'd').c_str(), "data.pak", &paths));
    EXPECT_FALSE(FormPackagePaths(std::string(500, 'd').c_str(), "data.pak", &paths));
    EXPECT_TRUE(FormPackagePaths(std::string(490, 'd').c_str(), "data.pak", &paths));
}

// In either encoding, nested archives included.
TEST(ExtractPackage, WritesEntriesLoweredInKeyOrderAndDecodesNestedArchives)
{
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        SCOPED_TRACE(PackageEncodingName(encoding));
        Install install;
        ASSERT_TRUE(install.Put(MakePackage(
            {
                {"Game\\Readme.TXT", "read me"},
                {"Game\\Res\\Pack.7z", EncodeEither("nested bytes", encoding)},
                {"Game\\a.7z.txt", "not lzma"},  // counts as ".7z": decoded into a.r, whatever that gives
                {"Game\\Data\\Sub\\X.bin", Text(5000, 'x')},
                {"NoBackslash", "targets the installation directory itself"},
                {"Game\\Empty\\", ""},
                {"Game\\\xD5\x5C\xB6\xAB\\\x96\x7C.txt", "gbk"},  // 誠东\東.txt: trail bytes 0x5C and 0x7C
                {"Game\\lone\x81", "a lead byte without its trail byte"},
            },
            encoding)));
        EXPECT_EQ(install.Run(), 0);
        EXPECT_EQ(ListTree(install.Native("game")), (Paths{"a.r", "data/", "data/sub/", "data/sub/x.bin", "empty/",
                                                           "readme.txt", "res/", "res/pack.r", "\xD5\x5C\xB6\xAB/",
                                                           "\xD5\x5C\xB6\xAB/\x96\x7C.txt"}));
        EXPECT_EQ(install.Read("game/\xD5\x5C\xB6\xAB/\x96\x7C.txt"), "gbk");
        EXPECT_EQ(install.Read("game/readme.txt"), "read me");
        EXPECT_EQ(install.Read("game/res/pack.r"), "nested bytes");
        EXPECT_EQ(install.Read("game/a.r"), "");
        EXPECT_EQ(install.Read("game/data/sub/x.bin"), Text(5000, 'x'));
        install.ExpectFullProgress();
        EXPECT_EQ(g_debugText, "");
    }
}

// Reading's 25 points go by bytes (a 20 ms pause each), writing's 50 by entries (10 ms each).
TEST(ExtractPackage, FourEntriesShareTheBarByTheirBytesAndByTheirNumber)
{
    Install install;
    ASSERT_TRUE(install.Put(MakePackage({{"g\\a", "1"}, {"g\\b", "2"}, {"g\\c", "3"}, {"g\\d", "4"}})));
    EXPECT_EQ(install.Run(), 0);
    EXPECT_EQ(install.sink.posts, (Values{25, 31, 43, 49, 62, 68, 80, 87, 99, 100}));
    EXPECT_EQ(install.sink.pauses, (Values{20, 10, 20, 10, 20, 10, 20, 10}));
}

// The table of two entries ends inside a block (4 + 2 x 268 = 540 bytes), so the first entry's
// bytes begin there; the second begins one byte into a block and runs across two chunk ends.
TEST(ExtractPackage, EntriesBeginningInsideABlockAndCrossingChunksAreWrittenByteForByte)
{
    const std::string small = Text(997, 'a'), big = Text(2 * PackageBody::kChunkSize + 1000, 'b');
    Install install;
    ASSERT_TRUE(install.Put(MakePackage({{"Game\\a.txt", small}, {"Game\\b.bin", big}})));
    EXPECT_EQ(install.Run(), 0);
    EXPECT_EQ(install.Read("game/a.txt"), small);
    EXPECT_EQ(install.Read("game/b.bin"), big);
}

TEST(ExtractPackage, InstallationDirectoryHoldingDot7zKeepsTheFilesAsTheyAre)
{
    // The ".7z" search starts in the entry's own part of the path: the user's folder name does not
    // send every file through the decoding (which would delete it and write beside the folder).
    Install install("mods.7z");
    ASSERT_TRUE(WriteFileBytes(install.Native("mods.7z/data.pak"),
                               MakePackage({{"Game\\readme.txt", "kept"}, {"Game\\x.7z", EncodeLzmaAlone("x", LzmaEnd::Size)}})));
    EXPECT_EQ(install.Run(), 0);
    EXPECT_EQ(ListTree(install.scratch.path()), (Paths{"mods.7z/", "mods.7z/readme.txt", "mods.7z/x.r"}));
    EXPECT_EQ(install.Read("mods.7z/readme.txt"), "kept");
}

TEST(ExtractPackage, OverwritesReadOnlyFilesAndKeepsTheirOtherAttributes)
{
    Install install;
    ASSERT_TRUE(CreateOneDirectory(install.Native("game/res").c_str()));
    for (const char* old : {"game/readme.txt", "game/res/pack.r"}) {
        ASSERT_TRUE(WriteFileBytes(install.Native(old), "old"));
        ASSERT_TRUE(SetPathAttributes(install.Native(old).c_str(), kAttributeReadOnly | kAttributeArchive));
    }
    ASSERT_TRUE(install.Put(MakePackage(
        {{"Game\\readme.txt", "new"}, {"Game\\res\\pack.7z", EncodeLzmaAlone("decoded", LzmaEnd::Size)}})));
    EXPECT_EQ(install.Run(), 0);
    EXPECT_EQ(install.Read("game/readme.txt"), "new");
    EXPECT_EQ(install.Read("game/res/pack.r"), "decoded");
    uint32_t attributes = 0;
    ASSERT_TRUE(GetPathAttributes(install.Native("game/readme.txt").c_str(), &attributes));
    EXPECT_EQ(attributes & (kAttributeReadOnly | kAttributeArchive), kAttributeArchive);
}

// Nothing is skipped but refused names: a file or folder that cannot be had as a plain one fails
// the extraction, names itself, keeps the package, and nothing is written through a link.
TEST(ExtractPackage, WhatCannotBeWrittenFailsTheExtractionAndIsNamed)
{
    SetBusyFileWait(200);
    const struct {
        const char* what;
        const char* plant;  // a folder ("dir"), a hard link ("hard"), or a symbolic link to a folder ("folder") or a file ("file") at `at`
        const char* at;     // below the installation directory; "" is the directory itself
        const char* named;  // what the report names, below the installation directory ("": itself)
    } cases[] = {
        {"a folder where a file goes", "dir", "c.txt", "c.txt"},
        {"a hard link to a file elsewhere", "hard", "c.txt", "c.txt"},
        {"a link to a folder elsewhere on the way", "folder", "a", "a"},
        {"the installation directory a link", "folder", "", ""},
#ifndef _WIN32  // Wine shows a symbolic link to a file as the file itself
        {"a link to a file elsewhere", "file", "c.txt", "c.txt"},
#endif
    };
    // In a package of two entries, written by the extraction's thread, and in one of many, whose
    // independent entries the writer threads take (entry_pool.h).
    std::vector<NamedData> few = {{"Game\\a\\b.txt", "b"}, {"Game\\c.txt", "c"}}, many = few;
    for (size_t i = 0; i < kEntriesForThreads; ++i)
        many.push_back({"Game\\f" + std::to_string(i) + ".txt", "f"});
    for (const auto& entries : {few, many}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(entries.size()) + " entries");
            Install install;
            ASSERT_TRUE(WriteFileBytes(install.Native("outside.txt"), "outside"));
            ASSERT_TRUE(CreateOneDirectory(install.Native("elsewhere").c_str()));
            const std::string package = MakePackage(entries);
            std::string at = install.Native("game/" + std::string(c.at));
            if (c.at[0] == '\0') {  // the package lies in the folder the link leads to
                at = install.Native("game");
                RemoveTree(at);
                ASSERT_TRUE(WriteFileBytes(install.Native("elsewhere/data.pak"), package));
            } else {
                ASSERT_TRUE(install.Put(package));
            }
            const std::string plant = c.plant;
            ASSERT_TRUE(plant == "dir" ? CreateOneDirectory(at.c_str())
                        : plant == "hard" ? MakeHardLink(at, install.Native("outside.txt"))
                        : MakeSymbolicLink(at, install.Native(plant == "file" ? "outside.txt" : "elsewhere")));
            EXPECT_EQ(install.Run(), 1);
            EXPECT_EQ(install.report.failedFile, install.dir + c.named);
            EXPECT_EQ(install.Read("outside.txt"), "outside");
            EXPECT_EQ(ListTree(install.Native("elsewhere")), c.at[0] ? Paths{} : Paths{"data.pak"});
            EXPECT_EQ(std::count(install.sink.posts.begin(), install.sink.posts.end(), 100u), 0);
            if (plant != "dir" && plant != "hard")
                RemoveLink(at);
        }
    }
    SetBusyFileWait(5000);
}

TEST(ExtractPackage, NoEntriesReturnsOneAndDeletesNothing)
{
    Install install;
    ASSERT_TRUE(install.Put(EncodeLzmaAlone(SealPackage(std::string(4, '\0')), LzmaEnd::Marker)));  // count 0
    EXPECT_EQ(install.Run(), 1);
    EXPECT_EQ(ListTree(install.Native("game")), (Paths{"data.pak", "data_.rar"}));
    EXPECT_EQ(install.sink.posts, Values{25});
    EXPECT_EQ(g_debugText, "");

    // A package that is no LZMA-alone file: the failed decoding goes to the debugger output, and
    // so does the partial intermediate file.
    ASSERT_TRUE(install.Put("\xFFno package at all"));
    EXPECT_EQ(install.Run(), 1);
    EXPECT_EQ(g_debugText, "解压文件文件" + install.dir + "data.pak 为 " + install.dir + "data_.rar失败");
    EXPECT_EQ(ListTree(install.Native("game")), Paths{"data.pak"});
}

// An intermediate file lying in the folder (planted, and valid) is never read: it goes before the
// decoding, and a decoding that fails fails the extraction.
TEST(ExtractPackage, OnlyAnIntermediateFileThisRunDecodedIsRead)
{
    const std::string planted = SealPackage(BuildContent({{"Game\\planted.exe", "planted"}}));
    for (bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "a package that does not decode" : "a good package");
        Install install;
        std::string package = EncodeLzmaAlone(SealPackage(BuildContent({{"Game\\a.txt", "a"}})), LzmaEnd::Size);
        if (damaged)
            package[5] = static_cast<char>(package[5] + 1);  // declares one byte more than the stream holds
        ASSERT_TRUE(install.Put(package));
        ASSERT_TRUE(WriteFileBytes(install.Native("game/data_.rar"), planted));
        EXPECT_EQ(install.Run(), damaged ? 1 : 0);
        EXPECT_EQ(g_debugText != "", damaged);
        EXPECT_EQ(ListTree(install.Native("game")), damaged ? Paths{"data.pak"} : Paths{"a.txt"});
    }
}

TEST(ExtractPackage, OnlyPlainFoldersAndFilesOfOneNameAreWrittenThrough)
{
    // The decisions for what Wine cannot make: junctions, and symbolic links to files.
    EXPECT_TRUE(IsPlainFolder(kAttributeDirectory));
    EXPECT_FALSE(IsPlainFolder(kAttributeDirectory | kAttributeReparsePoint));
    EXPECT_FALSE(IsPlainFolder(kAttributeArchive));
    EXPECT_TRUE(IsPlainFile(kAttributeArchive | kAttributeReadOnly, 1));
    EXPECT_FALSE(IsPlainFile(kAttributeArchive | kAttributeReparsePoint, 1));
    EXPECT_FALSE(IsPlainFile(kAttributeDirectory, 1));
    EXPECT_FALSE(IsPlainFile(kAttributeArchive, 2));
}

TEST(ExtractPackage, PathsBeyondTheBuffersAreRefusedWithoutTouchingAnything)
{
    RecordingSink sink;
    EXPECT_EQ(ExtractPackage(sink, "data.pak", std::string(1020, 'd').c_str()), 1);
    EXPECT_TRUE(sink.posts.empty());
}

TEST(ExtractPackage, HostileSamplesWriteOnlyTheirPlainFile)
{
    for (const char* sample : {"hostile-traversal.lzma", "hostile-absolute.lzma", "hostile-devices.lzma",
                               "hostile-streams.lzma", "hostile-names.lzma"}) {
        Install install;
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(TestDataPath(std::string("package/") + sample), &bytes)) << sample;
        ASSERT_TRUE(install.Put(bytes));
        EXPECT_EQ(install.Run(), 0) << sample;
        EXPECT_EQ(ListTree(install.scratch.path()), (Paths{"game/", "game/ok.txt"})) << sample;
        EXPECT_EQ(install.Read("game/ok.txt"), "ok") << sample;
    }
}

TEST(ExtractPackage, AFullDiskFailsTheExtractionKeepsThePackageAndDropsTheTruncatedFile)
{
    const std::vector<NamedData> entries = {
        {"Game\\1.bin", Text(1000, '1')}, {"Game\\2.bin", Text(1000, '2')}, {"Game\\3.bin", Text(1000, '3')}};
    const size_t intermediate = SealPackage(BuildContent(entries)).size();
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, PackageEncoding::Xz}) {
        SCOPED_TRACE(PackageEncodingName(encoding));
        {
            Install install;
            ASSERT_TRUE(install.Put(MakePackage(entries, encoding)));
            FileFaults faults;
            faults.writableBytes = intermediate + 1000 + 10;  // 2.bin comes out short
            ScopedFileFaults full(faults);
            EXPECT_EQ(install.Run(), 1);
            EXPECT_EQ(ListTree(install.Native("game")), (Paths{"1.bin", "data.pak"}));
            EXPECT_EQ(std::count(install.sink.posts.begin(), install.sink.posts.end(), 100u), 0);
        }
        {
            // The disk fills up while a nested archive is decoded.
            const std::string nested = EncodeEither(Text(100000, 'n'), encoding);
            const std::vector<NamedData> one = {{"Game\\n.7z", nested}};
            Install install;
            ASSERT_TRUE(install.Put(MakePackage(one, encoding)));
            FileFaults faults;
            faults.writableBytes = SealPackage(BuildContent(one)).size() + nested.size() + 5000;
            ScopedFileFaults full(faults);
            EXPECT_EQ(install.Run(), 1);
            EXPECT_EQ(ListTree(install.Native("game")), Paths{"data.pak"});
        }
    }
}

// A nested archive whose decoder cannot have its dictionary would leave an empty file behind: the
// extraction fails as on a full disk, and the package stays for another try.
TEST(ExtractPackage, ANestedArchiveWithoutMemoryForItsDictionaryFailsTheExtraction)
{
    const std::string nested[] = {
        EncodeLzmaAlone("nested", LzmaEnd::Marker, 16 << 20),
        WithXzDictionary(EncodeEither("nested", PackageEncoding::Xz), 24),  // 16 MiB
    };
    for (const std::string& archive : nested) {
        Install install;
        ASSERT_TRUE(install.Put(MakePackage({{"Game\\a.txt", "a"}, {"Game\\n.7z", archive}})));
        FileFaults faults;
        faults.allocationLimit = 8 << 20;
        ScopedFileFaults scoped(faults);
        EXPECT_EQ(install.Run(), 1);
        EXPECT_EQ(ListTree(install.Native("game")), (Paths{"a.txt", "data.pak"}));
        EXPECT_EQ(std::count(install.sink.posts.begin(), install.sink.posts.end(), 100u), 0);
    }
}

// Which entries the writer threads may take: those whose order cannot change what ends on disk.
TEST(EntryPool, OnlyEntriesThatShareNoPathWithAnotherAreIndependent)
{
    const struct {
        const char* name;
        bool independent;
    } cases[] = {
        {"g\\data\\a.txt", true},
        {"g\\data\\sub\\b.txt", true},
        {"g\\dup.txt", false},  // and h\dup.txt: two roots, one file
        {"h\\dup.txt", false},
        {"g\\pack.7z", false},  // a nested archive decodes into pack.r and is deleted
        {"g\\pack.r", false},   // ...which this entry writes too
        {"g\\x.7z.txt", false},
        {"g\\file", false},     // a file where another entry needs a folder
        {"g\\file\\inner.txt", false},
        {"g\\folder\\", true},  // a folder entry: written by the extraction's thread, but no conflict
        {"g\\folder\\c.txt", true},
        {"g\\\xD6\xD0.txt", false},  // GBK: case rules beyond A..Z are the file system's
        {"g\\progra~1.txt", false},  // a short name could be another file's
        {"g\\data.pak", false},      // the package itself
        {"g\\data_.rar", false},     // the intermediate file
        {"g\\data.pak\\x.txt", false},
        {"g\\..\\evil.txt", false},  // refused: the extraction skips it
    };
    std::vector<PackageDirectoryEntry> directory;
    for (const auto& c : cases)
        directory.push_back({c.name, {0, 0}, 0, 0});
    const std::vector<bool> independent = IndependentEntries(
        directory.data(), directory.size(), "C:\\Game\\", {"C:\\Game\\Data.PAK", "C:\\Game\\data_.rar"});
    for (size_t i = 0; i < directory.size(); ++i) {
        const std::string key = cases[i].name;
        EXPECT_EQ(independent[i], cases[i].independent && key.back() != '\\') << key;
    }
}

// A game of many files: the writer threads take the independent entries, the extraction's thread
// the rest, and the files, the progress and a full disk come out as with one thread.
TEST(EntryPool, ManyFilesInstallAsWithOneThreadAndAFullDiskStillFails)
{
    std::vector<NamedData> entries;
    for (int i = 0; i < 150; ++i)
        entries.push_back({"Game\\Data" + std::to_string(i % 7) + "\\F" + std::to_string(i) + ".txt",
                           Text(3000 + i * 37, static_cast<char>('a' + i % 26))});
    entries.push_back({"Game\\Res\\Pack.7z", EncodeLzmaAlone("nested bytes", LzmaEnd::Marker)});
    entries.push_back({"Game\\Res\\pack.r", "overwritten by the nested archive's output? no: written after it"});
    entries.push_back({"Other\\Data0\\F0.txt", "the later of two roots wins"});
    const std::string package = MakePackage(entries, PackageEncoding::Xz);
    std::map<std::string, std::string> installed[2];  // path -> bytes
    for (unsigned threads : {0u, kEntryWriterThreads}) {
        SCOPED_TRACE(threads);
        SetEntryWriterThreads(threads);
        Install install;
        ASSERT_TRUE(install.Put(package));
        const size_t taken = EntriesWrittenSideBySide();
        EXPECT_EQ(install.Run(), 0);
        EXPECT_EQ(EntriesWrittenSideBySide() - taken, threads ? 149u : 0u) << "all but the four that share a path";
        install.ExpectFullProgress();
        std::map<std::string, std::string>& files = installed[threads != 0];
        for (const std::string& path : ListTree(install.Native("game")))
            files[path] = install.Read("game/" + path);

        // Whatever is left of a run that fills the disk is whole: the package, and complete files.
        FileFaults faults;
        faults.writableBytes = SealPackage(BuildContent(entries)).size() + 200000;  // half the files fit
        ScopedFileFaults full(faults);
        Install filling;
        ASSERT_TRUE(filling.Put(package));
        EXPECT_EQ(filling.Run(), 1);
        EXPECT_EQ(std::count(filling.sink.posts.begin(), filling.sink.posts.end(), 100u), 0);
        const Paths left = ListTree(filling.Native("game"));
        EXPECT_LT(left.size(), files.size());
        for (const std::string& path : left) {
            const std::string bytes = filling.Read("game/" + path);
            bool whole = path.back() == '/' || path == "data.pak" || bytes == "nested bytes";
            for (const auto& entry : entries)
                whole = whole || entry.second == bytes;
            EXPECT_TRUE(whole) << path;
        }
        EXPECT_TRUE(std::find(left.begin(), left.end(), "data.pak") != left.end());
    }
    SetEntryWriterThreads(kEntryWriterThreads);
    EXPECT_TRUE(installed[1] == installed[0]);
    EXPECT_EQ(installed[0]["data0/f0.txt"], "the later of two roots wins");
    EXPECT_EQ(installed[0]["res/pack.r"], "overwritten by the nested archive's output? no: written after it");
}
