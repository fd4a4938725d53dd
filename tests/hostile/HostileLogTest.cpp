// Logs no web server writes: binary data, NUL bytes, a line of 100 MB, a line
// beyond the reader's limit, a million empty lines, every kind of line end.
// Each is scanned from a real file to its end (or to a reported problem)
// without a crash, and the counters agree with the file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "ReferenceRules.h"
#include "TempDir.h"
#include "engine/match/Rules.h"
#include "engine/read/LineCount.h"
#include "engine/read/LineReader.h"
#include "engine/scan/Scanner.h"

namespace tallowby::testing {
namespace {

// Scans the given files of `dir` (real files) with the collapse and types on.
struct Scan {
    Scanner scanner;
    RecordingHost host{RecordingHost::Events::Quiet};
    Scan(const TempDir& dir, std::vector<std::string> names) {
        host.directory = dir.path().string();
        host.select(std::move(names));
        host.domain = "mysite.example";
        // A scan that hangs ends the test run here instead of at the ctest timeout.
        ::alarm(120);
        EXPECT_TRUE(testing::RunScan(scanner, host));
        ::alarm(0);
    }
    const ScanCounters& counters() const { return scanner.counters(); }
};

TEST(HostileLog, BinaryFileIsReadToItsEndAsText) {
    TempDir dir;
    std::mt19937 random(7);
    std::string bytes(4 << 20, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    // A few addresses among the noise, one of them cut short by the file's end.
    bytes.replace(1000, 24, "\rGET http://bin.example/ ");
    bytes.replace(200000, 24, "\nref http://bin.example/ ");
    bytes += "\nhttp://end.example/tail";
    dir.write("image.bin", bytes);

    Scan scan(dir, {"image.bin"});
    EXPECT_EQ(scan.counters().filesDone, 1);
    EXPECT_EQ(scan.counters().linesScanned, CountLines(bytes));
    EXPECT_EQ(CountFileLines(dir.file("image.bin")), CountLines(bytes));
    EXPECT_GE(scan.counters().linksFound, 3);
    EXPECT_EQ(static_cast<std::int64_t>(scan.host.rows.size()), scan.counters().uniqueLinks());
    EXPECT_TRUE(scan.host.problems().empty());
    EXPECT_FALSE(scan.host.valueAboveMaximum);
}

TEST(HostileLog, NulBytesStayInsideLinesAndReferrers) {
    TempDir dir;
    static const char kLog[] = "a\0b http://nul.example/x\0y z\r\n\0\0\r\nq http://end.example/\0";
    const std::string log(kLog, sizeof kLog - 1);
    dir.write("nul.log", log);

    Scan scan(dir, {"nul.log"});
    EXPECT_EQ(scan.counters().linesScanned, 3);
    ASSERT_EQ(scan.host.rows.size(), 2u);
    EXPECT_EQ(scan.host.rows[0].referrer, std::string("http://end.example/\0", 20));
    EXPECT_EQ(scan.host.rows[1].referrer, std::string("http://nul.example/x\0y ", 23));
}

TEST(HostileLog, HundredMegabyteLineIsReadWholeAndClassifiedToItsEnd) {
    TempDir dir;
    const std::string path = dir.file("huge.log");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, 'a');
        for (int i = 0; i < 100; ++i)
            out << block;
        // The type pattern stands at the very end of the 100 MB line.
        out << " http://big.example/page " << std::string(16, 'b') << " /setup.exe\r\n"
            << "next http://after.example/\r\n";
    }
    Scan scan(dir, {"huge.log"});
    EXPECT_EQ(scan.counters().filesDone, 1);
    EXPECT_EQ(scan.counters().linesScanned, 2);
    ASSERT_EQ(scan.host.rows.size(), 2u);
    EXPECT_EQ(scan.host.rows[0].referrer, "http://after.example/");
    EXPECT_EQ(scan.host.rows[0].typeCode, "HTM");
    EXPECT_EQ(scan.host.rows[1].referrer, "http://big.example/page ");
    EXPECT_EQ(scan.host.rows[1].typeCode, "EXE");
    EXPECT_EQ(CountFileLines(path), 2);
}

std::string Schemes(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += "http://";
    return s;
}

// Lines where the referrer nearly recurs at every place of the rest: the
// type code costs a bounded number of steps per byte, never the square.
TEST(HostileLog, TypeCodeWorkStaysLinearOnLinesOfRepeatedSchemes) {
    struct Case {
        const char* name;
        std::string line;
        TypeCode expected;
    };
    const std::string nearly = Schemes(19999) + "x.pdf";
    const std::vector<Case> cases = {
        {"space-cut referrer, longer rest", Schemes(60000) + " " + Schemes(120000) + ".gif",
         TypeCode::GIF},
        {"paren-cut referrer, near recurrences", Schemes(20000) + ")" + nearly + nearly + nearly,
         TypeCode::PDF},
        {"whole recurrences", "x" + Schemes(3000) + ").j" + Schemes(3000) + Schemes(3000) + "pg",
         TypeCode::JPG},
    };
    for (const Case& c : cases) {
        Cut cut;
        ASSERT_TRUE(CutReferrer(c.line, cut)) << c.name;
        std::string scratch;
        std::size_t steps = 0;
        EXPECT_EQ(TypeCodeOfRemainder(c.line, cut, scratch, &steps), c.expected) << c.name;
        EXPECT_LE(steps, 8 * c.line.size() + 256) << c.name;
    }
}

// Stop pressed while a line of many megabytes is being read: the reading
// gives the window turns inside the line, and the Stop ends the file there.
TEST(HostileLog, StopInsideALongLineEndsTheFileThere) {
    struct StoppingHost : RecordingHost {
        StoppingHost() : RecordingHost(Events::Quiet) {}
        Scanner* scanner = nullptr;
        int turns = 0;
        void giveEventLoopTurn() override {
            if (++turns == 3)
                scanner->requestStop();
        }
    };
    MemoryFileSystem fs;
    fs.add("/logs/long.log", "a http://first.example/ x\nb http://long.example/" +
                                 std::string(8 << 20, 'x') + "\nc http://after.example/ y\n")
        .maxChunk = 1 << 16;
    Scanner scanner(fs);
    StoppingHost host;
    host.scanner = &scanner;
    host.counting = false;
    host.select({"long.log"});
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(host.turns, 3);
    EXPECT_EQ(scanner.counters().linesScanned, 1);
    EXPECT_EQ(scanner.counters().filesDone, 0);
    const std::vector<std::string> statuses = host.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), kCancelledStatus), statuses.end());
}

