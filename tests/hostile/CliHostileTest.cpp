// tallowby-scan on hostile selections, run as a program with a deadline: it
// must end, name every file it could not read, and still print the rows of
// the files it could. Referrers with invalid UTF-8 keep their bytes in CSV
// and in the export page (markup escaped), and show U+FFFD in JSON and in
// the report, one for each maximal invalid part.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TempDir.h"

namespace tallowby::testing {
namespace {

const std::string kProgram = TALLOWBY_SCAN_BINARY;
constexpr unsigned kDeadline = 60;

TEST(CliHostile, EndsOnFoldersFifosDevicesAndBinariesAndNamesEachProblem) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::mt19937 random(11);
    std::string binary(1 << 20, '\0');
    for (char& c : binary)
        c = static_cast<char>(random() % 7 == 0 ? '\0' : random());
    const std::string bin = dir.write("core.bin", binary);
    const std::string log = dir.write("access.log", "GET http://real.example/ x\r\n");

    const ProgramResult run =
        RunWithDeadline(kProgram,
                        {"-d", "mysite.example", "--quiet", dir.file("folder"), fifo, "/dev/zero",
                         "/dev/null", dir.file("missing.log"), bin, log},
                        kDeadline);
    ASSERT_EQ(run.signal, 0) << "killed: the scan did not end";
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "tallowby-scan: " + dir.file("folder") + ": Is a directory\n" +
                           "tallowby-scan: " + fifo + ": Not a regular file\n" +
                           "tallowby-scan: /dev/zero: Not a regular file\n" +
                           "tallowby-scan: /dev/null: Not a regular file\n" + "tallowby-scan: " +
                           dir.file("missing.log") + ": No such file or directory\n");
    EXPECT_EQ(run.out.rfind("Type,Clicks,Referrer\n", 0), 0u);
    EXPECT_NE(run.out.find("HTM,0000001,http://real.example/ \n"), std::string::npos);
}

TEST(CliHostile, StandardInputFromAnEmptyFifoEnds) {
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The runner opens the FIFO without waiting for a writer; with none, the
    // program reads its end at once.
    const ProgramResult run =
        RunWithDeadline(kProgram, {"-d", "mysite.example", "-"}, kDeadline, fifo);
    ASSERT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "Type,Clicks,Referrer\n");
}

// Invalid UTF-8 in referrers: overlong forms, surrogates, stray continuation
// bytes, a cut sequence, bytes that never occur; valid multi-byte text beside them.
const std::string kLog =
    "a http://overlong.example/\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF x\r\n"
    "b http://surrogate.example/\xED\xA0\x80\xED\xBF\xBF x\r\n"
    "c http://stray.example/\x80\xBF\xFE\xFF x\r\n"
    "d http://cut.example/\xE2\x82 x\r\n"
    "e http://valid.example/caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 x\r\n"
    "f http://markup.example/<b>&'\"\xC0 x\r\n";

const char* const kReplacement = "\xEF\xBF\xBD";

std::string Times(int n, const std::string& s) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(CliHostile, InvalidUtf8KeepsItsBytesInCsvAndTheExportAndIsReplacedInJsonAndTheReport) {
    TempDir dir;
    const std::string log = dir.write("utf8.log", kLog);
    const std::string page = dir.file("referers.html");

    const std::string report = dir.file("report.html");
    const ProgramResult csv = RunWithDeadline(
        kProgram,
        {"-d", "mysite.example", "--quiet", "--no-types", "--html", page, "--report", report, log},
        kDeadline);
    ASSERT_EQ(csv.exitStatus, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "Type,Clicks,Referrer\n"
              ",0000001,http://cut.example/\xE2\x82 \n"
              ",0000001,\"http://markup.example/<b>&'\"\"\xC0 \"\n"
              ",0000001,http://overlong.example/\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF \n"
              ",0000001,http://stray.example/\x80\xBF\xFE\xFF \n"
              ",0000001,http://surrogate.example/\xED\xA0\x80\xED\xBF\xBF \n"
              ",0000001,http://valid.example/caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 \n");
    const std::string html = ReadWhole(page);
    EXPECT_NE(html.find("<a href='http://markup.example/&lt;b&gt;&amp;&#39;&quot;\xC0'>"
                        "0000001|http://markup.example/&lt;b&gt;&amp;&#39;&quot;\xC0 </a><br>\r\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<a href='http://overlong.example/\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF'>"),
              std::string::npos);
    // The report replaces them as JSON does.
    const std::string r = kReplacement;
    const std::string reported = ReadWhole(report);
    for (const std::string& cell : {
             "http://overlong.example/" + Times(2 + 3 + 4, r) + " ",
             "http://stray.example/" + Times(4, r) + " ",
             "http://cut.example/" + r + " ",
             "http://markup.example/&lt;b&gt;&amp;&#39;&quot;" + r + " ",
         }) {
        EXPECT_NE(reported.find("\">" + cell + "</a></td></tr>"), std::string::npos) << cell;
    }

    const ProgramResult json = RunWithDeadline(
        kProgram, {"-d", "mysite.example", "--quiet", "--no-types", "--format", "json", log},
        kDeadline);
    ASSERT_EQ(json.exitStatus, 0) << json.err;
    for (const std::string& referrer : {
             "http://overlong.example/" + Times(2 + 3 + 4, r) + " ",
             "http://surrogate.example/" + Times(6, r) + " ",
             "http://stray.example/" + Times(4, r) + " ",
             "http://cut.example/" + r + " ",
             std::string("http://valid.example/caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 "),
             "http://markup.example/<b>&'\\\"" + r + " ",
         }) {
        EXPECT_NE(json.out.find("\"referrer\":\"" + referrer + "\""), std::string::npos)
            << referrer << "\n"
            << json.out;
    }
}

