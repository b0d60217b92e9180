// DecodeLzmaFile: results, texts and what the output file holds afterwards.
#include "package/lzma_step.h"
#include "package/lzma_stream_decoder.h"
#include "package_test_support.h"
#include "packing/package_encoder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const char kDataError[] = "\nError: Data error\n";
constexpr PackageEncoding kXz = PackageEncoding::Xz;

struct Decoded {
    int result;
    std::string message;
    bool outputExists;
    std::string output;
};

Decoded Decode(const std::string& input, const std::string& output)
{
    char message[kLzmaMessageSize];
    Decoded d;
    d.result = DecodeLzmaFile(input.c_str(), output.c_str(), message);
    d.message = message;
    d.outputExists = ReadFileBytes(output, &d.output);
    return d;
}

Decoded DecodeBytes(const ScratchDir& dir, const std::string& bytes)
{
    EXPECT_TRUE(WriteFileBytes(dir / "in.lzma", bytes));
    return Decode(dir / "in.lzma", dir / "out.bin");
}

// Compressible but not trivial: a few hundred KiB, more than the 64 KiB buffers hold.
std::string LargeData()
{
    std::string data;
    for (unsigned i = 0; data.size() < 300000; ++i)
        data += "block " + std::to_string(i * 2654435761u % 1000) + ";";
    return data;
}

}  // namespace

TEST(LzmaStep, GoodSamplesDecodeToTheSampleText)
{
    const std::pair<const char*, std::string> samples[] = {
        {"good-known-size.lzma", SampleText()},
        {"good-known-size-end-marker.lzma", SampleText()},
        {"good-unknown-size.lzma", SampleText()},
        {"good-trailing-bytes.lzma", SampleText()},    // extra bytes after the stream are ignored
        {"good-small-dictionary.lzma", SampleText()},  // dictionary 1 is used as 4096
        {"good-zero-size.lzma", ""},                   // header only, size 0
        {"good-two-entries.lzma", ""},                 // the container sample, checked below
        {"good-blocks.xz", SampleText()},              // four blocks, decoded on threads
        {"good-one-block-without-sizes.xz", SampleText()},
        {"good-trailing-bytes.xz", SampleText()},
        {"good-empty.xz", ""},
    };
    ScratchDir dir;
    for (const auto& [name, text] : samples) {
        Decoded d = Decode(TestDataPath(std::string("package/") + name), dir / "out.bin");
        EXPECT_EQ(d.result, 0) << name;
        EXPECT_EQ(d.message, "") << name;
        std::string expected = text;
        if (std::string(name) == "good-two-entries.lzma") {
            ASSERT_TRUE(ReadFileBytes(TestDataPath("package/good-two-entries.pak"), &expected));
        }
        EXPECT_EQ(d.output, expected) << name;
    }
}

TEST(LzmaStep, BadSamplesGiveTheirCodeAndKeepTheOutput)
{
    const std::string text = SampleText();
    enum Output { Empty, Prefix, Whole, Any };
    const std::tuple<const char*, const char*, Output> samples[] = {
        {"bad-empty.lzma", "\nError code: 6\n", Empty},
        {"bad-header-12-bytes.lzma", "\nError code: 6\n", Empty},
        {"bad-properties-225.lzma", "\nError code: 4\n", Empty},
        {"bad-lc-lp-over-4.lzma", "\nError code: 4\n", Empty},  // refused by liblzma itself
        {"bad-truncated.lzma", kDataError, Prefix},
        {"bad-size-larger-than-stream.lzma", kDataError, Prefix},
        {"bad-no-end-marker.lzma", kDataError, Whole},  // unknown size: every byte it holds is kept
        {"bad-magic-only.xz", "\nError code: 6\n", Empty},
        {"bad-truncated.xz", kDataError, Prefix},
        {"bad-no-index.xz", kDataError, Prefix},
        {"bad-damaged-block.xz", kDataError, Any},
        {"bad-damaged-check.xz", kDataError, Prefix},
        {"bad-no-check.xz", "\nError code: 4\n", Empty},
    };
    ScratchDir dir;
    for (const auto& [name, message, output] : samples) {
        Decoded d = Decode(TestDataPath(std::string("package/") + name), dir / "out.bin");
        EXPECT_EQ(d.result, 1) << name;
        EXPECT_EQ(d.message, message) << name;
        ASSERT_TRUE(d.outputExists) << name;
        if (output != Any) {
            EXPECT_EQ(d.output, text.substr(0, output == Empty ? 0 : output == Whole ? text.size() : d.output.size()))
                << name;
        }
    }
}

