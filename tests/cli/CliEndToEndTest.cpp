// Runs tallowby-scan on the small logs under tests/data and compares its whole
// standard output and standard error with files worked out by hand.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "CliTest.h"

namespace tallowby::testing {
namespace {

namespace fs = std::filesystem;

// `err` without the progress line's drawings and erasures ("\r", text, "\x1b[K").
std::string WithoutProgress(const std::string& err) {
    return std::regex_replace(err, std::regex("\r[^\r\x1b]*\x1b\\[K"), "");
}

const char* const kUsage =
    "usage: tallowby-scan --domain DOMAIN [--no-dupes] [--no-types] [--format csv|json]\n"
    "                     [--html FILE] [--quiet] FILE...\n"
    "Try 'tallowby-scan --help' for more information.\n";

class CliEndToEnd : public CliTest {
protected:
    // A file under tests/data/expected.
    std::string Expected(const std::string& name) const {
        const std::string path = data_ + "/expected/" + name;
        EXPECT_TRUE(fs::exists(path)) << "cannot read " << path;
        return ReadWhole(path);
    }
    // The program run among the test logs.
    ProgramResult Scan(const std::vector<std::string>& args, const std::string& input = {}) {
        return RunProgram(kProgram, args, data_, input);
    }
};

// Each case twice: with standard error a file, and a terminal, where a
// progress line counts each file's lines before reading it (standard input,
// which can be read once only, is read for its rows alone).
TEST_F(CliEndToEnd, OutputMatchesRowsWorkedOutByHand) {
    struct Case {
        std::vector<std::string> args;
        const char* out;  // files under expected/
        const char* err;
        int status;
        const char* input = nullptr;  // standard input, a log under tests/data
    };
    const std::string mine = "mysite.example";
    const std::vector<Case> cases = {
        // LF, the last line without a line end; the domain given three ways
        {{"-d", mine, "combined.log"}, "combined.csv", "combined.err", 0},
        {{"--domain=mysite.example", "combined.log"}, "combined.csv", "combined.err", 0},
        {{"--no-dupes", "--no-types", "--domain", mine, "combined.log"},
         "combined-nodupes-notypes.csv",
         "combined-nodupes.err",
         0},
        {{"-d", mine, "w3c.log"}, "w3c.csv", "w3c.err", 0},  // CRLF, W3C style
        // CR, LF and CRLF mixed; a bar in a referrer, no count without the collapse
        {{"-d", mine, "mixed.log"}, "mixed.csv", "mixed.err", 0},
        {{"-dmysite.example", "--no-dupes", "mixed.log"},
         "mixed-nodupes.csv",
         "mixed-nodupes.err",
         0},
        // markup, tabs, commas and invalid UTF-8 as read
        {{"-d", mine, "hostile.log"}, "hostile.csv", "hostile.err", 0},
        {{"-d", mine, "--format", "json", "hostile.log"}, "hostile.json", "hostile.err", 0},
        // a missing file and a folder reported, the others scanned
        {{"-d", mine, "combined.log", "missing.log", "expected", "w3c.log"},
         "several.csv",
         "several.err",
         1},
        // standard input, alone and among files
        {{"-d", mine, "-"}, "mixed.csv", "mixed.err", 0, "mixed.log"},
        {{"-d", mine, "-", "missing.log", "expected", "w3c.log"},
         "several.csv",
         "several.err",
         1,
         "combined.log"},
    };
    ProgramRun run;
    run.workDir = data_;
    run.errOnTerminal = true;
    ASSERT_EQ(RunProgram("/bin/sh", {"-c", "test -t 2"}, run).exitStatus, 0) << "no terminal";
    for (const Case& c : cases) {
        for (const bool terminal : {false, true}) {
            SCOPED_TRACE(::testing::PrintToString(c.args) + (terminal ? " under a terminal" : ""));
            run.errOnTerminal = terminal;
            run.stdinPath = c.input ? data_ + "/" + c.input : "/dev/null";
            const ProgramResult r = RunProgram(kProgram, c.args, run);
            EXPECT_EQ(r.exitStatus, c.status);
            EXPECT_EQ(r.out, Expected(c.out));
            EXPECT_EQ(terminal ? WithoutProgress(r.err) : r.err, Expected(c.err));
        }
    }
}

// today.log holds https:// referrers, quoted fields with spaces, ")" and
// escaped quotes, a field without its closing quote and an IIS line. The
// expected files of the defaults were written by the scanner before the two
// options existed, so these rows prove the defaults unchanged.
TEST_F(CliEndToEnd, TodaysLogOptionsLeaveTheDefaultsAsTheyWere) {
    struct Case {
        std::vector<std::string> options;
        const char* log;
        const char* out;
    };
    const Case cases[] = {
        {{}, "today.log", "today.csv"},
        {{"--format", "json"}, "today.log", "today.json"},
        {{"--no-dupes", "--no-types"}, "today.log", "today-nodupes-notypes.csv"},
        {{}, "../../samples/access.log", "sample.csv"},
        {{"--https", "--quoted"}, "today.log", "today-https-quoted.csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        const ProgramResult r =
            Scan(Joined({"-d", "mysite.example", "--quiet"}, c.options, {c.log}));
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, Expected(c.out));
    }

    // --quoted alone: quoted fields end at their quote; https:// stays unseen.
    const ProgramResult r = Scan({"-d", "mysite.example", "--quoted", "today.log"});
    EXPECT_EQ(r.out,
              "Type,Clicks,Referrer\n"
              "PDF,0000002,http://blog.example/post/1\n"
              "TXT,0000001,\"http://forum.example/t?q=\\\"\"a\\\"\" (x)\"\n"
              "GIF,0000001,\"http://second.example/\"\" \"\n"
              "MP3,0000001,http://unclosed.example/path\n"
              "HTM,0000001,http://w3c.example/page \n");
    EXPECT_EQ(r.err,
              "COMPLETE: 1 files done : 10 lines scanned : 6 links found : 1 duplicates removed : "
              "5 unique links\n");
}

// --fields reads the referrer field of each known layout and says what it
// read; --no-crawlers leaves out the lines of the built-in list's crawlers.
TEST_F(CliEndToEnd, FieldsReadTheReferrerFieldAndSayWhatTheyRead) {
    const std::string head = "1.2.3.4 - - [10/Oct/2023:13:55:36 -0700] \"GET /a HTTP/1.1\" 200 5 ";
    const std::string log = dir_.write(
        "fields.log",
        head + "\"https://www.google.fr/url?q=http%3A%2F%2Fmysite.com%2F\" \"Mozilla/5.0\"\n" +
            head +
            "\"-\" \"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)\"\n" +
            head + "\"http://www.mysite.com/\" \"Mozilla/5.0\"\n" + head +
            "\"http://crawled.example/\" \"Mozilla/5.0 (compatible; Googlebot/2.1; "
            "+http://www.google.com/bot.html)\"\n"
            "{\"http_referer\":\"http:\\/\\/json.example\\/"
            "x.pdf\",\"http_user_agent\":\"Mozilla/5.0 (X11)\"}\n");
    dir_.write("plain.log", "no layout here http://plain.example/\n");
    const std::string counted =
        " : 4 combined lines : 1 json lines : 1 lines of no known layout : 1 lines without a "
        "referrer : 1 self-referrals : 2 crawler lines";
    const std::string note = " : plain.log: no line of a known layout\n";
    const ProgramResult r = Run({"-d", "mysite.com", "--fields", log, "plain.log"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out,
              "Type,Clicks,Referrer\n"
              "HTM,0000001,http://crawled.example/\n"
              "PDF,0000001,http://json.example/x.pdf\n"
              "HTM,0000001,https://www.google.fr/url?q=http%3A%2F%2Fmysite.com%2F\n");
    EXPECT_EQ(r.err,
              "COMPLETE: 2 files done : 6 lines scanned : 3 links found : 0 duplicates removed : "
              "3 unique links" +
                  counted + note);
    const ProgramResult without =
        Run({"-d", "mysite.com", "--fields", "--no-crawlers", log, "plain.log"});
    EXPECT_EQ(without.out,
              "Type,Clicks,Referrer\n"
              "PDF,0000001,http://json.example/x.pdf\n"
              "HTM,0000001,https://www.google.fr/url?q=http%3A%2F%2Fmysite.com%2F\n");
    EXPECT_EQ(without.err,
              "COMPLETE: 2 files done : 6 lines scanned : 2 links found : 0 duplicates removed : "
              "2 unique links" +
                  counted + " (1 left out)" + note);
    const ProgramResult json =
        Run({"-d", "mysite.com", "--fields", "--format", "json", "-q", "plain.log"});
    EXPECT_EQ(json.out,
              "{\"rows\":[],\"stats\":{\"filesDone\":1,\"linesScanned\":1,\"linksFound\":0,"
              "\"duplicatesRemoved\":0,\"uniqueLinks\":0,\"fields\":{\"layouts\":{\"unknown\":1,"
              "\"combined\":0,\"vhostCombined\":0,\"s3\":0,\"common\":0,\"w3c\":0,\"json\":0,"
              "\"directive\":0},\"noKnownLayout\":1,\"noReferrer\":0,\"selfReferrals\":0,"
              "\"crawlers\":0,\"crawlersLeftOut\":0,\"filesOfNoKnownLayout\":[\"plain.log\"]}}}\n");
    // A crawler list that cannot be read stops the scan before any log.
    dir_.write("bad.json", "[{\"url\":\"x\"}]");
    const ProgramResult bad = Run({"-d", "mysite.com", "--fields", "--crawlers", "bad.json", log});
    EXPECT_EQ(bad.exitStatus, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err,
              "tallowby-scan: bad.json: cannot read the crawler list: not a crawler list (expected "
              "a JSON array of objects with a \"pattern\"): entry 1 has no \"pattern\" string\n");
}

// However many threads match the lines, the output is the one worked out
// by hand, from a file as from standard input.
TEST_F(CliEndToEnd, EveryThreadCountWritesTheSameOutput) {
    const std::string mixed = ReadWhole(data_ + "/mixed.log");
    for (const char* threads : {"1", "2", "3", "16"}) {
        SCOPED_TRACE(threads);
        ProgramResult r = Scan({"-d", "mysite.example", "--quiet", "--threads", threads, "--https",
                                "--quoted", "today.log"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, Expected("today-https-quoted.csv"));
        r = Scan({"-d", "mysite.example", "--threads", threads, "--format", "json", "today.log"});
        EXPECT_EQ(r.out, Expected("today.json"));
        r = Scan({"-d", "mysite.example", "--threads", threads, "-"}, mixed);
        EXPECT_EQ(r.out, Expected("mixed.csv"));
        EXPECT_EQ(r.err, Expected("mixed.err"));
    }
}

// A long output through a pipe: the same bytes as through a file, and the
// pipe made wide enough that the writer need not wait on every 64 KB.
TEST_F(CliEndToEnd, LongOutputThroughAPipeIsWhole) {
    std::string log;
    for (int i = 0; i < 4000; ++i) {
        log += "1.2.3.4 - - \"GET /a.html\" 200 1 \"http://referrer" + std::to_string(i) +
               ".example/some/long/path/to/page.html\" \"Agent\"\n";
    }
    const std::vector<std::string> args = {"-d", "mysite.example", "--quiet",
                                           dir_.write("long.log", log)};
    ProgramRun run;
    const std::string viaFile = RunProgram(kProgram, args, run).out;
    ASSERT_GT(viaFile.size(), std::size_t{256} << 10);
    run.outThroughPipe = true;
    const ProgramResult viaPipe = RunProgram(kProgram, args, run);
    EXPECT_EQ(viaPipe.exitStatus, 0);
    EXPECT_EQ(viaPipe.out, viaFile);
    std::ifstream maxSize("/proc/sys/fs/pipe-max-size");
    long allowed = 0;
    if (maxSize >> allowed && allowed >= (1 << 20)) {
        EXPECT_GE(viaPipe.pipeBytes, 1 << 20);
    }
}

TEST_F(CliEndToEnd, StandardInputIsReadOnceInItsPlace) {
    const std::string mixed = ReadWhole(data_ + "/mixed.log");
    // Alone it is a row of OutputMatchesRowsWorkedOutByHand; here between
    // two files, as the second of three.
    const ProgramResult r =
        Scan({"-d", "mysite.example", "--quiet", "empty.log", "-", "mixed.log"}, mixed);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out,
              "Type,Clicks,Referrer\n"
              "HTM,0000002,http://cr.example/only.png\n"
              "GIF,0000002,http://direct.example/a\n"
              "BOT,0000002,http://paren.example/in\n"
              "HTM,0000002,http://pipe.example/x|y\n"
              "HTM,0000004,http://pipe.example/x|y \n");
    EXPECT_EQ(r.err, "");

    ExpectRefused(
        Scan({"-d", "mysite.example", "-", "-"}, mixed),
        std::string("tallowby-scan: standard input (-) can be read only once\n") + kUsage);
}

// The compressed copies are made here by the formats' own tools; each must
// scan to the rows of the plain log, from a file of any name or from
// standard input.
TEST_F(CliEndToEnd, CompressedLogsScanToTheRowsOfThePlainOne) {
    const std::string mixed = ReadWhole(data_ + "/mixed.log");
    for (const char* tool : {"gzip", "bzip2", "xz", "zstd"}) {
        SCOPED_TRACE(tool);
        const std::string packed = Packed(tool, mixed);
        const fs::path file = dir_.write("rotated.1", packed);

        ProgramResult r = Scan({"-d", "mysite.example", file.string()});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, Expected("mixed.csv"));
        EXPECT_EQ(r.err, Expected("mixed.err"));

        r = Scan({"-d", "mysite.example", "-"}, packed);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, Expected("mixed.csv"));

        // Cut short: reported, exit 1, what was decoded and the next file kept.
        dir_.write("rotated.1", packed.substr(0, packed.size() - 6));
        r = Scan({"-d", "mysite.example", "--quiet", file.string(), "w3c.log"});
        EXPECT_EQ(r.exitStatus, 1);
        std::istringstream w3cRows(Expected("w3c.csv"));
        for (std::string row; std::getline(w3cRows, row);) {
            EXPECT_NE(r.out.find(row + "\n"), std::string::npos) << row;
        }
        EXPECT_EQ(r.err, "tallowby-scan: " + file.string() + ": read error: truncated " + tool +
                             " data\n");
    }
}

TEST_F(CliEndToEnd, EmptyInputCountsAsDone) {
    const ProgramResult r = Scan({"-d", "mysite.example", "empty.log"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "Type,Clicks,Referrer\n");
    EXPECT_EQ(r.err,
              "COMPLETE: 1 files done : 0 lines scanned : 0 links found : 0 duplicates removed : "
              "0 unique links\n");
}

TEST_F(CliEndToEnd, ReadErrorPartWayIsReportedAndTheFileNotCounted) {
    // Reading this process's memory at offset 0 fails with EIO after a
    // successful open: a real read error without special privileges.
    const ProgramResult r = Scan({"-d", "mysite.example", "/proc/self/mem", "w3c.log"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, Expected("w3c.csv"));
    EXPECT_EQ(r.err, "tallowby-scan: /proc/self/mem: read error: Input/output error\n" +
                         Expected("w3c.err"));
}

TEST_F(CliEndToEnd, HtmlPageIsWrittenBesideTheRows) {
    struct Case {
        std::vector<std::string> options;
        const char* log;
        const char* page;
    };
    const Case cases[] = {
        {{}, "combined.log", "combined.html"},
        {{}, "today.log", "today.html"},
        {{}, "hostile.log", "hostile.html"},
        {{"--no-dupes"}, "mixed.log", "mixed-nodupes.html"},
    };
    const fs::path page = temp_ / "referers.html";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        const ProgramResult r = Scan(Joined(
            {"-d", "mysite.example", "--quiet", "--html", page.string()}, c.options, {c.log}));
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(ReadWhole(page.string()), Expected(c.page));
    }
    // The report of the hostile log: markup escaped; a control byte and
    // each piece that is no UTF-8 replaced; a tab kept.
    const fs::path report = temp_ / "report.html";
    ASSERT_EQ(Scan({"-d", "mysite.example", "-q", "--format", "none", "--report", report.string(),
                    "hostile.log"})
                  .exitStatus,
              0);
    const std::string r = "\xEF\xBF\xBD";
    for (const std::string& text :
         {"http://bad.example/" + r + r + "(" + r + " ", "http://ctl.example/" + r + "x ",
          std::string("http://evil.example/&lt;script&gt;alert(&#39;x&#39;"),
          std::string("http://tab.example/a\tb,c "),
          std::string("http://utf8.example/caf\xC3\xA9 ")}) {
        EXPECT_NE(ReadWhole(report.string()).find("\">" + text + "</a></td></tr>"),
                  std::string::npos)
            << text;
    }
    fs::remove(report);

    // A later, shorter export replaces the page; an empty one empties it.
    ASSERT_EQ(Scan({"-d", "mysite.example", "--html", page.string(), "empty.log"}).exitStatus, 0);
    EXPECT_EQ(ReadWhole(page.string()), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp_), fs::directory_iterator()), 1);
}

