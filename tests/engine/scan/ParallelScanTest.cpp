// The scan with lines matched on several threads against the scan on one:
// every event the surroundings see (status texts, progress values, yields,
// file problems), the rows and the counters must be the same, whatever the
// options, the number of threads and the chunk size (tiny chunks put line
// ends across chunk boundaries and lines across several chunks).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif
#include <sched.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "TempDir.h"
#include "engine/classify/SpamList.h"
#include "engine/read/FileSystem.h"
#include "engine/scan/ChunkedLines.h"
#include "engine/scan/HeapTuning.h"
#include "engine/scan/Scanner.h"
#include "engine/tally/ThreadPlacement.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

// A log that exercises every rule: plain, https, quoted and crawler
// referrers, the own domain in either case, spam hosts, repeats in runs
// and scattered, lines without addresses, empty lines, long lines (some
// longer than a one-pass match takes), and every line end.
std::string MixedLog(unsigned seed, int lines) {
    const char* referrers[] = {
        "\"http://a.example/x.php\"",
        "\"https://b.example/p?q=1\" \"UA\"",
        "(compatible; bot; +http://c.example/bot)",
        "\"http://spam.example/\"",
        "\"HTTP://A.example/x.php\"",
        "\"http://mysite.com/self\"",
        "\"http://d.example/\\\"q\\\" r\" x",
        "no address here",
        "\"http://e.example/path.pdf\" \"Mozilla (X11)\"",
    };
    const char* paths[] = {"/a.jpg", "/b.zip", "/c.html", "/MySite.COM/d.gif", ""};
    const char* ends[] = {"\n", "\r\n", "\r", "\n"};
    std::mt19937 random(seed);
    std::string log;
    for (int i = 0; i < lines; ++i) {
        const unsigned pick = random() % 12;
        if (pick == 11) {
            log += std::string(40 + random() % 3000, 'L') + " http://long.example/" +
                   std::string(random() % 300, 'z');
        } else if (pick == 10) {
            // nothing: an empty line
        } else {
            log += "1.2.3.4 - - [x] \"GET ";
            log += paths[random() % 5];
            log += " HTTP/1.1\" 200 5 ";
            log += referrers[pick % 9];
        }
        log += ends[random() % 4];
    }
    log += "last \"http://a.example/x.php\" without a line end";
    return log;
}

struct Outcome {
    std::vector<std::string> events;
    std::vector<ReferrerEntry> rows;
    ScanCounters counters;
    int collapseEventLoopTurns = 0;
};

struct Options {
    bool dupes, types, https, quoted, spam;
};

Outcome Scan(const Options& s, unsigned threads, std::size_t chunk, FileSystem& fs,
             const std::vector<std::string>& files,
             std::function<void(RecordingHost&, Scanner&)> onYield = {},
             std::size_t limit = WorkList::kMaxElements, bool batches = false,
             const std::string& folder = "/logs", bool turns = true, int turnEvery = 0,
             bool tellsQuietLines = false) {
    static const SpamList spamList = SpamList::FromText("spam.example\n");
    RecordingHost host;
    host.directory = folder;
    host.turns = turns;
    host.dupes = s.dupes;
    host.types = s.types;
    host.https = s.https;
    host.quoted = s.quoted;
    host.spam = s.spam ? &spamList : nullptr;
    host.select(files);
    host.batches = batches;
    host.turnEvery = turnEvery;
    host.tellsQuietLines = tellsQuietLines;
    Scanner scanner(fs);
    scanner.setThreads(threads, chunk);
    scanner.workList().setLimit(limit);
    if (onYield) {
        host.onYield = [&] { onYield(host, scanner); };
    }
    testing::RunScan(scanner, host);
    if (turnEvery > 0) {
        host.events.push_back("last:" + host.status);
    }
    return {host.events, host.rows, scanner.counters(), host.collapseEventLoopTurns};
}

