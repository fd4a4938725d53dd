// tallowby-scan --partial, --range and --merge: pieces of logs scanned apart
// and merged must print, page and count exactly what one scan prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "PartialBytes.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace tallowby::testing {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = TALLOWBY_SCAN_BINARY;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A log of `lines` lines drawn from a few referrers in several letter cases,
// with https and quoted fields, crawlers, the own domain, a spam host, lines
// without an address and every kind of line end.
std::string GeneratedLog(int lines, unsigned seed) {
    const char* const referrers[] = {
        "\"http://a.example/\"",
        "\"HTTP://A.example/\"",
        "\"https://b.example/p q\"",
        "\"http://c.example/x\" \"UA (X11)\"",
        "(compatible; Bot; +http://bot.example/)",
        "\"http://mysite.example/self\"",
        "\"-\"",
        "\"http://d.example/,\"q\"\"",
        "\"http://www.0-0.fr/spam\"",
    };
    const char* const requests[] = {"/", "/a.pdf", "/b.zip", "/c.png", "/d.mp3"};
    const char* const ends[] = {"\n", "\r\n", "\r"};
    std::mt19937 random(seed);
    std::string log;
    for (int i = 0; i < lines; ++i) {
        log += "10.0.0." + std::to_string(random() % 9) + " \"GET " + requests[random() % 5] +
               "\" " + referrers[random() % 9] + ends[random() % 3];
    }
    return log;
}

class PartialCli : public ::testing::Test {
protected:
    void SetUp() override {
        const char* data = std::getenv("TALLOWBY_TEST_DATA");
        ASSERT_NE(data, nullptr);
        data_ = data;
    }

    ProgramResult Run(const std::vector<std::string>& args) {
        return RunProgram(kProgram, args, temp_.string());
    }

    // Scans the pieces [cuts[i], cuts[i+1]) of `log` apart, merges their
    // partials (the first `nested` of them merged first, when > 1) and
    // compares output, summary and page with one scan of the whole log.
    void ExpectMergeEqualsScan(const std::string& log, const std::vector<std::string>& options,
                               const std::vector<std::string>& cuts, std::size_t nested = 0) {
        auto with = [&options](std::vector<std::string> args) {
            args.insert(args.begin(), options.begin(), options.end());
            return args;
        };
        const ProgramResult one = Run(with({"--html", "one.html", log}));
        ASSERT_EQ(one.exitStatus, 0) << one.err;
        std::vector<std::string> partials;
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            partials.push_back("p" + std::to_string(i));
            const ProgramResult r =
                Run(with({"--range", cuts[i] + ":" + cuts[i + 1], "--quiet", "--format", "none",
                          "--partial", partials.back(), log}));
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            ASSERT_EQ(r.out, "");
        }
        if (nested > 1) {
            std::vector<std::string> first = {"--merge", "--quiet",   "--format",
                                              "none",    "--partial", "nested"};
            first.insert(first.end(), partials.begin(), partials.begin() + nested);
            ASSERT_EQ(Run(first).exitStatus, 0);
            partials.erase(partials.begin(), partials.begin() + nested);
            partials.insert(partials.begin(), "nested");
        }
        std::vector<std::string> merge = {"--merge", "--html", "merged.html"};
        for (const std::string& o : options) {
            if (o == "--format" || o == "json" || o == "--by-site") {
                merge.push_back(o);  // an output option; the scan options come from the partials
            }
        }
        merge.insert(merge.end(), partials.begin(), partials.end());
        const ProgramResult merged = Run(merge);
        EXPECT_EQ(merged.exitStatus, 0);
        EXPECT_EQ(merged.out, one.out);
        EXPECT_EQ(merged.err, one.err);
        EXPECT_EQ(ReadFile(temp_ / "merged.html"), ReadFile(temp_ / "one.html"));
    }

    std::string data_;
    TempDir dir_;
    const fs::path temp_ = dir_.path();
};

