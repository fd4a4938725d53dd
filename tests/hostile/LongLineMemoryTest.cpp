// A line over the line limit, from every kind of source and on one thread
// or several, read in a child process whose peak memory is then set against
// the limit: a line of letters may cost the limit and a little more, never
// twice or three times as much; a run of zeros (a hole of a sparse file, or
// zeros that come through a pipe or a decompressor) costs next to nothing.
// The limit is lowered to 64 MB so that the reading takes a moment.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "RunProgram.h"
#include "TempDir.h"
#include "engine/read/Compression.h"
#include "engine/read/LineReader.h"
#include "engine/scan/ChunkedLines.h"

namespace tallowby {
namespace {

using testing::TempDir;

constexpr std::size_t kLimit = std::size_t{64} << 20;
// A plain file's line: long enough for a reader that takes a file in ever
// larger pieces to take two. A compressed line only needs to pass the limit.
constexpr std::size_t kLine = kLimit * 5 / 2;
constexpr std::size_t kPackedLine = kLimit + (std::size_t{4} << 20);
constexpr long kMiB = 1024;  // ru_maxrss counts KiB

struct Outcome {
    bool failedAtLimit = false;
    long grownKib = -1;  // the child's peak above what it held when it began
};

// Runs `read` in a child process: whether it failed at the limit, and how
// far the child's peak memory rose while it read.
Outcome InChild(const std::function<bool()>& read) {
    int result[2];
    if (::pipe(result) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(result[0]);
        std::signal(SIGPIPE, SIG_IGN);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        Outcome outcome;
        outcome.failedAtLimit = read();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        outcome.grownKib = after.ru_maxrss - before.ru_maxrss;
        const bool written = ::write(result[1], &outcome, sizeof outcome) == sizeof outcome;
        ::_exit(written ? 0 : 1);
    }
    ::close(result[1]);
    Outcome outcome;
    if (child < 0 || ::read(result[0], &outcome, sizeof outcome) != sizeof outcome) {
        outcome = {};
    }
    ::close(result[0]);
    if (child > 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    return outcome;
}

// Reads every line of `raw` (through the scan's sniffing and decompression)
// with a 64 MB limit; true when the reading failed at the limit.
bool FailsAtTheLimit(std::unique_ptr<ByteSource> raw, unsigned threads) {
    if (!raw) {
        return false;
    }
    Compression kind;
    std::unique_ptr<ByteSource> source = OpenDecoded(std::move(raw), kind);
    ChunkedLines lines(*source, threads, LineReader::kDefaultBlock, kLimit,
                       MatchOptions("mysite.example", {}, nullptr));
    while (lines.next()) {
    }
    return lines.failed() && lines.error() == "Line longer than 67108864 bytes";
}

// An endless line through a pipe: `byte` written until the reader goes.
bool PipedFailsAtTheLimit(char byte, unsigned threads) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return false;
    }
    std::thread writer([&] {
        const std::string block(1 << 16, byte);
        while (::write(ends[1], block.data(), block.size()) > 0) {
        }
        ::close(ends[1]);
    });
    const bool failed = FailsAtTheLimit(DescriptorSource(ends[0]), threads);
    ::close(ends[0]);
    writer.join();
    return failed;
}

enum class Way { Mapped, Read, Pipe, Gzip, Bzip2, Xz, Zstd };
const char* const kTools[] = {"", "", "", "gzip", "bzip2", "xz", "zstd"};

class LongLineMemory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        // Letters: a plain file and each compressed format; zeros: a sparse
        // file (a hole) and each compressed format.
        const std::string letters = File("letters");
        Make("head -c " + std::to_string(kLine) + " /dev/zero | tr '\\0' a >" + letters);
        std::filesystem::resize_file(dir_->write("hole", ""), 4 * kLimit);
        const std::string head = "head -c " + std::to_string(kPackedLine);
        for (int way = int(Way::Gzip); way <= int(Way::Zstd); ++way) {
            const std::string tool = std::string(" | /usr/bin/") + kTools[way] + " -1 -c >";
            Make(head + " " + letters + tool + File(std::string("letters.") + kTools[way]));
            Make(head + " /dev/zero" + tool + File(std::string("zeros.") + kTools[way]));
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string File(const std::string& name) { return dir_->file(name); }
    static void Make(const std::string& command) {
        const testing::ProgramResult r = testing::RunProgram("/bin/sh", {"-c", command}, "/");
        ASSERT_EQ(r.exitStatus, 0) << command << ": " << r.err;
    }

    // The line read the given way, in a child process.
    static Outcome Read(Way way, bool zeros, unsigned threads) {
        const std::string plain = File(zeros ? "hole" : "letters");
        const std::string packed =
            File(std::string(zeros ? "zeros." : "letters.") + kTools[int(way)]);
        return InChild([&] {
            std::string error;
            switch (way) {
                case Way::Mapped:
                    return FailsAtTheLimit(RealFileSystem().openRead(plain, error), threads);
                case Way::Read:  // a descriptor of its own is read, never mapped
                    return FailsAtTheLimit(
                        DescriptorSource(::open(plain.c_str(), O_RDONLY | O_CLOEXEC)), threads);
                case Way::Pipe:
                    return PipedFailsAtTheLimit(zeros ? '\0' : 'a', threads);
                default:
                    return FailsAtTheLimit(RealFileSystem().openRead(packed, error), threads);
            }
        });
    }

    static TempDir* dir_;
};

TempDir* LongLineMemory::dir_ = nullptr;

TEST_F(LongLineMemory, OverTheLimitCostsTheLimitAtMostAndZerosNextToNothing) {
    const char* const names[] = {"mapped file", "file read", "pipe", "gzip", "bzip2", "xz", "zstd"};
    for (int way = int(Way::Mapped); way <= int(Way::Zstd); ++way) {
        for (unsigned threads : {1u, 3u}) {
            for (bool zeros : {false, true}) {
                const Outcome o = Read(Way(way), zeros, threads);
                const std::string what =
                    std::string(names[way]) + (zeros ? ", zeros" : ", letters") + ", threads " +
                    std::to_string(threads) + ": " + std::to_string(o.grownKib / kMiB) + " MiB";
                EXPECT_TRUE(o.failedAtLimit) << what;
                EXPECT_GE(o.grownKib, 0) << what;
                EXPECT_LE(o.grownKib, zeros ? 12 * kMiB : 64 * kMiB + 12 * kMiB) << what;
            }
        }
    }
}

}  // namespace
}  // namespace tallowby