void ExpectSame(const Outcome& one, const Outcome& many, const std::string& what) {
    EXPECT_EQ(one.events, many.events) << what;
    ASSERT_EQ(one.rows.size(), many.rows.size()) << what;
    for (std::size_t i = 0; i < one.rows.size(); ++i) {
        EXPECT_EQ(one.rows[i].typeCode, many.rows[i].typeCode) << what << " row " << i;
        EXPECT_EQ(one.rows[i].clicks, many.rows[i].clicks) << what << " row " << i;
        EXPECT_EQ(one.rows[i].referrer, many.rows[i].referrer) << what << " row " << i;
    }
    EXPECT_EQ(one.counters.linesScanned, many.counters.linesScanned) << what;
    EXPECT_EQ(one.counters.linksFound, many.counters.linksFound) << what;
    EXPECT_EQ(one.counters.spamHidden, many.counters.spamHidden) << what;
    EXPECT_EQ(one.counters.filesDone, many.counters.filesDone) << what;
}

const std::vector<Options> kSetups = {
    {true, true, false, false, false}, {false, true, false, false, false},
    {true, false, true, false, false}, {true, true, true, true, false},
    {false, false, false, true, true}, {true, true, true, true, true},
};
const unsigned kThreads[] = {2, 3, 8};
const std::size_t kChunks[] = {1, 3, 7, 64, 0};

class ParallelScan : public ::testing::Test {
protected:
    void SetUp() override {
        fs.add("/logs/a.log", MixedLog(1, 300));
        fs.add("/logs/b.log", MixedLog(2, 120)).maxChunk = 5;
        fs.add("/logs/empty.log", "");
        fs.add("/logs/cr.log", "x http://cr.example/ y\r");
        // A read error part-way: the lines before it count, then a problem.
        fs.add("/logs/broken.log", MixedLog(3, 80)).failAfter = 2000;
    }
    // Every file handed out in place (as a mapped file is), or copied.
    void setInPlace(bool inPlace) {
        for (const char* path :
             {"/logs/a.log", "/logs/b.log", "/logs/empty.log", "/logs/cr.log", "/logs/broken.log"})
            fs.file(path).inPlace = inPlace;
    }
    MemoryFileSystem fs;
    const std::vector<std::string> files = {"a.log", "empty.log", "b.log", "cr.log", "broken.log"};
};

TEST_F(ParallelScan, SameAsOneThreadForEveryOptionThreadCountAndChunkSize) {
    for (const Options& s : kSetups) {
        setInPlace(false);
        const Outcome one = Scan(s, 1, 0, fs, files);
        ASSERT_GT(one.counters.linksFound, 100);
        for (bool inPlace : {false, true}) {
            setInPlace(inPlace);
            for (unsigned threads : kThreads) {
                for (std::size_t chunk : kChunks) {
                    ExpectSame(one, Scan(s, threads, chunk, fs, files),
                               ::testing::PrintToString(
                                   std::vector<int>{s.dupes, s.types, s.https, s.quoted, s.spam,
                                                    int(threads), int(chunk), inPlace}));
                }
            }
        }
    }
}

// A file cut short while its bytes are taken in place (a mapped file whose
// pages went) ends where it now ends, as a file read to that point would:
// its last line, cut in the middle, counts without a line end. The cut
// comes after two lines, past the chunk they were in, inside chunks read
// ahead (300 bytes, with chunks of 64) or not yet read.
TEST_F(ParallelScan, FileCutShortWhileTakenInPlaceEndsWhereItNowEnds) {
    const std::string log = MixedLog(4, 400);
    const Options s{true, true, true, true, true};
    const std::pair<std::size_t, std::size_t> cutsAndChunks[] = {
        {300, 64}, {1000, 64}, {1000, 1000}, {log.size() / 2, 64}, {log.size() - 3, 1000}};
    for (const auto& [cut, chunk] : cutsAndChunks) {
        MemoryFileSystem shorter;
        shorter.add("/logs/c.log", log.substr(0, cut));
        const Outcome expected = Scan(s, 1, 0, shorter, {"c.log"});
        fs.add("/logs/c.log", log).inPlace = true;
        auto cutting = [&, cut = cut](RecordingHost& host, Scanner&) {
            if (host.yields == 3)  // after the file's first two lines
                fs.rewrite("/logs/c.log", log.substr(0, cut));
        };
        Outcome got = Scan(s, 2, chunk, fs, {"c.log"}, cutting);
        got.events = expected.events;  // the turns differ; the rows and figures may not
        ExpectSame(expected, got,
                   "cut at " + std::to_string(cut) + ", chunk " + std::to_string(chunk));
    }
}

