#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "engine/scan/Scanner.h"

namespace tallowby {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::MemoryFileSystem;
using testing::RecordingHost;

std::string Line(const std::string& referrer, const std::string& path = "/index.html") {
    return "1.2.3.4 - - [10/Oct/2026:13:55:36 +0000] \"GET " + path + " HTTP/1.1\" 200 99 \"" +
           referrer + "\" \"Mozilla/5.0\"";
}

// What the cut takes from such a line: up to and including the space after
// the closing quote of the referrer field.
std::string Cut(const std::string& referrer) {
    return referrer + "\" ";
}

class ScannerTest : public ::testing::Test {
protected:
    MemoryFileSystem fs;
    RecordingHost host;
    Scanner scanner{fs};
};

TEST_F(ScannerTest, NoFileSelectedReportsFiveZeros) {
    EXPECT_EQ(scanner.run(host, host), ScanOutcome::Finished);
    EXPECT_THAT(host.events,
                ElementsAre("status:Removing Duplicates...  Please Wait.", "value:0.00", "yield"));
    EXPECT_EQ(CompleteStatusText(scanner.counters()),
              "COMPLETE: 0 files done : 0 lines scanned : 0 links found : 0 duplicates removed : "
              "0 unique links");
    EXPECT_EQ(StatisticsMessageText(scanner.counters()),
              "0 files done\r\n0 lines scanned\r\n0 links found\r\n0 duplicates removed\r\n0 "
              "unique links");
}

TEST_F(ScannerTest, ExactSequenceOfAScanWithCollapse) {
    fs.add("/logs/a.log", Line("http://ref.example/") + "\r\n" + "no referrer here\r\n" +
                              Line("http://ref.example/") + "\r\n");
    host.select({"a.log"});
    EXPECT_EQ(scanner.run(host, host), ScanOutcome::Finished);
    EXPECT_THAT(host.events,
                ElementsAre("value:0.01", "max:4.01", "yield",  // prepare
                            "value:1.01", "yield", "value:2.01", "yield", "value:3.01", "yield",
                            "status:Finished 1 files : Scanned 3 lines : found 2 links",
                            "status:Removing Duplicates...  Please Wait.", "value:0.00", "yield",
                            "status:Removing Duplicates...  Please Wait.  (1 removed)", "yield",
                            "status:Removing Duplicates...  Please Wait.  (1 removed)", "yield"));
    EXPECT_EQ(CompleteStatusText(scanner.counters()),
              "COMPLETE: 1 files done : 3 lines scanned : 2 links found : 1 duplicates removed : "
              "1 unique links");
    EXPECT_EQ(StatisticsMessageText(scanner.counters()),
              "1 files done\r\n3 lines scanned\r\n2 links found\r\n1 duplicates removed\r\n1 "
              "unique links");
    const std::vector<ReferrerEntry> rows = BuildResultRows(scanner.workList(), true);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].typeCode, "HTM");
    EXPECT_EQ(rows[0].clicks, "0000002");
    EXPECT_EQ(rows[0].referrer, Cut("http://ref.example/"));
}

TEST_F(ScannerTest, CollapseRefreshesOncePerPositionWithRunningFigure) {
    std::string log;
    for (const char* r : {"http://b/", "http://a/", "http://b/", "http://b/"})
        log += Line(r) + "\n";
    fs.add("/logs/x", log);
    host.select({"x"});
    testing::RunScan(scanner, host);
    auto s = host.statuses();
    std::vector<std::string> collapse(s.begin() + 1, s.end());
    EXPECT_THAT(collapse, ElementsAre("Removing Duplicates...  Please Wait.",
                                      "Removing Duplicates...  Please Wait.  (0 removed)",
                                      "Removing Duplicates...  Please Wait.  (2 removed)",
                                      "Removing Duplicates...  Please Wait.  (2 removed)",
                                      "Removing Duplicates...  Please Wait.  (2 removed)"));
    EXPECT_EQ(scanner.counters().duplicatesRemoved, 2);
    ASSERT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(host.rows[0].clicks, "0000001");
    EXPECT_EQ(host.rows[1].clicks, "0000003");
}

