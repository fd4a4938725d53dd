// tallowby-scan --partial, --range and --merge: pieces of logs scanned apart
// and merged must print, page and count exactly what one scan prints.
#include <random>

#include "CliTest.h"
#include "PartialBytes.h"

namespace tallowby::testing {
namespace {

namespace fs = std::filesystem;

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
        "\"http://www.google.de/search?q=Two+%20Words\"",
    };
    const char* const requests[] = {"/", "/a.pdf", "/b.zip", "/c.png", "/d.mp3"};
    const char* const ends[] = {"\n", "\r\n", "\r"};
    std::mt19937 random(seed);
    std::string log;
    for (int i = 0; i < lines; ++i) {
        log += "10.0.0." + std::to_string(random() % 9) + " \"GET " + requests[random() % 5] +
               "\" " + referrers[random() % std::size(referrers)] + ends[random() % 3];
    }
    return log;
}

// The output options among `options`: a merge takes them from its command
// line, the scan options from the partials.
std::vector<std::string> OutputOptionsOf(const std::vector<std::string>& options) {
    std::vector<std::string> output;
    for (const std::string& o : options) {
        if (o == "--format" || o == "json" || o == "--by-site" || o == "--by-source" ||
            o == "--keywords") {
            output.push_back(o);
        }
    }
    return output;
}

class PartialCli : public CliTest {
protected:
    // Scans the pieces [cuts[i], cuts[i+1]) of `log` apart, merges their
    // partials (the first `nested` of them merged first, when > 1) and
    // compares output, summary, page and report with one scan of the whole log.
    void ExpectMergeEqualsScan(const std::string& log, const std::vector<std::string>& options,
                               const std::vector<std::string>& cuts, std::size_t nested = 0) {
        const ProgramResult one =
            Run(Joined(options, {"--html", "one.html", "--report", "one-report.html", log}));
        ASSERT_EQ(one.exitStatus, 0) << one.err;
        std::vector<std::string> partials;
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            partials.push_back("p" + std::to_string(i));
            const ProgramResult r =
                Run(Joined(options, {"--range", cuts[i] + ":" + cuts[i + 1], "--quiet", "--format",
                                     "none", "--partial", partials.back(), log}));
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            ASSERT_EQ(r.out, "");
        }
        if (nested > 1) {
            const std::vector<std::string> first(partials.begin(), partials.begin() + nested);
            const std::vector<std::string> merge = {"--merge", "--quiet", "--format", "none"};
            ASSERT_EQ(Run(Joined(merge, {"--partial", "nested"}, first)).exitStatus, 0);
            partials.erase(partials.begin(), partials.begin() + nested);
            partials.insert(partials.begin(), "nested");
        }
        const ProgramResult merged =
            Run(Joined({"--merge", "--html", "merged.html", "--report", "merged-report.html"},
                       OutputOptionsOf(options), partials));
        EXPECT_EQ(merged.exitStatus, 0);
        EXPECT_EQ(merged.out, one.out);
        EXPECT_EQ(merged.err, one.err);
        EXPECT_EQ(TempFile("merged.html"), TempFile("one.html"));
        EXPECT_EQ(TempFile("merged-report.html"), TempFile("one-report.html"));
    }

    // A merge of the partials `args` that stops, saying `message` and
    // writing nothing.
    void ExpectMergeRefused(const std::vector<std::string>& args, const std::string& message) {
        SCOPED_TRACE(message);
        ExpectRefused(Run(Joined({"--merge", "--html", "page.html", "--partial", "out"}, args)),
                      "tallowby-scan: " + message + "\n");
        EXPECT_FALSE(fs::exists(temp_ / "page.html"));
        EXPECT_FALSE(fs::exists(temp_ / "out"));
    }
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
        // Spam hiding (a scan option) and the sites, sources and keywords
        // views (output options) in a spread of the combinations.
        if (bits % 5 == 1 || bits == 15) {
            o.push_back("--hide-spam");
        }
        if (bits % 4 == 2 || bits == 15) {
            o.push_back("--by-site");
        } else if (bits % 4 == 3) {
            o.push_back("--by-source");
        } else if (bits % 8 == 1) {
            o.push_back("--keywords");
        }
        all.push_back(o);
    }
    return all;
}