// The same with a real file, mapped: the pages past the cut go from the
// mapping, and reading them gives zeros instead of ending the program.
TEST(MappedLog, CutShortWhileScannedEndsWhereItNowEnds) {
    std::string log;
    for (int i = 0; log.size() < (std::size_t{4} << 20); ++i)
        log += "10.0.0." + std::to_string(i % 250) + " \"http://site" + std::to_string(i % 977) +
               ".example/page" + std::to_string(i) + ".html\" \"Mozilla\"\n";
    const std::size_t cut = log.size() / 2 + 17;  // in the middle of a line
    const Options s{true, true, false, true, false};
    MemoryFileSystem shorter;
    shorter.add("/logs/c.log", log.substr(0, cut));
    const Outcome expected = Scan(s, 1, 0, shorter, {"c.log"});
    testing::TempDir dir;
    const std::string path = dir.write("c.log", log);
    auto cutting = [&](RecordingHost& host, Scanner&) {
        if (host.yields == 3) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
        }
    };
    Outcome got = Scan(s, 2, 64 << 10, RealFileSystem(), {"c.log"}, cutting, WorkList::kMaxElements,
                       false, dir.path().string());
    got.events = expected.events;
    ExpectSame(expected, got, "real file cut short");
}

// Surroundings that take the lines a chunk at a time (the command line)
// get the same list, counters, status texts and problems; only the turns
// and progress values between them are fewer, and the collapse's running
// figure is given once, at its end.
TEST_F(ParallelScan, BatchesOfLinesGiveTheSameResults) {
    auto textsAndProblems = [](Outcome outcome) {
        const std::string running = std::string("status:") + kCollapseStatus + "  (";
        std::vector<std::string> kept;
        for (const std::string& e : outcome.events) {
            if (e.rfind(running, 0) == 0 && !kept.empty() && kept.back().rfind(running, 0) == 0)
                kept.pop_back();
            if (e.rfind("status:", 0) == 0 || e.rfind("problem:", 0) == 0)
                kept.push_back(e);
        }
        outcome.events = kept;
        return outcome;
    };
    for (const Options& s : kSetups) {
        const Outcome one = textsAndProblems(Scan(s, 1, 0, fs, files));
        for (unsigned threads : {2u, 3u}) {
            for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{0}}) {
                ExpectSame(one,
                           textsAndProblems(Scan(s, threads, chunk, fs, files, {},
                                                 WorkList::kMaxElements, true)),
                           "batches, " + std::to_string(threads) + " threads, chunk " +
                               std::to_string(chunk));
            }
        }
    }
    const Options plain{true, true, false, false, false};
    const Outcome full = textsAndProblems(Scan(plain, 1, 0, fs, {"a.log"}, {}, 20));
    ExpectSame(full, textsAndProblems(Scan(plain, 2, 64, fs, {"a.log"}, {}, 20, true)),
               "batches, full list");
}

// Surroundings that want no turns during long work (the command line) get
// the collapse of a long list on the calling thread, with no turns of the
// event loop during it, and the same results; a window gets its turns.
TEST(CollapseTurns, OnlyForSurroundingsThatWantThem) {
    std::string log;
    for (int i = 0; i < 80000; ++i)
        log += "x http://s" + std::to_string(i % 9000) + ".example/" + std::to_string(i % 7) + "\n";
    MemoryFileSystem fs;
    fs.add("/logs/long.log", log);
    const Options s{true, true, false, false, false};
    const Outcome window = Scan(s, 2, 0, fs, {"long.log"});
    EXPECT_GE(window.collapseEventLoopTurns, 1);
    const Outcome quiet =
        Scan(s, 2, 0, fs, {"long.log"}, {}, WorkList::kMaxElements, false, "/logs", false);
    EXPECT_EQ(quiet.collapseEventLoopTurns, 0);
    ExpectSame(window, quiet, "no turns");
    EXPECT_EQ(quiet.counters.duplicatesRemoved, 80000 - 9000 * 7);  // 63,000 pairs stay
}