// Surroundings that take lines in batches get the final figure once.
TEST_F(ScannerTest, CollapseInBatchesRefreshesOnceWithTheFinalFigure) {
    std::string log;
    for (const char* r : {"http://b/", "http://a/", "http://b/", "http://b/"})
        log += Line(r) + "\n";
    fs.add("/logs/x", log);
    host.select({"x"});
    host.batches = true;
    ASSERT_EQ(scanner.run(host, host), ScanOutcome::Finished);
    const std::vector<std::string> tail(host.events.end() - 5, host.events.end());
    EXPECT_THAT(tail,
                ElementsAre("status:Removing Duplicates...  Please Wait.", "value:0.00", "yield",
                            "status:Removing Duplicates...  Please Wait.  (2 removed)", "yield"));
    EXPECT_EQ(scanner.counters().duplicatesRemoved, 2);
}

TEST_F(ScannerTest, EmptyFileCountsAsDone) {
    fs.add("/logs/empty.log", "");
    host.select({"empty.log"});
    host.dupes = false;
    testing::RunScan(scanner, host);
    EXPECT_THAT(host.statuses(), ElementsAre("Finished 1 files : Scanned 0 lines : found 0 links"));
    EXPECT_EQ(scanner.counters().filesDone, 1);
}

TEST_F(ScannerTest, WithoutCollapseEqualReferrersFillSeveralRows) {
    fs.add("/logs/x",
           Line("http://r/") + "\n" + Line("http://r/") + "\n" + Line("http://a|b/") + "\n");
    host.select({"x"});
    host.dupes = false;
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().duplicatesRemoved, 0);
    EXPECT_EQ(scanner.counters().uniqueLinks(), 3);
    ASSERT_EQ(host.rows.size(), 3u);
    // A "|" inside a referrer is part of it while nothing was collapsed.
    EXPECT_EQ(host.rows[0].referrer, Cut("http://a|b/"));
    EXPECT_EQ(host.rows[0].clicks, "");
    EXPECT_EQ(host.rows[1].referrer, Cut("http://r/"));
    EXPECT_EQ(host.rows[2].referrer, Cut("http://r/"));
}

TEST_F(ScannerTest, CollapsedReferrerWithBarKeepsEverythingAfterThePrefix) {
    fs.add("/logs/x", Line("http://a|b/") + "\n" + Line("http://a|b/") + "\n");
    host.select({"x"});
    testing::RunScan(scanner, host);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].clicks, "0000002");
    EXPECT_EQ(host.rows[0].referrer, Cut("http://a|b/"));
}

TEST_F(ScannerTest, TypeCodesComeFromEachRowsOwnLineOrStayEmpty) {
    fs.add("/logs/x", Line("http://a/", "/pic.jpg") + "\n" + Line("http://b/", "/setup.exe") +
                          "\n" +
                          "\"Mozilla/5.0 (compatible; Crawl/1.0; +http://crawl.example/bot)\"\n");
    host.select({"x"});
    testing::RunScan(scanner, host);
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].typeCode, "JPG");
    EXPECT_EQ(host.rows[1].typeCode, "EXE");
    EXPECT_EQ(host.rows[2].typeCode, "BOT");
    EXPECT_EQ(host.rows[2].referrer, "http://crawl.example/bot");

    host.types = false;
    testing::RunScan(scanner, host);
    for (const auto& row : host.rows)
        EXPECT_EQ(row.typeCode, "");
}

TEST_F(ScannerTest, StopDuringSecondOfThreeFiles) {
    for (const char* name : {"/logs/1", "/logs/2", "/logs/3"}) {
        fs.add(name,
               Line("http://a/") + "\n" + Line("http://b/") + "\n" + Line("http://c/") + "\n");
    }
    host.select({"1", "2", "3"});
    host.onYield = [&] {
        if (scanner.counters().linesScanned == 4)
            scanner.requestStop();
    };
    EXPECT_EQ(scanner.run(host, host), ScanOutcome::Stopped);
    host.rows = BuildResultRows(scanner.workList(), true);
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linesScanned, 4);
    auto s = host.statuses();
    EXPECT_THAT(std::vector<std::string>(s.begin(), s.begin() + 3),
                ElementsAre("Finished 1 files : Scanned 3 lines : found 3 links", "Cancelled",
                            "Cancelled"));
    EXPECT_EQ(s.back(), "Removing Duplicates...  Please Wait.  (1 removed)");
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].clicks, "0000002");  // what was read, collapsed
    EXPECT_EQ(fs.openCount, 6);  // counted and opened each; the third is closed unread
    EXPECT_EQ(fs.openSources, 0);
}

