// Things that are not log files, selected as logs: a directory, a FIFO with
// and without a writer, /dev/zero and /dev/null. None is read (a FIFO could
// wait forever, /dev/zero never ends); each is named as a problem and the
// logs around it are scanned. The real file system's open never waits either,
// even when a FIFO takes a file's place after the check.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "RecordingHost.h"
#include "TempDir.h"
#include "engine/read/FilePaths.h"
#include "engine/read/LineCount.h"
#include "engine/scan/Scanner.h"

namespace tallowby::testing {
namespace {

// A FIFO in `dir`, held open for writing (with nothing written) while this lives.
struct Fifo {
    std::string path;
    int writer = -1;
    Fifo(const TempDir& dir, const std::string& name, bool withWriter) : path(dir.file(name)) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        if (withWriter) {
            writer = ::open(path.c_str(), O_RDWR);  // O_RDWR: opening does not wait for a reader
            EXPECT_GE(writer, 0);
        }
    }
    ~Fifo() {
        if (writer >= 0)
            ::close(writer);
    }
};

TEST(SpecialFile, DirectoryFifoAndDevicesAreSkippedWithAReason) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    Fifo idle(dir, "idle.fifo", false);
    Fifo busy(dir, "busy.fifo", true);
    const std::string log = dir.write("real.log", "GET http://real.example/ x\r\n");

    Scanner scanner;
    RecordingHost host{RecordingHost::Events::Quiet};
    host.directory = "";  // the names are whole paths
    host.select({dir.file("folder"), idle.path, busy.path, "/dev/zero", "/dev/null", log});
    ::alarm(60);  // reading /dev/zero or a FIFO would never end
    ASSERT_TRUE(testing::RunScan(scanner, host));
    ::alarm(0);
    EXPECT_EQ(host.problems(), (std::vector<std::string>{
                                   dir.file("folder") + "|missing|Is a directory",
                                   idle.path + "|missing|Not a regular file",
                                   busy.path + "|missing|Not a regular file",
                                   "/dev/zero|missing|Not a regular file",
                                   "/dev/null|missing|Not a regular file",
                               }));
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(scanner.counters().linesScanned, 1);
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].referrer, "http://real.example/ ");
    for (const std::string& path : {idle.path, std::string("/dev/zero")}) {
        EXPECT_EQ(CountFileLines(path), 0) << path;
        EXPECT_FALSE(FileExists(path)) << path;
    }
}

TEST(SpecialFile, FifoThatSlipsPastTheCheckNeverBlocksTheScan) {
    TempDir dir;
    Fifo idle(dir, "idle.fifo", false);
    Fifo busy(dir, "busy.fifo", true);
    // The status still says "regular file", as when a FIFO replaces a log
    // between the check and the open.
    FaultyFileSystem stale;
    stale.staleStatus = true;
    Scanner scanner(stale);
    RecordingHost host{RecordingHost::Events::Quiet};
    host.directory = "";
    host.select({idle.path, busy.path});
    ::alarm(60);
    ASSERT_TRUE(testing::RunScan(scanner, host));
    EXPECT_EQ(CountFileLines(busy.path, stale), 0);
    ::alarm(0);
    // Without a writer a FIFO is at its end at once; with an idle writer the
    // read fails instead of waiting.
    EXPECT_EQ(scanner.counters().filesDone, 1);
    EXPECT_EQ(host.problems(),
              std::vector<std::string>{busy.path + "|readfailed|Resource temporarily unavailable"});
}

}  // namespace
}  // namespace tallowby::testing