// Every combination of the scan options, the two output formats among them.
std::vector<std::vector<std::string>> OptionCombinations() {
    std::vector<std::vector<std::string>> all;
    for (int bits = 0; bits < 16; ++bits) {
        std::vector<std::string> o = {"-d", "mysite.example"};
        const char* const flags[] = {"--no-dupes", "--no-types", "--https", "--quoted"};
        for (int k = 0; k < 4; ++k) {
            if (bits & (1 << k)) {
                o.push_back(flags[k]);
            }
        }
        if (bits % 3 == 0) {
            o.insert(o.end(), {"--format", "json"});
        }
        // Spam hiding (a scan option) and the sites view (an output option)
        // in a spread of the combinations.
        if (bits % 5 == 1 || bits == 15) {
            o.push_back("--hide-spam");
        }
        if (bits % 4 == 2 || bits == 15) {
            o.push_back("--by-site");
        }
        all.push_back(o);
    }
    return all;
}

TEST_F(PartialCli, PiecesCutAtEveryLineMergeIntoOneScan) {
    const std::string log = data_ + "/today.log";
    const std::string text = ReadFile(log);
    std::vector<std::string> starts = {"0"};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            starts.push_back(std::to_string(i + 1));
        }
    }
    for (const auto& options : {OptionCombinations()[0], OptionCombinations()[15]}) {
        for (const std::string& cut : starts) {
            SCOPED_TRACE("cut at " + cut + (options.size() > 2 ? " with options" : ""));
            ExpectMergeEqualsScan(log, options, {"0", cut, std::to_string(text.size())});
        }
    }
}

TEST_F(PartialCli, PiecesCutAtRandomOffsetsMergeIntoOneScanForEveryOption) {
    const std::string log = (temp_ / "big.log").string();
    WriteFile(log, GeneratedLog(2000, 7));
    const std::uint64_t size = fs::file_size(log);
    std::mt19937_64 random(11);
    for (const auto& options : OptionCombinations()) {
        std::vector<std::uint64_t> at = {0, size};
        for (int k = 0; k < 4; ++k) {
            at.push_back(random() % size);
        }
        std::sort(at.begin(), at.end());
        std::vector<std::string> cuts;
        for (const std::uint64_t a : at) {
            cuts.push_back(std::to_string(a));
        }
        cuts.back() = "";  // the last piece runs to the end of the file
        SCOPED_TRACE(::testing::PrintToString(options) + " cut at " +
                     ::testing::PrintToString(cuts));
        ExpectMergeEqualsScan(log, options, cuts, options.size() % 2 == 0 ? 3 : 0);
    }
}

// A compressed log has no line starts in its bytes: the piece holding
// offset 0 scans it whole, the others nothing, and the merge is one scan.
TEST_F(PartialCli, PiecesOfACompressedLogMergeIntoOneScan) {
    const std::string text = ReadFile(data_ + "/today.log");
    for (const char* tool : {"gzip", "xz"}) {
        SCOPED_TRACE(tool);
        const std::string packed = Packed(tool, text);
        const std::string log = (temp_ / "today.log.1").string();
        WriteFile(log, packed);
        const std::string size = std::to_string(packed.size());
        const std::string middle = std::to_string(packed.size() / 2);
        for (const auto& options : {OptionCombinations()[0], OptionCombinations()[15]}) {
            ExpectMergeEqualsScan(log, options, {"0", middle, size});
            ExpectMergeEqualsScan(log, options, {"0", "1", middle, ""});
        }
    }
}

// An empty piece holds no line, and not the start of a file either: it
// neither reads a compressed file nor counts an empty one as done.
TEST_F(PartialCli, EmptyPiecesInATilingHoldNothing) {
    const std::string text = ReadFile(data_ + "/today.log");
    WriteFile(temp_ / "today.log.gz", Packed("gzip", text));
    WriteFile(temp_ / "empty.log", "");
    for (const char* name : {"today.log.gz", "empty.log"}) {
        SCOPED_TRACE(name);
        const std::string log = (temp_ / name).string();
        ExpectMergeEqualsScan(log, OptionCombinations()[0], {"0", "0", ""});
        ExpectMergeEqualsScan(log, OptionCombinations()[15], {"0", "0", "0", "1", ""});
    }
}