// A page written by --html (of rows or of sites) and scanned with the logs
// again is passed over with a note; every piece of it alike. The status is
// that of a file not scanned.
TEST_F(CliEndToEnd, PagesItWroteAreNotScannedAgain) {
    const std::string pages = (temp_ / "referers.html").string();
    const std::string sites = (temp_ / "sites.html").string();
    ASSERT_EQ(Scan({"-d", "mysite.example", "-q", "--html", pages, "combined.log"}).exitStatus, 0);
    ASSERT_EQ(Scan({"-d", "mysite.example", "-q", "--by-site", "--format", "none", "--html", sites,
                    "combined.log"})
                  .exitStatus,
              0);
    const std::string note = ": skipped: a page this program writes, not a log\n";
    for (const std::string& page : {pages, sites}) {
        SCOPED_TRACE(page);
        const ProgramResult r = Scan({"-d", "mysite.example", "combined.log", page});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, Expected("combined.csv"));
        EXPECT_EQ(r.err, "tallowby-scan: " + page + note + Expected("combined.err"));
        const ProgramResult piece = Scan({"-d", "mysite.example", "-q", "--range", "40:", page});
        EXPECT_EQ(piece.exitStatus, 1);
        EXPECT_EQ(piece.out, "Type,Clicks,Referrer\n");
        EXPECT_EQ(piece.err, "tallowby-scan: " + page + note);
    }
}

