#pragma once

// What the tests of tallowby-scan as a program share: the program, the logs
// under tests/data, a fresh folder per test, and the shape of a refusal.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TempDir.h"

namespace tallowby::testing {

inline const std::string kProgram = TALLOWBY_SCAN_BINARY;

// `first`, `then` and `last` one after the other: a command line from its
// fixed start, a case's options and the files.
inline std::vector<std::string> Joined(std::vector<std::string> first,
                                       const std::vector<std::string>& then,
                                       const std::vector<std::string>& last = {}) {
    first.insert(first.end(), then.begin(), then.end());
    first.insert(first.end(), last.begin(), last.end());
    return first;
}

// What a command that refuses to start prints: nothing on standard output,
// `err` on standard error, status 2.
inline void ExpectRefused(const ProgramResult& r, const std::string& err) {
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(data_.empty()) << "TALLOWBY_TEST_DATA is not set"; }

    // The program run in the test's own folder.
    ProgramResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        return RunProgram(kProgram, args, temp_.string(), input);
    }
    // The whole content of a file in the test's own folder.
    std::string TempFile(const std::string& name) const { return ReadWhole(dir_.file(name)); }

    const char* const dataDir_ = std::getenv("TALLOWBY_TEST_DATA");
    const std::string data_ = dataDir_ ? dataDir_ : "";  // the test logs
    TempDir dir_;
    const std::filesystem::path temp_ = dir_.path();
};

}  // namespace tallowby::testing