// Whatever a scan read, its partial is taken back: merged alone, it prints
// what the scan printed.
TEST_F(PartialCli, EveryPartialAScanWritesIsAccepted) {
    const std::string text = ReadFile(data_ + "/today.log");
    const std::string packed = Packed("zstd", text);
    WriteFile(temp_ / "cut.gz", Packed("gzip", text).substr(0, 300));
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::string input;  // standard input
    } cases[] = {
        {"standard input", {"-"}, text},
        {"compressed standard input", {data_ + "/today.log", "-"}, packed},
        {"a log cut short", {"cut.gz", data_ + "/combined.log"}, ""},
        {"a missing log", {"missing.log", data_ + "/today.log"}, ""},
    };
    for (const Case& c : cases) {
        for (const auto& options : OptionCombinations()) {
            SCOPED_TRACE(std::string(c.what) + " " + ::testing::PrintToString(options));
            std::vector<std::string> scan = options;
            scan.insert(scan.end(), {"--partial", "p"});
            scan.insert(scan.end(), c.files.begin(), c.files.end());
            const ProgramResult one = RunProgram(kProgram, scan, temp_.string(), c.input);
            std::vector<std::string> merge = {"--merge", "p"};
            for (const std::string& o : options) {
                if (o == "--format" || o == "json" || o == "--by-site") {
                    merge.push_back(o);
                }
            }
            const ProgramResult merged = Run(merge);
            EXPECT_EQ(merged.exitStatus, one.exitStatus) << merged.err;
            EXPECT_EQ(merged.out, one.out);
            const std::string summary = one.err.substr(one.err.rfind("COMPLETE: "));
            EXPECT_EQ(merged.err.substr(merged.err.rfind("COMPLETE: ")), summary);
        }
    }
}

