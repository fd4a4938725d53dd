// Files that change under the scan: between the line count and the reading
// (the count's yield), and while being read. The scan reads what the file
// holds when it gets there, its progress value never passes the maximum, a
// vanished file is a reported problem, and the other files are still read.
// Also read errors injected part-way through a file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "engine/scan/Scanner.h"

namespace tallowby::testing {
namespace {

std::string Lines(int n, const char* host = "a") {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "x http://" + std::string(host) + ".example/" + std::to_string(i) + " y\r\n";
    return s;
}

struct Changing : ::testing::Test {
    MemoryFileSystem fs;
    Scanner scanner{fs};
    RecordingHost host{RecordingHost::Events::Quiet};
    void SetUp() override {
        host.select({"a.log", "b.log"});
        fs.add("/logs/b.log", Lines(2, "b"));
    }
    // Runs `change` in the n-th yield of the scan.
    void onYield(int n, std::function<void()> change) {
        host.onYield = [this, n, change] {
            if (host.yields == n)
                change();
        };
    }
};

TEST_F(Changing, FileThatShrinksAfterItsCountIsReadAsItNowStands) {
    fs.add("/logs/a.log", Lines(10));
    onYield(1, [&] { fs.rewrite("/logs/a.log", Lines(3)); });  // the yield after the count
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(scanner.counters().filesDone, 2);
    EXPECT_EQ(scanner.counters().linesScanned, 5);
    EXPECT_EQ(host.rows.size(), 5u);
    EXPECT_FALSE(host.valueAboveMaximum);
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(Changing, FileThatGrowsAfterItsCountIsReadToItsNewEndWithTheBarHeldFull) {
    fs.add("/logs/a.log", Lines(3));
    onYield(1, [&] { fs.rewrite("/logs/a.log", Lines(50)); });
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(scanner.counters().linesScanned, 52);
    EXPECT_EQ(host.rows.size(), 52u);
    EXPECT_FALSE(host.valueAboveMaximum);
}

TEST_F(Changing, FileThatVanishesAfterItsCountIsAProblemAndTheNextFileIsRead) {
    fs.add("/logs/a.log", Lines(10));
    onYield(1, [&] { fs.remove("/logs/a.log"); });
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(host.problems(),
              std::vector<std::string>{"/logs/a.log|missing|No such file or directory"});
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linesScanned, 2);
    EXPECT_EQ(host.rows.size(), 2u);
}

TEST_F(Changing, FileChangedWhileBeingReadGivesWhatTheOpenFileHolds) {
    struct Case {
        const char* name;
        std::function<void(MemoryFileSystem&)> change;
        std::int64_t least, most;  // lines read from a.log
    };
    const std::vector<Case> cases = {
        // Yield 4 comes after the third line of a.log (one after the count,
        // then one per line); the reader may hold the start of the fourth,
        // which a truncation then turns into a short last line.
        {"truncated", [](MemoryFileSystem& f) { f.rewrite("/logs/a.log", Lines(2)); }, 3, 4},
        {"removed, still open", [](MemoryFileSystem& f) { f.remove("/logs/a.log"); }, 10, 10},
        {"appended to", [](MemoryFileSystem& f) { f.rewrite("/logs/a.log", Lines(20)); }, 20, 20},
    };
    for (const Case& c : cases) {
        MemoryFileSystem files;
        // Read piece by piece, as a file larger than the block is.
        files.add("/logs/a.log", Lines(10)).maxChunk = 8;
        files.add("/logs/b.log", Lines(2, "b")).maxChunk = 8;
        Scanner scan(files);
        RecordingHost h{RecordingHost::Events::Quiet};
        h.select({"a.log", "b.log"});
        h.onYield = [&] {
            if (h.yields == 4)
                c.change(files);
        };
        ASSERT_TRUE(testing::RunScan(scan, h));
        EXPECT_TRUE(h.problems().empty()) << c.name;
        EXPECT_EQ(scan.counters().filesDone, 2) << c.name;
        EXPECT_FALSE(h.valueAboveMaximum) << c.name;
        EXPECT_EQ(files.openSources, 0) << c.name;
        EXPECT_GE(scan.counters().linesScanned, c.least + 2) << c.name;
        EXPECT_LE(scan.counters().linesScanned, c.most + 2) << c.name;
        EXPECT_EQ(static_cast<std::int64_t>(h.rows.size()), scan.counters().uniqueLinks())
            << c.name;
    }
}

TEST_F(Changing, ReadErrorPartWayKeepsTheLinesBeforeItAndTheScanGoesOn) {
    const std::string a = Lines(10);
    // A read error inside the fourth line.
    fs.add("/logs/a.log", a).failAfter = static_cast<std::ptrdiff_t>(a.find("/3 y"));
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(host.problems(),
              std::vector<std::string>{"/logs/a.log|readfailed|Input/output error"});
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linesScanned, 3 + 2);
    ASSERT_EQ(host.rows.size(), 5u);
    EXPECT_EQ(host.rows[0].referrer, "http://a.example/0 ");
    EXPECT_EQ(fs.openSources, 0);
}

}  // namespace
}  // namespace tallowby::testing
