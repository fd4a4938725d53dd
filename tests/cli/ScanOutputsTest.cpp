#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "MemoryFileSystem.h"
#include "cli/ScanCommand.h"
#include "output/RowBlocks.h"

namespace tallowby::cli {
namespace {

// A list long enough to be written on several threads (and with as many
// sites), with cells that need quoting and escaping, and one referrer
// longer than a block may hold.
void Fill(WorkList& list, bool collapse) {
    const std::size_t entries = 5 * kRowsPerBlock + 123;
    for (std::size_t i = 0; i < entries; ++i) {
        std::string referrer = "http://r" + std::to_string(i * 7919 % 20011) + ".example/";
        if (i % 97 == 0)
            referrer += "a,\"b\"\n\x01\xC3(";
        if (i == 2 * kRowsPerBlock + 5)
            referrer += std::string(kBlockBudget + 1000, 'x');
        list.append(referrer, static_cast<TypeCode>(i % 3), i % 11 == 0);
    }
    if (collapse)
        list.collapse();
}

struct Written {
    std::string out;
    std::string err;
    int status;
};

// Writes to a stream that takes `room` bytes, then fails as a full disk does.
struct Sink {
    std::string bytes;
    std::size_t room;
};
ssize_t SinkWrite(void* cookie, const char* data, std::size_t size) {
    Sink& sink = *static_cast<Sink*>(cookie);
    const std::size_t taken = std::min(size, sink.room - sink.bytes.size());
    if (taken == 0) {
        errno = ENOSPC;
        return -1;
    }
    sink.bytes.append(data, taken);
    return static_cast<ssize_t>(taken);
}

Written Write(ScanOptions options, const WorkList& list, unsigned threads,
              std::size_t room = std::size_t(-1)) {
    options.threads = threads;
    options.quiet = true;
    Sink sink{{}, room};
    std::FILE* out =
        fopencookie(&sink, "w", cookie_io_functions_t{nullptr, SinkWrite, nullptr, nullptr});
    char* err = nullptr;
    std::size_t errSize = 0;
    std::FILE* errFile = open_memstream(&err, &errSize);
    testing::MemoryFileSystem fs;
    CommandIo io;
    io.out = out;
    io.err = errFile;
    ScanOutputs results{list, {}};
    results.summary.counters.linksFound = static_cast<std::int64_t>(list.size());
    const int status = WriteScanOutputs(options, results, fs, io, kExitOk);
    std::fclose(out);
    std::fclose(errFile);
    Written written{sink.bytes, std::string(err, errSize), status};
    std::free(err);
    return written;
}

TEST(ScanOutputs, RowsWrittenOnSeveralThreadsAreThoseOfOne) {
    WorkList plain;
    WorkList collapsed;
    Fill(plain, false);
    Fill(collapsed, true);
    struct Case {
        const char* what;
        OutputFormat format;
        bool bySite;
        bool typeCodes;
        const WorkList& list;
    };
    const Case cases[] = {
        {"csv", OutputFormat::Csv, false, true, collapsed},
        {"csv, no dupes, no types", OutputFormat::Csv, false, false, plain},
        {"json", OutputFormat::Json, false, true, collapsed},
        {"json, no dupes", OutputFormat::Json, false, true, plain},
        {"sites csv", OutputFormat::Csv, true, true, collapsed},
        {"sites json", OutputFormat::Json, true, true, collapsed},
    };
    for (const Case& c : cases) {
        ScanOptions options;
        options.format = c.format;
        options.bySite = c.bySite;
        options.typeCodes = c.typeCodes;
        const Written one = Write(options, c.list, 1);
        ASSERT_EQ(one.status, kExitOk) << c.what;
        for (unsigned threads : {2u, 3u, 8u}) {
            const Written many = Write(options, c.list, threads);
            EXPECT_EQ(many.status, kExitOk) << c.what << ", " << threads << " threads";
            EXPECT_TRUE(many.out == one.out) << c.what << ", " << threads << " threads";
        }
    }
}

TEST(ScanOutputs, AWriteFailurePartWayIsReported) {
    WorkList list;
    Fill(list, true);
    ScanOptions options;
    const std::string whole = Write(options, list, 1).out;
    for (unsigned threads : {1u, 3u}) {
        for (std::size_t room : {std::size_t{0}, std::size_t{100000}, whole.size() - 1}) {
            const Written cut = Write(options, list, threads, room);
            EXPECT_EQ(cut.status, kExitFileProblem) << threads << " threads, room " << room;
            // The reason is the system's (a thread sanitizer's stand-in for
            // the stream may change it); the output is named either way.
            EXPECT_EQ(cut.err.rfind("tallowby-scan: standard output: ", 0), 0u) << cut.err;
            EXPECT_TRUE(cut.out == whole.substr(0, cut.out.size())) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace tallowby::cli