TEST(LzmaStep, LargeStreamsCrossTheBuffersInEveryEndingStyle)
{
    ScratchDir dir;
    const std::string data = LargeData();
    for (LzmaEnd end : {LzmaEnd::Size, LzmaEnd::SizeAndMarker, LzmaEnd::Marker}) {
        Decoded d = DecodeBytes(dir, EncodeLzmaAlone(data, end) + std::string(70000, 'x'));
        EXPECT_EQ(d.result, 0);
        EXPECT_EQ(d.message, "");
        EXPECT_EQ(d.output, data);
    }
    // A known size one byte short of the stream: the stream does not end there.
    std::string sized = EncodeLzmaAlone(data, LzmaEnd::Size);
    Decoded d = DecodeBytes(dir, LzmaHeader(0x5D, 1 << 16, data.size() - 1) + sized.substr(13));
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.message, kDataError);
}

TEST(LzmaStep, FilesThatCannotBeOpened)
{
    ScratchDir dir;
    Decoded d = Decode(dir / "missing.lzma", dir / "out.bin");
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.message, "\nError: Can not open input file\n");
    EXPECT_FALSE(d.outputExists);

    ASSERT_TRUE(WriteFileBytes(dir / "in.lzma", EncodeLzmaAlone("x", LzmaEnd::Marker)));
    d = Decode(dir / "in.lzma", dir / "no-such-folder/out.bin");
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.message, "\nError: Can not open output file\n");
}

TEST(LzmaStep, PathsBeyondTheLimitAreRefusedBeforeAnyFileIsTouched)
{
    ScratchDir dir;
    std::string input = dir / "in.lzma";
    ASSERT_TRUE(WriteFileBytes(input, EncodeLzmaAlone("x", LzmaEnd::Marker)));
    std::string output = dir / "o";
    output += std::string(kLzmaPathLimit - input.size() - output.size(), 'o');  // exactly at the limit
    ASSERT_EQ(input.size() + output.size(), kLzmaPathLimit);

    Decoded d = Decode(input, output + "o");
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.message, "\nError: Path too long\n");

    // At the limit the paths go through (the system may still refuse a name that long).
    d = Decode(input, output);
    EXPECT_NE(d.message, "\nError: Path too long\n");
}

TEST(LzmaStep, ReadAndWriteFailures)
{
    ScratchDir dir;
    const std::string data = LargeData();
    for (PackageEncoding encoding : {PackageEncoding::LzmaAlone, kXz}) {
        SCOPED_TRACE(PackageEncodingName(encoding));
        ASSERT_TRUE(WriteFileBytes(dir / "in.lzma", EncodeEither(data, encoding)));
        FileFaults faults;
        for (uint64_t readable : {5, 2000}) {  // inside the header, inside the stream
            faults.readableBytes = readable;
            ScopedFileFaults scoped(faults);
            EXPECT_EQ(Decode(dir / "in.lzma", dir / "out.bin").message, "\nError: Can not read input file\n");
        }
        faults = FileFaults();
        faults.writableBytes = 100000;  // the disk fills up in the second buffer
        ScopedFileFaults scoped(faults);
        Decoded d = Decode(dir / "in.lzma", dir / "out.bin");
        EXPECT_EQ(d.result, 1);
        EXPECT_EQ(d.message, "\nError: Can not write output file\n");
        EXPECT_EQ(d.output, data.substr(0, 100000));
    }
}