TEST(HostileLog, LineBeyondTheLimitEndsItsFileWithAProblemAndTheScanGoesOn) {
    // A file of zeros (a disk image, say) is one endless line. It is sparse,
    // so it costs no disk, only the reading.
    TempDir dir;
    const std::string path = dir.write("zeros.img", "ref http://before.example/\n");
    std::filesystem::resize_file(path, 27 + LineReader::kMaxLine + 1);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "\nhttp://after.example/";
    }
    dir.write("next.log", "http://next.example/\r\n");

    Scan scan(dir, {"zeros.img", "next.log"});
    EXPECT_EQ(scan.host.problems(),
              std::vector<std::string>{path + "|readfailed|Line longer than 1073741824 bytes"});
    EXPECT_EQ(scan.counters().filesDone, 1);
    EXPECT_EQ(scan.counters().linesScanned, 2);
    ASSERT_EQ(scan.host.rows.size(), 2u);
    EXPECT_EQ(scan.host.rows[0].referrer, "http://before.example/");
    EXPECT_EQ(scan.host.rows[1].referrer, "http://next.example/");
}

TEST(LineReaderLimit, LinesUpToTheLimitPassAndTheFirstLongerOneFails) {
    for (std::size_t block : {1, 3, 64}) {
        for (std::size_t chunk : {1, 5, 100}) {
            MemoryFileSystem fs;
            fs.add("/f", "12345\r\n123456\nnever").maxChunk = chunk;
            std::string error;
            auto source = fs.openRead("/f", error);
            LineReader reader(*source, block, 5);
            std::string_view line;
            ASSERT_TRUE(reader.next(line));
            EXPECT_EQ(line, "12345");
            EXPECT_FALSE(reader.next(line)) << "block " << block << " chunk " << chunk;
            EXPECT_TRUE(reader.atEnd());
            EXPECT_TRUE(reader.failed());
            EXPECT_EQ(reader.error(), "Line longer than 5 bytes");
        }
    }
}

TEST(HostileLog, MillionEmptyLinesWithEveryLineEnd) {
    TempDir dir;
    std::string log;
    const char* const ends[] = {"\r\n", "\n", "\r"};  // never a CR before an LF of the next
    for (int i = 0; i < 1000000; ++i)
        log += ends[i % 3];
    dir.write("empty-lines.log", log);

    Scan scan(dir, {"empty-lines.log"});
    EXPECT_EQ(scan.counters().filesDone, 1);
    EXPECT_EQ(scan.counters().linesScanned, 1000000);
    EXPECT_EQ(scan.counters().linksFound, 0);
    EXPECT_TRUE(scan.host.rows.empty());
    EXPECT_EQ(scan.host.maximum, 1000000 + 1.01);
    EXPECT_GE(scan.host.yields, 1000000);
}

TEST(HostileLog, CrOnlyAndMixedLineEndsGiveTheSameRowsOnEveryReadPath) {
    struct Case {
        const char* name;
        std::string log;
        std::int64_t lines;
    };
    const std::vector<Case> cases = {
        {"CR only", "a http://cr.example/1 x\rb http://cr.example/2 y\rc http://cr.example/1 z", 3},
        {"mixed", "a http://m.example/1 x\rb http://m.example/2 y\nc http://m.example/1 z\r\n", 3},
        {"LF CR is two ends", "a http://m.example/1 x\n\rb http://m.example/2 y\r\r\n", 4},
        {"CR LF split by a read", "http://m.example/1 \r\nhttp://m.example/2 \r\n\r\n", 3},
    };
    for (const Case& c : cases) {
        std::vector<ReferrerEntry> first;
        for (std::size_t chunk : {1, 2, 3, 4, 5, 6, 7, 1 << 20}) {
            MemoryFileSystem fs;
            fs.add("/logs/x.log", c.log).maxChunk = chunk;
            Scanner scanner(fs);
            RecordingHost host{RecordingHost::Events::Quiet};
            host.select({"x.log"});
            ASSERT_TRUE(testing::RunScan(scanner, host));
            EXPECT_EQ(scanner.counters().linesScanned, c.lines) << c.name << ", chunk " << chunk;
            EXPECT_EQ(CountFileLines("/logs/x.log", fs), c.lines) << c.name;
            if (first.empty()) {
                first = host.rows;
                EXPECT_EQ(first.size(), 2u) << c.name;
                continue;
            }
            ASSERT_EQ(host.rows.size(), first.size()) << c.name << ", chunk " << chunk;
            for (std::size_t i = 0; i < first.size(); ++i) {
                EXPECT_EQ(host.rows[i].referrer, first[i].referrer)
                    << c.name << ", chunk " << chunk;
                EXPECT_EQ(host.rows[i].clicks, first[i].clicks) << c.name << ", chunk " << chunk;
            }
        }
    }
}

}  // namespace
}  // namespace tallowby::testing