TEST_F(PartialCli, PiecesCutAtEveryLineMergeIntoOneScan) {
    const std::string log = data_ + "/today.log";
    const std::string text = ReadWhole(log);
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
    const std::string log = dir_.write("big.log", GeneratedLog(2000, 7));
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

// A W3C log whose fields change mid-file: each piece starts with the
// directive in force where it begins, and the field figures add up.
TEST_F(PartialCli, FieldPiecesCutAtEveryLineMergeIntoOneScan) {
    const std::string text =
        "#Version: 1.0\n#Fields: date cs(Referer) cs(User-Agent)\n"
        "2023-10-10 http://one.example/ Mozilla\n2023-10-10 - Mozilla\n"
        "#Fields: cs(User-Agent) cs-uri-stem cs(Referer)\n"
        "Mozilla /a http://two.example/\r\nMozilla /b http://www.mysite.example/\n"
        "not a line of any layout http://three.example/\n"
        "Mozilla /c http://one.example/";
    const std::string log = dir_.write("w3c.log", text);
    std::vector<std::string> starts = {"0"};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            starts.push_back(std::to_string(i + 1));
        }
    }
    for (const std::string& cut : starts) {
        SCOPED_TRACE("cut at " + cut);
        ExpectMergeEqualsScan(log, {"-d", "mysite.example", "--fields"},
                              {"0", cut, std::to_string(text.size())});
    }
    const ProgramResult one = Run({"-d", "mysite.example", "--fields", "-q", log});
    EXPECT_EQ(one.out,
              "Type,Clicks,Referrer\nHTM,0000002,http://one.example/\n"
              "HTM,0000001,http://two.example/\n");
}

// A compressed log has no line starts in its bytes: the piece holding
// offset 0 scans it whole, the others nothing, and the merge is one scan.
TEST_F(PartialCli, PiecesOfACompressedLogMergeIntoOneScan) {
    const std::string text = ReadWhole(data_ + "/today.log");
    for (const char* tool : {"gzip", "xz"}) {
        SCOPED_TRACE(tool);
        const std::string packed = Packed(tool, text);
        const std::string log = dir_.write("today.log.1", packed);
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
    const std::string text = ReadWhole(data_ + "/today.log");
    dir_.write("today.log.gz", Packed("gzip", text));
    dir_.write("empty.log", "");
    for (const char* name : {"today.log.gz", "empty.log"}) {
        SCOPED_TRACE(name);
        const std::string log = dir_.file(name);
        ExpectMergeEqualsScan(log, OptionCombinations()[0], {"0", "0", ""});
        ExpectMergeEqualsScan(log, OptionCombinations()[15], {"0", "0", "0", "1", ""});
    }
}

// Whatever a scan read, its partial is taken back: merged alone, it prints
// what the scan printed.
TEST_F(PartialCli, EveryPartialAScanWritesIsAccepted) {
    const std::string text = ReadWhole(data_ + "/today.log");
    const std::string packed = Packed("zstd", text);
    dir_.write("cut.gz", Packed("gzip", text).substr(0, 300));
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
            const ProgramResult one = Run(Joined(options, {"--partial", "p"}, c.files), c.input);
            const ProgramResult merged = Run(Joined({"--merge", "p"}, OutputOptionsOf(options)));
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
    const std::string log = ReadWhole(data_ + "/today.log");
    dir_.write("a.log", log);
    dir_.write("spam.hosts", "spam.example\n");
    fs::create_symlink("a.log", temp_ / "link.log");
    fs::create_hard_link(temp_ / "a.log", temp_ / "hard.log");
    ASSERT_EQ(Run({"-d", "x", "-q", "--partial", "p1", "a.log"}).exitStatus, 0);
    ASSERT_EQ(Run({"-d", "x", "-q", "--partial", "p2", "b.log"}).exitStatus, 1);
    const std::string partial = TempFile("p1");
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
        {{"-d", "x", "--report", "hard.log", "a.log"},
         "hard.log: --report would replace the input a.log"},
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
        ExpectRefused(RunProgram(kProgram, c.args, run),
                      "tallowby-scan: " + c.message + "; nothing was read or written\n");
        EXPECT_EQ(TempFile("a.log"), log);
        EXPECT_EQ(TempFile("p1"), partial);
        EXPECT_FALSE(fs::exists(temp_ / "out.html"));
    }
}

