#pragma once
// A scratch folder to run pkgtool in, as publishers run it: the program itself, its standard output
// and error, and the files it reads and writes.
#include "common/file_system.h"
#include "packing/publisher_keys.h"
#include "run_program.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

class PkgtoolTest : public ::testing::Test {
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

    ScratchDir dir_;
};

// The run failed (exit 1) with exactly one line on standard error, which mentions `expected`.
inline void ExpectOneLineFailure(const ProgramRun& run, const std::string& expected)
{
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// The lower-case hex SHA-256 of `bytes`, as the update list pins it.
inline std::string Sha256Hex(const std::string& bytes)
{
    Sha256 hash;
    uint8_t digest[kSha256Size];
    hash.Update(bytes.data(), bytes.size());
    hash.Final(digest);
    return LowerHex(digest, kSha256Size);
}