TEST_F(ScannerTest, StopWhileIdleDoesNotAffectTheNextScan) {
    fs.add("/logs/1", Line("http://a/") + "\n");
    host.select({"1"});
    scanner.requestStop();
    EXPECT_EQ(scanner.run(host, host), ScanOutcome::Finished);
    EXPECT_EQ(scanner.counters().filesDone, 1);
}

TEST_F(ScannerTest, MissingDirectoryAndUnreadableFilesAreSkipped) {
    fs.addDirectory("/logs/dir");
    fs.add("/logs/locked", Line("http://x/") + "\n").refuseOpen = true;
    fs.add("/logs/ok", Line("http://ok/") + "\n");
    host.select({"gone", "dir", "locked", "ok"});
    host.dupes = false;
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linksFound, 1);
    std::vector<std::string> problems;
    for (const auto& e : host.events) {
        if (e.rfind("problem:", 0) == 0)
            problems.push_back(e);
    }
    EXPECT_THAT(problems, ElementsAre("problem:/logs/gone|missing|No such file or directory",
                                      "problem:/logs/dir|missing|Is a directory",
                                      "problem:/logs/locked|unreadable|Permission denied"));
    // A skipped file changes neither status nor counters, but its progress is set up.
    EXPECT_EQ(host.events[0], "value:0.01");
    EXPECT_EQ(host.events[1], "max:1.01");
}

// A page the program writes, picked up with the logs beside it, is passed
// over unread: its links would come back as referrers of their own.
TEST_F(ScannerTest, PagesOfTheProgramsOwnArePassedOver) {
    const std::string log = Line("http://ref.example/") + "\n";
    const std::string generator = "<meta name=\"generator\" content=\"Tallowby\">";
    const std::string report = "<!DOCTYPE html>\n<html><head>" + generator;
    struct Case {
        std::string text;
        bool skipped;
    };
    const Case cases[] = {
        {"<a href='http://a.example/x'>0000002|http://a.example/x</a><br>\r\n", true},
        {"<a href='http://a.example/'>0000007|a.example</a><br>\r\n" + log, true},
        {report + "</head>\n" + log, true},
        {"<!DOCTYPE html>" + std::string(1000, ' ') + generator, false},  // tag past 1 KB
        {"<!DOCTYPE html>\n<html>\n" + log, false},                       // someone else's page
        {"<A HREF='http://a.example/'>a</A>\n" + log, false},
        {" <a href='http://a.example/'>a</a>\n" + log, false},
        {log + "<a href='http://a.example/'>a</a>\n", false},
        {"", false},
    };
    for (const Case& c : cases) {
        MemoryFileSystem files;
        files.add("/logs/page.html", c.text);
        files.add("/logs/a.log", log);
        RecordingHost recorder;
        recorder.select({"page.html", "a.log"});
        Scanner scan(files);
        testing::RunScan(scan, recorder);
        const bool told =
            std::count(recorder.events.begin(), recorder.events.end(),
                       "problem:/logs/page.html|ownpage|a page this program writes, not a log") ==
            1;
        EXPECT_EQ(told, c.skipped) << c.text;
        EXPECT_EQ(scan.counters().filesDone, c.skipped ? 1 : 2) << c.text;
        if (c.skipped) {
            EXPECT_EQ(scan.counters().linesScanned, 1) << c.text;
            EXPECT_EQ(scan.counters().linksFound, 1) << c.text;
        }
    }
}

TEST_F(ScannerTest, ReadErrorKeepsWhatWasReadAndGoesOn) {
    auto& bad = fs.add("/logs/bad", Line("http://a/") + "\n" + Line("http://b/") + "\n");
    bad.maxChunk = 10;
    bad.failAfter = static_cast<std::ptrdiff_t>(Line("http://a/").size() + 5);
    fs.add("/logs/good", Line("http://c/") + "\n");
    host.select({"bad", "good"});
    host.dupes = false;
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linksFound, 2);
    ASSERT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(host.rows[0].referrer, Cut("http://a/"));
    EXPECT_EQ(host.rows[1].referrer, Cut("http://c/"));
    EXPECT_EQ(fs.openSources, 0);
}