TEST(LzmaStep, TheTextGoesToStandardOutput)
{
    ScratchDir dir;
    testing::internal::CaptureStdout();
    int result = DecodeLzmaFile((dir / "missing.lzma").c_str(), (dir / "out.bin").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nError: Can not open input file\n");
    EXPECT_EQ(result, 1);

    ASSERT_TRUE(WriteFileBytes(dir / "in.lzma", EncodeLzmaAlone("x", LzmaEnd::Marker)));
    testing::internal::CaptureStdout();
    result = DecodeLzmaFile((dir / "in.lzma").c_str(), (dir / "out.bin").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(result, 0);
}

// The decoder fed from memory, as a download hands a package over, in pieces of any size: a clean
// finish exactly where DecodeLzmaFile succeeds, with the same output, for every committed sample
// and a large stream.
TEST(LzmaStreamDecoder, FinishesCleanlyExactlyWhereTheFileStepSucceedsWithTheSameOutput)
{
    ScratchDir dir;
    std::vector<std::pair<std::string, std::string>> inputs;  // name, bytes
    for (const char* name : {"good-known-size", "good-known-size-end-marker", "good-small-dictionary",
                             "good-trailing-bytes", "good-two-entries", "good-unknown-size", "good-zero-size",
                             "bad-empty", "bad-header-12-bytes", "bad-lc-lp-over-4", "bad-no-end-marker",
                             "bad-properties-225", "bad-size-larger-than-stream", "bad-truncated",
                             "good-blocks.xz", "good-one-block-without-sizes.xz", "good-trailing-bytes.xz",
                             "good-empty.xz", "bad-magic-only.xz", "bad-truncated.xz", "bad-no-index.xz",
                             "bad-damaged-check.xz", "bad-no-check.xz"}) {
        const std::string file = strchr(name, '.') ? name : std::string(name) + ".lzma";
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(TestDataPath("package/" + file), &bytes)) << name;
        inputs.emplace_back(name, bytes);
    }
    for (const std::string& large : {EncodeLzmaAlone(LargeData(), LzmaEnd::Size),
                                     EncodeLzmaAlone(LargeData(), LzmaEnd::Marker), EncodeEither(LargeData(), kXz)}) {
        inputs.emplace_back("large", large);
        inputs.emplace_back("large cut short", large.substr(0, large.size() - 100));
    }
    for (const auto& [name, bytes] : inputs) {
        const Decoded expected = DecodeBytes(dir, bytes);
        for (size_t piece : {size_t{1}, size_t{13}, size_t{4000}, size_t{1} << 20}) {
            if (piece == 1 && bytes.size() > 10000)
                continue;
            SCOPED_TRACE(name + " in pieces of " + std::to_string(piece));
            LzmaStreamDecoder decoder;
            ASSERT_TRUE(decoder.Open((dir / "streamed.bin").c_str()));
            for (size_t at = 0; at < bytes.size(); at += piece)
                decoder.Feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at, std::min(piece, bytes.size() - at));
            EXPECT_EQ(decoder.Finish(), expected.result == 0);
            std::string streamed;
            ASSERT_TRUE(ReadFileBytes(dir / "streamed.bin", &streamed));
            if (expected.result == 0) {
                EXPECT_TRUE(streamed == expected.output);
            }
        }
    }
}

// Input nothing vouches for yet: a decompression bomb stops at the output bound, having written no
// more; a header that asks for a huge dictionary stops before it is set aside; a package of
// pkgtool's largest dictionary fits the memory bound that the decoding during a download gets.
TEST(LzmaStreamDecoder, StopsAtItsLimitsBeforeAnythingPastThem)
{
    ScratchDir dir;
    const std::string zeros(8 << 20, '\0');
    const std::string bomb = EncodeLzmaAlone(zeros, LzmaEnd::Marker);
    const std::string hugeDictionary = LzmaHeader(0x5D, 1536u << 20, UINT64_MAX) + bomb.substr(kLzmaHeaderSize);
    const std::string xzBomb = EncodePackageFile(zeros, kXz, 0, 1 << 20);  // eight blocks
    const LzmaLimits installer = {LzmaDecoderMemory(kLargestPackageDictionary), 1 << 20};
    const struct {
        const char* what;
        std::string bytes;
        int code;
        uint64_t largestOutput;
    } cases[] = {
        {"a bomb", bomb, kLzmaOutputLimit, 1 << 20},
        {"a bomb that says its size", EncodeLzmaAlone(std::string(8 << 20, '\0'), LzmaEnd::Size), kLzmaOutputLimit, 0},
        {"a 1.5 GiB dictionary", hugeDictionary, kLzmaNoMemory, 0},
        {"the largest dictionary pkgtool makes", LzmaHeader(0x5D, kLargestPackageDictionary, UINT64_MAX), kLzmaSuccess, 0},
        {"an .xz bomb", xzBomb, kLzmaOutputLimit, 1 << 20},
        {"an .xz bomb in one block", EncodeXzOneBlock(zeros), kLzmaOutputLimit, 1 << 20},
        {"an .xz block asking for a 1.5 GiB dictionary", WithXzDictionary(xzBomb, 37), kLzmaNoMemory, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LzmaStreamDecoder decoder(installer);
        ASSERT_TRUE(decoder.Open((dir / "out.bin").c_str()));
        for (size_t at = 0; at < c.bytes.size() && decoder.code() == kLzmaSuccess; at += 65536)
            decoder.Feed(reinterpret_cast<const uint8_t*>(c.bytes.data()) + at, std::min<size_t>(65536, c.bytes.size() - at));
        EXPECT_EQ(decoder.code(), c.code);
        decoder.Finish();
        std::string output;
        ASSERT_TRUE(ReadFileBytes(dir / "out.bin", &output));
        EXPECT_LE(output.size(), c.largestOutput);
    }
    StringSink sink;
    EXPECT_EQ(PackageEncoder(sink, PackageEncoding::LzmaAlone, 9, 0).dictionarySize(), kLargestPackageDictionary) << "pkgtool --level 9";
    EXPECT_EQ(PackageEncoder(sink, kXz, 9, 0).dictionarySize(), kXzBlockSize) << "pkgtool --level 9 --format xz";
}