TEST_F(CliEndToEnd, UnwritableOutputsAreReportedAfterTheScan) {
    const std::string page = (temp_ / "no-such-dir" / "referers.html").string();
    ProgramResult r = Scan({"-d", "mysite.example", "--html", page, "w3c.log"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, Expected("w3c.csv"));
    EXPECT_EQ(r.err, "tallowby-scan: " + page + ": cannot write: No such file or directory\n" +
                         Expected("w3c.err"));

    r = RunProgram("/bin/sh", {"-c", "exec \"$0\" -d mysite.example w3c.log >/dev/full", kProgram},
                   data_);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err,
              "tallowby-scan: standard output: No space left on device\n" + Expected("w3c.err"));
}

TEST_F(CliEndToEnd, CommandLineMistakesExitWithStatusTwo) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"combined.log"}, "the own domain is required: --domain DOMAIN"},
        {{"-d", "", "combined.log"}, "the own domain must not be empty"},
        {{"-d", "mysite.example"}, "no log files given (use - for standard input)"},
        {{"-d", "mysite.example", "--format", "xml", "combined.log"},
         "unknown format 'xml' (use csv or json)"},
        {{"-d", "mysite.example", "--fast", "combined.log"}, "unknown option '--fast'"},
        {{"combined.log", "-d"}, "option '-d' needs a value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ExpectRefused(Scan(c.args), std::string("tallowby-scan: ") + c.message + "\n" + kUsage);
    }
}