// Stop pressed at a line: the reading ends there on every thread count,
// and the lines counted are those taken before it.
TEST_F(ParallelScan, StopEndsAtTheSameLine) {
    for (int stopAt : {1, 57, 300, 333}) {
        auto stop = [stopAt](RecordingHost& host, Scanner& scanner) {
            if (host.yields == stopAt)
                scanner.requestStop();
        };
        const Options s{true, true, true, true, true};
        setInPlace(false);
        const Outcome one = Scan(s, 1, 0, fs, files, stop);
        EXPECT_EQ(one.counters.filesDone, stopAt > 301 ? 2 : 0);
        for (bool inPlace : {false, true}) {
            setInPlace(inPlace);
            for (unsigned threads : kThreads) {
                for (std::size_t chunk : {std::size_t{3}, std::size_t{0}}) {
                    ExpectSame(one, Scan(s, threads, chunk, fs, files, stop),
                               "stop at " + std::to_string(stopAt) + (inPlace ? ", in place" : ""));
                }
            }
        }
    }
}

// Surroundings that take a turn only every so many steps (a window) and
// say so in their pace: the scan takes the lines between turns at once, and
// the collapse's positions, and every turn sees what it sees where the
// surroundings count every step themselves (the progress value, the status
// text), as does the end; a Stop or a new own domain at a turn takes effect
// at the same line; rows and counters are the same.
TEST_F(ParallelScan, LinesBetweenTurnsTakenAtOnceGiveTheSameTurns) {
    static const SpamList other = SpamList::FromText("b.example\n");
    const std::function<void(RecordingHost&, Scanner&)> actions[] = {
        {},
        [](RecordingHost& host, Scanner&) {
            if (host.events.size() == 6) {
                host.domain = "A.EXAMPLE";
                host.spam = &other;
            }
        },
        [](RecordingHost& host, Scanner& scanner) {
            if (host.events.size() == 9)
                scanner.requestStop();
        },
    };
    for (const Options& s : {kSetups[0], kSetups[5]}) {
        for (int every : {1, 5, 64}) {
            for (std::size_t a = 0; a < std::size(actions); ++a) {
                const Outcome each = Scan(s, 2, 7, fs, files, actions[a], WorkList::kMaxElements,
                                          false, "/logs", true, every, false);
                for (unsigned threads : {2u, 3u}) {
                    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{0}}) {
                        ExpectSame(each,
                                   Scan(s, threads, chunk, fs, files, actions[a],
                                        WorkList::kMaxElements, false, "/logs", true, every, true),
                                   "turn every " + std::to_string(every) + ", action " +
                                       std::to_string(a) + ", " + std::to_string(threads) +
                                       " threads, chunk " + std::to_string(chunk));
                    }
                }
            }
        }
    }
}

// The own domain changed in the middle of the scan (in the Options window,
// during a turn): lines from the next one on are judged by the new domain,
// including lines other threads had matched ahead with the old one. The
// spam list and the rules switched too.
TEST_F(ParallelScan, OptionsChangedMidScanApplyFromTheNextLine) {
    static const SpamList other = SpamList::FromText("b.example\n");
    for (int changeAt : {5, 150, 310}) {
        auto change = [changeAt](RecordingHost& host, Scanner&) {
            if (host.yields == changeAt) {
                host.domain = "A.EXAMPLE";
                host.https = !host.https;
            }
            if (host.yields == changeAt + 40) {
                host.spam = &other;
                host.domain = "mysite.com";
            }
        };
        const Options s{false, true, false, true, true};
        const Outcome one = Scan(s, 1, 0, fs, files, change);
        for (unsigned threads : kThreads) {
            for (std::size_t chunk : {std::size_t{7}, std::size_t{0}}) {
                ExpectSame(one, Scan(s, threads, chunk, fs, files, change),
                           "change at " + std::to_string(changeAt));
            }
        }
    }
}