// An output onto one of the files a command reads would destroy it: refused
// before anything is read, however the file is named.
TEST_F(PartialCli, AnOutputOntoAnInputIsRefusedAndTheInputKept) {
    const std::string log = ReadFile(data_ + "/today.log");
    WriteFile(temp_ / "a.log", log);
    WriteFile(temp_ / "spam.hosts", "spam.example\n");
    fs::create_symlink("a.log", temp_ / "link.log");
    fs::create_hard_link(temp_ / "a.log", temp_ / "hard.log");
    ASSERT_EQ(Run({"-d", "x", "-q", "--partial", "p1", "a.log"}).exitStatus, 0);
    ASSERT_EQ(Run({"-d", "x", "-q", "--partial", "p2", "b.log"}).exitStatus, 1);
    const std::string partial = ReadFile(temp_ / "p1");
    struct Case {
        std::vector<std::string> args;
        std::string message;
        bool fromStdin = false;
    } cases[] = {
        {{"-d", "x", "--partial", "a.log", "a.log"},
         "a.log: --partial would replace the input a.log"},
        {{"-d", "x", "--partial", "./a.log", "b.log", "a.log"},
         "./a.log: --partial would replace the input a.log"},
        {{"-d", "x", "--html", "link.log", "a.log"},
         "link.log: --html would replace the input a.log"},
        {{"-d", "x", "--html", "out.html", "--partial", "hard.log", "a.log"},
         "hard.log: --partial would replace the input a.log"},
        {{"-d", "x", "--html", "a.log", "-"},
         "a.log: --html would replace the input - (standard input)",
         true},
        {{"-d", "x", "--html", "spam.hosts", "--spam-list", "spam.hosts", "a.log"},
         "spam.hosts: --html would replace the input spam.hosts"},
        {{"--merge", "--partial", "p1", "p2", "p1"}, "p1: --partial would replace the input p1"},
        {{"--merge", "--html", "p2", "p1", "p2"}, "p2: --html would replace the input p2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ProgramRun run;
        run.workDir = temp_.string();
        if (c.fromStdin) {
            run.stdinPath = (temp_ / "a.log").string();
        }
        const ProgramResult r = RunProgram(kProgram, c.args, run);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tallowby-scan: " + c.message + "; nothing was read or written\n");
        EXPECT_EQ(ReadFile(temp_ / "a.log"), log);
        EXPECT_EQ(ReadFile(temp_ / "p1"), partial);
        EXPECT_FALSE(fs::exists(temp_ / "out.html"));
    }
}

TEST_F(PartialCli, PartialLeavesTheUsualOutputAsItWas) {
    for (const auto& options : {OptionCombinations()[0], OptionCombinations()[6]}) {
        std::vector<std::string> args = options;
        args.push_back(data_ + "/today.log");
        const ProgramResult plain = Run(args);
        args.insert(args.end(), {"--partial", "today.partial"});
        const ProgramResult with = Run(args);
        EXPECT_EQ(with.exitStatus, plain.exitStatus);
        EXPECT_EQ(with.out, plain.out);
        EXPECT_EQ(with.err, plain.err);
        EXPECT_TRUE(fs::exists(temp_ / "today.partial"));
    }
}

TEST_F(PartialCli, DamagedOrMismatchedPartialsEndTheMergeWritingNothing) {
    const std::string log = data_ + "/today.log";
    ASSERT_EQ(Run({"-d", "mysite.example", "-q", "--partial", "good", log}).exitStatus, 0);
    ASSERT_EQ(Run({"-d", "mysite.example", "-q", "--https", "--partial", "https", log}).exitStatus,
              0);
    const std::string good = ReadFile(temp_ / "good");
    WriteFile(temp_ / "cut", good.substr(0, good.size() / 2));
    std::string flipped = good;
    flipped[good.size() / 2] ^= 1;
    WriteFile(temp_ / "flipped", flipped);
    std::string newer = good;
    newer[8] = 9;
    WriteFile(temp_ / "newer", newer);
    PlainPartial crafted;  // no lines, no links, 2^56 duplicates removed
    crafted.counters = {0, 0, 0, std::uint64_t{1} << 56, 0};
    WriteFile(temp_ / "crafted", PlainPartialBytes(crafted));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"good", "missing"}, "missing: cannot merge: No such file or directory"},
        {{"good", "cut"}, "cut: cannot merge: truncated"},
        {{"flipped", "good"}, "flipped: cannot merge: corrupt (checksum mismatch)"},
        {{"newer"},
         "newer: cannot merge: format version 9 is not supported (this program reads version 1)"},
        {{log}, log + ": cannot merge: not a partial result"},
        {{"crafted"}, "crafted: cannot merge: corrupt (the counters contradict each other)"},
        {{"good", "https"},
         "https: made with other options than good (https=1 against https=0); nothing was "
         "merged"},
        {{"-d", "mysite.example", "--no-dupes", "good"},
         "good: made with other options than the command line (dupes=1 against dupes=0); "
         "nothing was merged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"--merge", "--html", "page.html", "--partial", "out"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = Run(args);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tallowby-scan: " + c.message + "\n");
        EXPECT_FALSE(fs::exists(temp_ / "page.html"));
        EXPECT_FALSE(fs::exists(temp_ / "out"));
    }
}

TEST_F(PartialCli, AnUnreadInputOfAPartialMakesTheMergeFail) {
    ASSERT_EQ(Run({"-d", "x", "-q", "--partial", "p", "missing.log"}).exitStatus, 1);
    const ProgramResult r = Run({"--merge", "-q", "p"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Type,Clicks,Referrer\n");
    EXPECT_EQ(r.err,
              "tallowby-scan: warning: some inputs of these partial results could not be read "
              "when they were made\n");
}

TEST_F(PartialCli, CommandLineMistakesOfTheNewOptions) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"-d", "x", "--range", "5", "a.log"},
         "--range needs START:END or START: in bytes, START not after END"},
        {{"-d", "x", "--range", "9:2", "a.log"},
         "--range needs START:END or START: in bytes, START not after END"},
        {{"-d", "x", "--range", "1:2", "a.log", "b.log"},
         "--range scans a piece of exactly one log file (not standard input)"},
        {{"-d", "x", "--range", "1:", "-"},
         "--range scans a piece of exactly one log file (not standard input)"},
        {{"--merge", "-"}, "--merge reads partial results from files, not standard input"},
        {{"--merge", "--https", "p"},
         "with --merge, give --domain with the scan options, or none of them"},
        {{"--merge"}, "no partial results given to --merge"},
        {{"-d", "x", "--partial", "-", "a.log"}, "--partial needs a file name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ProgramResult r = Run(c.args);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tallowby-scan: " + std::string(c.message));
    }
}

}  // namespace
}  // namespace tallowby::testing
