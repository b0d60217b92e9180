// Writes the committed sample files of tests/data/package (run by hand, not a test):
//   make_package_samples <folder>
// tests/data/package/README.md lists what each one must give.
#include "package_test_support.h"
#include "support/test_support.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_package_samples <folder>\n");
        return 2;
    }
    const std::string text = SampleText();
    const std::string known = EncodeLzmaAlone(text, LzmaEnd::Size);
    const std::vector<NamedData> twoEntries = {{"Root\\Data\\A.TXT", "first entry"}, {"root\\Readme.txt", "hello"}};

    std::vector<std::pair<std::string, std::string>> samples = {
        {"good-known-size.lzma", known},
        {"good-known-size-end-marker.lzma", EncodeLzmaAlone(text, LzmaEnd::SizeAndMarker)},
        {"good-unknown-size.lzma", EncodeLzmaAlone(text, LzmaEnd::Marker)},
        {"good-trailing-bytes.lzma", known + "trailing bytes"},
        {"good-small-dictionary.lzma", EncodeLzmaAlone(text, LzmaEnd::Size, 1)},
        {"good-zero-size.lzma", LzmaHeader(0x5D, 1 << 16, 0)},
        {"bad-empty.lzma", ""},
        {"bad-header-12-bytes.lzma", known.substr(0, 12)},
        {"bad-properties-225.lzma", LzmaHeader(225, 1 << 16, 5) + known.substr(13)},
        {"bad-lc-lp-over-4.lzma", LzmaHeader(4 + 1 * 9, 1 << 16, text.size()) + known.substr(13)},
        {"bad-truncated.lzma", known.substr(0, known.size() / 2)},
        {"bad-size-larger-than-stream.lzma", LzmaHeader(0x5D, 1 << 16, text.size() + 1) + known.substr(13)},
        {"bad-no-end-marker.lzma", LzmaHeader(0x5D, 1 << 16, UINT64_MAX) + known.substr(13)},
        {"good-two-entries.lzma", MakePackage(twoEntries)},
    };

    // .xz: pkgtool's encoding in blocks of 256 bytes (four for the sample text).
    const std::string blocks = EncodePackageFile(text, PackageEncoding::Xz, 6, 256);
    const size_t firstBlock = 12, firstBlockData = firstBlock + (static_cast<uint8_t>(blocks[firstBlock]) + 1) * 4u;
    const uint32_t backwardSize = static_cast<uint8_t>(blocks[blocks.size() - 8]) |
                                  static_cast<uint8_t>(blocks[blocks.size() - 7]) << 8;  // index / 4 - 1
    const size_t lastCheck = blocks.size() - 12 - (backwardSize + 1) * 4 - 8;
    std::string damagedBlock = blocks, damagedCheck = blocks;
    damagedBlock[firstBlockData + 10] ^= 0x20;
    damagedCheck[lastCheck] ^= 0x01;
    samples.insert(samples.end(), {
        {"good-blocks.xz", blocks},
        {"good-one-block-without-sizes.xz", EncodeXzOneBlock(text)},
        {"good-trailing-bytes.xz", blocks + "trailing bytes"},
        {"good-empty.xz", EncodePackageFile("", PackageEncoding::Xz, 6, 256)},
        {"bad-magic-only.xz", blocks.substr(0, 12)},
        {"bad-truncated.xz", blocks.substr(0, blocks.size() / 2)},
        {"bad-no-index.xz", blocks.substr(0, lastCheck + 8)},
        {"bad-damaged-block.xz", damagedBlock},
        {"bad-damaged-check.xz", damagedCheck},
        {"bad-no-check.xz", EncodeXzOneBlock(text, false)},
    });

    const std::string two = BuildContent(twoEntries);
    std::string noNul = two;
    noNul.replace(4, 260, std::string(260, 'N'));
    std::string badRange = two;
    PutLe32(badRange, 4 + 264, 1000);  // first entry's size
    std::string negative = two;
    PutLe32(negative, 0, 0xFFFFFFFF);
    std::string sealedTwo = SealPackage(two);

    samples.insert(samples.end(), {
        {"good-two-entries.pak", sealedTwo},
        {"good-duplicate-names.pak",
         SealPackage(BuildContent({{"Root\\Data\\A.TXT", "first"}, {"root\\data\\a.txt", "second"}}))},
        {"good-empty-body.pak", SealPackage("", 0)},
        {"bad-body-length.pak", sealedTwo.substr(0, sealedTwo.size() - 1)},
        {"bad-name-without-nul.pak", SealPackage(noNul)},
        {"bad-entry-range.pak", SealPackage(badRange)},
        {"bad-content-length.pak", SealPackage(two, static_cast<uint32_t>(sealedTwo.size()))},
        {"bad-entry-count.pak", SealPackage(negative)},
    });

    // Whole packages with hostile entry names beside one plain file, Game\ok.txt ("ok").
    const NamedData ok = {"Game\\ok.txt", "ok"};
    auto hostile = [&](std::vector<std::string> names) {
        std::vector<NamedData> entries;
        for (std::string& name : names)
            entries.push_back({name, "evil"});
        entries.push_back(ok);
        return MakePackage(entries);
    };
    samples.insert(samples.end(), {
        {"hostile-traversal.lzma", hostile({"Game\\..\\..\\evil.txt", "Game\\a\\..\\..\\evil.txt",
                                            "Game\\a/../../evil.txt", "Game\\..", "Game\\.\\evil.txt"})},
        {"hostile-absolute.lzma", hostile({"Game\\C:\\evil.txt", "Game\\C:evil.txt", "Game\\\\server\\share\\evil.txt",
                                           "Game\\\\evil.txt", "Game\\/evil.txt"})},
        {"hostile-devices.lzma", hostile({"Game\\CON", "Game\\nul.txt", "Game\\sub\\AUX", "Game\\com1.log",
                                          "Game\\LPT9", "Game\\con .txt", "Game\\CONIN$"})},
        {"hostile-streams.lzma", hostile({"Game\\ok.txt:evil", "Game\\ok.txt::$DATA", "Game\\a:b\\c.txt"})},
        {"hostile-names.lzma", hostile({"Game\\evil.", "Game\\evil ", "Game\\...", "Game\\a*b", "Game\\a?b",
                                        "Game\\a\"b", "Game\\a|b", "Game\\a<b>", "Game\\tab\tname"})},
    });

    for (const auto& [name, bytes] : samples) {
        std::string path = std::string(argv[1]) + PathSeparator() + name;
        if (!WriteFileBytes(path, bytes)) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