// A work list that can take no more ends the file with a clear problem,
// on one thread as on many; nothing after it is added.
TEST_F(ParallelScan, FullWorkListEndsTheFileWithAProblem) {
    const Options s{true, true, false, false, false};
    const Outcome one = Scan(s, 1, 0, fs, {"a.log"}, {}, 20);
    EXPECT_THAT(one.events,
                ::testing::Contains("problem:/logs/a.log|readfailed|too many referring lines for "
                                    "one scan (the list holds at most 20)"));
    EXPECT_EQ(one.counters.filesDone, 0);
    EXPECT_LE(one.counters.linksFound, 20);
    for (unsigned threads : kThreads) {
        ExpectSame(one, Scan(s, threads, 5, fs, {"a.log"}, {}, 20), "limit");
    }
}

// A helper leaves its starter's core at once, and is then free to run on
// every core its starter may use; with one core allowed nothing changes.
TEST(ThreadPlacement, HelperLeavesItsStartersCoreAndKeepsEveryCore) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    for (const bool oneCore : {false, true}) {
        int core = -1;
        for (int c = 0; c < CPU_SETSIZE && core < 0; ++c) {
            core = CPU_ISSET(c, &all) ? c : -1;
        }
        if (!oneCore && CPU_COUNT(&all) < 2) {
            continue;  // nowhere else to go
        }
        cpu_set_t start;
        CPU_ZERO(&start);
        CPU_SET(core, &start);
        const cpu_set_t& given = oneCore ? start : all;
        int ranOn = -1;
        cpu_set_t after;
        CPU_ZERO(&after);
        std::thread helper([&] {
            sched_setaffinity(0, sizeof given, &given);
            // Where it ran once moved: afterwards the system may bring it
            // back at any time.
            ranOn = MoveOffCore(core);
            sched_getaffinity(0, sizeof after, &after);
        });
        helper.join();
        if (oneCore) {
            EXPECT_EQ(ranOn, core);
        } else {
            EXPECT_NE(ranOn, core);
        }
        EXPECT_TRUE(CPU_EQUAL(&after, &given));
    }
}

#if defined(M_MMAP_THRESHOLD)
// Once tuned, a block of a few megabytes comes from the heap, not from a
// mapping of its own.
TEST(HeapTuning, LargeBlocksComeFromTheHeap) {
    ServeLargeBlocksFromTheHeap();
    const auto mapped = mallinfo2().hblks;
    std::vector<char> block(std::size_t{4} << 20, 'x');
    EXPECT_EQ(mallinfo2().hblks, mapped);
}
#endif

// A line over the line limit fails the reading as LineReader does: the
// lines before it are handed out, then the failure, whatever the chunks.
TEST(ChunkedLines, LineOverTheLimitFailsAfterTheLinesBeforeIt) {
    const std::string input = "a\r\nbb\r" + std::string(30, 'c') + "\ndd\n";
    for (unsigned threads : {1u, 2u, 4u}) {
        for (std::size_t block : {1, 4, 100}) {
            MemoryFileSystem fs;
            fs.add("/f", input);
            std::string error;
            auto source = fs.openRead("/f", error);
            ChunkedLines lines(*source, threads, block, 10, MatchOptions("", {}, nullptr));
            int count = 0;
            while (lines.next())
                ++count;
            EXPECT_EQ(count, 2) << threads << " " << block;
            EXPECT_TRUE(lines.failed());
            EXPECT_EQ(lines.error(), "Line longer than 10 bytes");
        }
    }
}

}  // namespace
}  // namespace tallowby