TEST_F(ScannerTest, OptionsAreReadAtTheirPointOfUse) {
    fs.add("/logs/x",
           Line("http://a/") + "\n" + Line("http://a/") + "\n" + Line("http://b/") + "\n");
    host.select({"x"});
    host.onYield = [&] {
        if (scanner.counters().linesScanned == 1) {
            host.domain = "http://a/";  // from now on lines naming it are dropped
            host.dupes = false;         // read only after the last file
        }
    };
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().linksFound, 2);
    ASSERT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(host.rows[0].clicks, "");
}

TEST_F(ScannerTest, LongFileHoldsProgressAtItsMaximum) {
    std::string log;
    for (int i = 0; i < 5; ++i)
        log += "x\n";
    fs.add("/logs/x", log);
    host.select({"x"});
    host.counting = false;  // the maximum stays 1.01
    host.dupes = false;
    testing::RunScan(scanner, host);
    std::vector<std::string> values;
    for (const auto& e : host.events) {
        if (e.rfind("value:", 0) == 0)
            values.push_back(e);
    }
    EXPECT_THAT(values, ElementsAreArray(
                            std::vector<std::string>({"value:0.01", "value:1.01", "value:1.01",
                                                      "value:1.01", "value:1.01", "value:1.01"})));
}

// The progress as plain figures: lines done of the lines counted (or
// unknown), whatever the bar's margin; a file that grew past its count
// stays at the whole.
TEST_F(ScannerTest, ProgressGivesLinesDoneOfTheLinesCounted) {
    struct Figures : ScanObserver {
        std::vector<std::string> seen;
        void setProgressValue(const ScanProgress& p) override {
            seen.push_back(std::to_string(p.done) + "/" + std::to_string(p.total) + "=" +
                           RecordingHost::Format(p.fraction()));
        }
    };
    struct Case {
        bool counting;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {true, {"0/-1=-1.00", "1/2=0.50", "2/2=1.00"}},
        {false, {"0/-1=-1.00", "1/-1=-1.00", "2/-1=-1.00"}},
    };
    fs.add("/logs/x", "a\r\nb\n");
    for (const Case& c : cases) {
        host.select({"x"});
        host.counting = c.counting;
        host.dupes = false;
        Figures figures;
        scanner.run(host, figures);
        EXPECT_EQ(figures.seen, c.expected) << c.counting;
    }
}

TEST_F(ScannerTest, SecondScanKeepsNothingOfTheFirst) {
    fs.add("/logs/1", Line("http://first/", "/a.zip") + "\n");
    fs.add("/logs/2", Line("http://second/", "/a.gif") + "\n");
    host.select({"1"});
    testing::RunScan(scanner, host);
    host.select({"2"});
    testing::RunScan(scanner, host);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].referrer, Cut("http://second/"));
    EXPECT_EQ(host.rows[0].typeCode, "GIF");
    EXPECT_EQ(scanner.counters().linesScanned, 1);
    EXPECT_EQ(scanner.workList().size(), 1u);
}

TEST_F(ScannerTest, ScanCommandDuringAScanIsRefused) {
    fs.add("/logs/1", Line("http://a/") + "\n" + Line("http://b/") + "\n");
    host.select({"1"});
    bool nested = true;
    host.onYield = [&] {
        if (scanner.running())
            nested = testing::RunScan(scanner, host);
    };
    testing::RunScan(scanner, host);
    EXPECT_FALSE(nested);
    EXPECT_EQ(scanner.counters().linksFound, 2);
    EXPECT_FALSE(scanner.running());
}

TEST_F(ScannerTest, SelectionIsReadWhenTheLoopReachesAnEntry) {
    fs.add("/logs/1", Line("http://a/") + "\n");
    fs.add("/logs/2", Line("http://b/") + "\n");
    host.select({"1", "2"});
    host.selected[1] = false;
    host.onYield = [&] { host.selected[1] = true; };
    host.dupes = false;
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().filesDone, 2);
}

}  // namespace
}  // namespace tallowby
