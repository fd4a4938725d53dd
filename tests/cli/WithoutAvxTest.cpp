// Runs tallowby-scan natively and on an emulated processor without AVX
// (qemu-x86_64 -cpu Nehalem), where the engine must take its 16-byte steps
// for whole scans, and compares the two runs byte for byte.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TempDir.h"

// GCC tells of a sanitizer in a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TALLOWBY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TALLOWBY_SANITIZED 1
#endif
#endif

namespace tallowby::testing {
namespace {

const std::string kProgram = TALLOWBY_SCAN_BINARY;
const std::string kProbe = TALLOWBY_PROCESSOR_PROBE;

// The emulator's path on PATH, or "" where it is not installed.
std::string Emulator() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/qemu-x86_64";
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// "" when `native` and `emulated` are the same, else the line where they
// part, from each (the outputs may be long).
std::string Parting(const std::string& native, const std::string& emulated) {
    const auto from = static_cast<std::size_t>(
        std::mismatch(native.begin(), native.end(), emulated.begin(), emulated.end()).first -
        native.begin());
    // The same in both up to `from`; npos + 1 is 0.
    const std::size_t begin = from == 0 ? 0 : native.rfind('\n', from - 1) + 1;
    auto line = [&](const std::string& text) {
        return text.substr(begin, text.find('\n', from) - begin);
    };
    return native == emulated ? "" : "natively: " + line(native) + "\nemulated: " + line(emulated);
}

class WithoutAvx : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(TALLOWBY_SANITIZED)
        GTEST_SKIP() << "built with a sanitizer, whose shadow memory the emulator takes minutes "
                        "to map: these scans run in the ordinary build";
#endif
        if (emulator_.empty()) {
            GTEST_SKIP() << "qemu-x86_64 (Debian package qemu-user) is not on PATH: "
                            "the scans on a processor without AVX cannot run";
        }
    }
    // `program` run as `run` says on a processor of 2008: SSE4.2, no AVX.
    ProgramResult Emulated(const std::string& program, std::vector<std::string> args,
                           const ProgramRun& run = {}) const {
        args.insert(args.begin(), {"-cpu", "Nehalem", program});
        return RunProgram(emulator_, args, run);
    }
    const std::string emulator_ = Emulator();
};

TEST_F(WithoutAvx, TheEngineTakesNoWideStepsThere) {
    const ProgramResult r = Emulated(kProbe, {});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "avx2 0\nwide line masks 0\n");
}

// Scans that reach the line masks in stretches of many lines (two threads on
// standard input, a compressed log, a log past one block), and the option
// sets that change what a line yields. (Without a terminal the scanner
// counts no lines for progress: the engine tests run each width of that.)
TEST_F(WithoutAvx, ScansWriteWhatTheyWriteNatively) {
    const char* data = std::getenv("TALLOWBY_TEST_DATA");
    ASSERT_NE(data, nullptr) << "TALLOWBY_TEST_DATA is not set";
    const std::string mixed = ReadWhole(std::string(data) + "/mixed.log");
    TempDir dir;
    const std::string packed = dir.write("mixed.log.gz", Packed("gzip", mixed));
    std::string big;
    const char* const ends[] = {"\r", "\n", "\r\n"};
    for (int i = 0; big.size() < (std::size_t{5} << 18); ++i) {
        big += "1.2.3.4 - - \"GET /p" + std::to_string(i) + ".html\" 200 1 \"http://ref" +
               std::to_string(i % 97) + ".example/a" + std::string(i % 41, 'x') + ".jpg\"" +
               ends[i % 3];
    }
    const std::string large = dir.write("large.log", big);
    struct Case {
        std::vector<std::string> options;
        bool mixedAsInput;
    };
    const Case cases[] = {
        {{"--threads", "2", "-"}, true},
        {{"--threads", "2", packed}, false},
        {{"--threads", "2", large}, false},
        {{"--https", "--quoted", "today.log"}, false},
        {{"--format", "json", "hostile.log"}, false},
        {{"--by-site", "--hide-spam", "sites.log"}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"-d", "mysite.example"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string shown;
        for (const std::string& option : c.options) {
            shown += " " + option;
        }
        SCOPED_TRACE(shown);
        ProgramRun run;
        run.workDir = data;
        run.input = c.mixedAsInput ? mixed : "";
        const ProgramResult native = RunProgram(kProgram, args, run);
        const ProgramResult emulated = Emulated(kProgram, args, run);
        EXPECT_EQ(native.exitStatus, 0);
        EXPECT_EQ(emulated.exitStatus, native.exitStatus);
        EXPECT_EQ(Parting(native.out, emulated.out), "");
        EXPECT_EQ(Parting(native.err, emulated.err), "");
    }
}

}  // namespace
}  // namespace tallowby::testing