TEST(CliHostile, ExportOntoAFolderFailsNamingItAndLeavesItAlone) {
    TempDir dir;
    const std::string log = dir.write("access.log", "GET http://a.example/ x\r\n");
    const std::string page = dir.file("referers.html");
    std::filesystem::create_directory(page);
    const ProgramResult run =
        RunWithDeadline(kProgram, {"-d", "mysite.example", "--html", page, log}, kDeadline);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("tallowby-scan: " + page + ": cannot write: Is a directory\n"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(page));
}

TEST(CliHostile, TerminalEscapesInFileNamesAreShownAsHex) {
    TempDir dir;
    const std::string log = dir.write("access.log", "GET http://a.example/ x\r\n");
    const std::string title = dir.file("\x1b]0;title\x07.log");
    const std::string clear = dir.file("\x1b[2J");
    const ProgramResult run = RunWithDeadline(
        kProgram, {"-d", "mysite.example", "--quiet", title, clear, log}, kDeadline);
    EXPECT_EQ(run.exitStatus, 1);
    const std::string shown = dir.path().string() + "/";
    EXPECT_EQ(run.err, "tallowby-scan: " + shown +
                           "\\x1b]0;title\\x07.log: No such file or directory\n" +
                           "tallowby-scan: " + shown + "\\x1b[2J: No such file or directory\n");
}

// A file made with a hole (no disk, no time to make) that reads as `size`
// bytes: `head` at its start, `tail` at its end, zeros between.
std::string SparseFile(const std::string& path, std::uint64_t size, const std::string& head,
                       const std::string& tail) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    EXPECT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size - tail.size())),
              static_cast<ssize_t>(tail.size()));
    ::close(fd);
    return path;
}

TEST(CliHostile, ASpamListLineOfHundredsOfMegabytesIsSkippedInLittleMemory) {
    TempDir dir;
    const std::string log = dir.write("a.log",
                                      "GET http://spam.example/ x\nGET http://ham.example/ x\n"
                                      "GET http://www.other.example/ x\n");
    const std::string small = dir.write("small.hosts", "spam.example\n");
    // A hole of 256 MB reads as one line of zero bytes and takes no disk.
    const std::string big = SparseFile(dir.file("big.hosts"), 13 + (std::uint64_t{256} << 20) + 15,
                                       "spam.example\n", "\nother.example\n");

    const ProgramResult plain =
        RunWithDeadline(kProgram, {"-d", "mysite.example", "--spam-list", small, log}, kDeadline);
    const ProgramResult run =
        RunWithDeadline(kProgram, {"-d", "mysite.example", "--spam-list", big, log}, kDeadline);
    ASSERT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "Type,Clicks,Referrer\nHTM,0000001,http://ham.example/ \n");
    EXPECT_EQ(run.err,
              "COMPLETE: 1 files done : 3 lines scanned : 1 links found : 0 duplicates removed : "
              "1 unique links : 1 spam-list lines skipped (longer than 253 bytes)\n");
    EXPECT_LT(run.peakKilobytes, plain.peakKilobytes + 32 * 1024);
}

// A merge judges a file by its ends before its body, and checks the body's
// checksum before it keeps any of it: gigabytes that are no partial result
// cost it no memory.
TEST(CliHostile, MergeRefusesHugeFilesThatAreNoPartialWithoutHoldingThem) {
    TempDir dir;
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    const std::string version1("\x01\x00\x00\x00", 4);
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {SparseFile(dir.file("zeros"), 4 * kGiB, "", ""), "not a partial result"},
        {SparseFile(dir.file("ends"), kGiB / 2, "TLBYPART" + version1, "TLBYEND\n"),
         "corrupt (checksum mismatch)"},
    };
    for (const Case& c : cases) {
        const ProgramResult run = RunWithDeadline(kProgram, {"--merge", c.path}, kDeadline);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.err, "tallowby-scan: " + c.path + ": cannot merge: " + c.reason + "\n");
        EXPECT_LT(run.peakKilobytes, 64 * 1024) << c.path;
    }
}

}  // namespace
}  // namespace tallowby::testing