TEST_F(CliEndToEnd, HelpAndVersion) {
    ProgramResult r = Scan({"--version"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "tallowby-scan (Tallowby) 2.1.0.0\n");
    EXPECT_EQ(r.err, "");

    r = Scan({"combined.log", "--help"});  // wins over a missing --domain
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    for (const char* needle :
         {"--domain DOMAIN", "--no-dupes", "--no-types", "--https", "--quoted", "--format",
          "--html FILE", "--report FILE", "--quiet", "\n  0  ", "\n  1  ", "\n  2  "}) {
        EXPECT_NE(r.out.find(needle), std::string::npos) << needle;
    }
}

// sites.log: news.example three times (with a port and in capitals once),
// blog.test, not0-0.fr, a subdomain of the listed spam host 0-0.fr, and an
// https:// line that only --https would see. Rows worked out by hand.
TEST_F(CliEndToEnd, SitesAndSpamHiding) {
    const fs::path list = dir_.write("list.txt", "# mine\nNews.Example\n");
    struct Case {
        std::vector<std::string> options;
        const char* out;
        const char* err;
    };
    const std::string scanned = "COMPLETE: 1 files done : 7 lines scanned : ";
    const Case cases[] = {
        {{"--by-site"},
         "Pages,Clicks,Site\n0000001,0000001,blog.test\n0000002,0000003,news.example\n"
         "0000001,0000001,not0-0.fr\n0000001,0000001,www.0-0.fr\n",
         "6 links found : 1 duplicates removed : 5 unique links\n"},
        {{"--by-site", "--no-dupes"},
         "Pages,Clicks,Site\n0000001,0000001,blog.test\n0000003,0000003,news.example\n"
         "0000001,0000001,not0-0.fr\n0000001,0000001,www.0-0.fr\n",
         "6 links found : 0 duplicates removed : 6 unique links\n"},
        {{"--by-site", "--hide-spam", "--format", "json"},
         "{\"rows\":[{\"pages\":\"0000001\",\"clicks\":\"0000001\",\"site\":\"blog.test\"},"
         "{\"pages\":\"0000002\",\"clicks\":\"0000003\",\"site\":\"news.example\"},"
         "{\"pages\":\"0000001\",\"clicks\":\"0000001\",\"site\":\"not0-0.fr\"}],"
         "\"stats\":{\"filesDone\":1,\"linesScanned\":7,\"linksFound\":5,\"duplicatesRemoved\":1,"
         "\"uniqueLinks\":4,\"spamHidden\":1}}\n",
         "5 links found : 1 duplicates removed : 4 unique links\n"},
        {{"--hide-spam", "--no-types"},
         "Type,Clicks,Referrer\n,0000001,\"http://blog.test/post\"\" \"\n"
         ",0000002,\"http://news.example/other\"\" \"\n"
         ",0000001,\"http://News.Example:8080/item?id=1\"\" \"\n,0000001,\"http://not0-0.fr/\"\" "
         "\"\n",
         "5 links found : 1 duplicates removed : 4 unique links\n"},
        {{"--spam-list", list.string(), "--by-site"},
         "Pages,Clicks,Site\n0000001,0000001,blog.test\n0000001,0000001,not0-0.fr\n"
         "0000001,0000001,www.0-0.fr\n",
         "3 links found : 0 duplicates removed : 3 unique links\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options[0]);
        const ProgramResult r = Scan(Joined({"-d", "mysite.example"}, c.options, {"sites.log"}));
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, scanned + c.err);
    }

    const fs::path page = temp_ / "sites.html";
    Scan({"-d", "mysite.example", "-q", "--by-site", "--https", "--html", page.string(),
          "sites.log"});
    EXPECT_EQ(ReadWhole(page.string()),
              "<a href='http://blog.test'>blog.test</a><br>\r\n"
              "<a href='http://news.example'>news.example</a><br>\r\n"
              "<a href='http://not0-0.fr'>not0-0.fr</a><br>\r\n"
              "<a href='http://www.0-0.fr'>www.0-0.fr</a><br>\r\n"
              "<a href='https://secure.example'>secure.example</a><br>\r\n");

    const ProgramResult missing =
        Scan({"-d", "mysite.example", "--spam-list", "no-such-list.txt", "sites.log"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "tallowby-scan: no-such-list.txt: cannot read the spam list: No such file or "
              "directory\n");
}

// On the sample log the sites' clicks add up to the links found, spam hidden or not.
TEST_F(CliEndToEnd, SiteClicksAddUpToLinksFound) {
    for (const bool hide : {false, true}) {
        std::vector<std::string> args = {
            "-d",   "mysite.example",          "-q", "--by-site", "--format",
            "json", "../../samples/access.log"};
        if (hide) {
            args.push_back("--hide-spam");
        }
        const std::string out = Scan(args).out;
        // Every number after `key` in the output, added up.
        auto sum = [&out](const std::string& key) {
            long long total = 0;
            for (std::size_t at = out.find(key); at != std::string::npos;
                 at = out.find(key, at + 1)) {
                total += std::stoll(out.substr(at + key.size()));
            }
            return total;
        };
        const long long clicks = sum("\"clicks\":\"");
        EXPECT_GT(clicks, 0);
        EXPECT_EQ(clicks, sum("\"linksFound\":")) << hide;
    }
}

}  // namespace
}  // namespace tallowby::testing