TEST_F(PartialCli, PartialLeavesTheUsualOutputAsItWas) {
    for (const auto& options : {OptionCombinations()[0], OptionCombinations()[6]}) {
        const std::vector<std::string> args = Joined(options, {data_ + "/today.log"});
        const ProgramResult plain = Run(args);
        const ProgramResult with = Run(Joined(args, {"--partial", "today.partial"}));
        EXPECT_EQ(with.exitStatus, plain.exitStatus);
        EXPECT_EQ(with.out, plain.out);
        EXPECT_EQ(with.err, plain.err);
        EXPECT_TRUE(fs::exists(temp_ / "today.partial"));
    }
}

TEST_F(PartialCli, DamagedOrMismatchedPartialsEndTheMergeWritingNothing) {
    const std::string log = data_ + "/today.log";
    ASSERT_EQ(Run({"-d", "mysite.example", "-q", "--partial", "good", log}).exitStatus, 0);
    const std::string good = TempFile("good");
    dir_.write("cut", good.substr(0, good.size() / 2));
    std::string flipped = good;
    flipped[good.size() / 2] ^= 1;
    dir_.write("flipped", flipped);
    std::string newer = good;
    newer[8] = 9;
    dir_.write("newer", newer);
    PlainPartial crafted;  // no lines, no links, 2^56 duplicates removed
    crafted.counters = {0, 0, 0, std::uint64_t{1} << 56, 0};
    dir_.write("crafted", PlainPartialBytes(crafted));
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
    };
    for (const Case& c : cases) {
        ExpectMergeRefused(c.args, c.message);
    }
}

// Every scan option is recorded in a partial: partials made with and
// without it, or a partial and a command line that differ in it, are not
// merged.
TEST_F(PartialCli, EveryScanOptionIsRecordedAndADifferenceRefused) {
    const std::string log = data_ + "/today.log";
    dir_.write("spam.hosts", "spam.example\n");
    ASSERT_EQ(Run({"-d", "mysite.example", "-q", "--partial", "good", log}).exitStatus, 0);
    const std::vector<std::string> mine = {"-d", "mysite.example"};
    struct Case {
        std::string name;  // of the partial made with the option
        std::vector<std::string> options;
        std::string with;     // what it records
        std::string without;  // what "good" records
    } cases[] = {
        {"other", {"-d", "other.example"}, "domain=other.example", "domain=mysite.example"},
        {"nodupes", Joined(mine, {"--no-dupes"}), "dupes=0", "dupes=1"},
        {"notypes", Joined(mine, {"--no-types"}), "types=0", "types=1"},
        {"https", Joined(mine, {"--https"}), "https=1", "https=0"},
        {"quoted", Joined(mine, {"--quoted"}), "quoted=1", "quoted=0"},
        {"spam", Joined(mine, {"--hide-spam"}), "spam=built-in", "(none)"},
        {"list", Joined(mine, {"--spam-list", "spam.hosts"}), "spam=spam.hosts", "(none)"},
        {"fields", Joined(mine, {"--fields"}), "fields=1", "(none)"},
    };
    const std::string refused = ": made with other options than ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Run(Joined(c.options, {"-q", "--partial", c.name, log})).exitStatus, 0);
        ExpectMergeRefused({"good", c.name}, c.name + refused + "good (" + c.with + " against " +
                                                 c.without + "); nothing was merged");
        ExpectMergeRefused(Joined(c.options, {"good"}), "good" + refused + "the command line (" +
                                                            c.without + " against " + c.with +
                                                            "); nothing was merged");
    }
    ExpectMergeRefused({"spam", "list"}, "list" + refused +
                                             "spam (spam=spam.hosts against spam=built-in); "
                                             "nothing was merged");
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
