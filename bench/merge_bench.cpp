// merge_bench: times the merge of partial results against reading them.
//
//   merge_bench PARTIAL...
//
// Reading: each partial read from the page cache and checked (checksum,
// entries), as --merge reads it. Merging: the same reading, plus the one
// pass that puts every entry into one work list in order, collapsed across
// partials: the work --merge adds before it writes any output. Writing the
// merged partial (an output, as the rows are) is timed apart. Prints the
// best of five runs of each (processor time), and the ratio of merging to
// reading last.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "engine/scan/ListFiles.h"
#include "engine/tally/PartialMerger.h"

namespace {

// Processor time of this process: on a shared machine, other jobs' turns
// do not count against either side.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
};

double Seconds(double since) {
    return Clock::now() - since;
}

bool ReadAll(const std::vector<std::string>& paths, tallowby::PartialMerger* merger,
             std::size_t& entries) {
    entries = 0;
    for (const std::string& path : paths) {
        tallowby::Partial partial;
        const tallowby::PartialFileResult r =
            tallowby::ReadPartial(tallowby::RealFileSystem(), path, partial);
        if (!r.ok) {
            std::fprintf(stderr, "merge_bench: %s: %s\n", path.c_str(), r.error.c_str());
            return false;
        }
        entries += partial.entries.size();
        std::string error;
        if (merger && !merger->add(std::move(partial), error)) {
            std::fprintf(stderr, "merge_bench: %s: %s\n", path.c_str(), error.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> paths(argv + 1, argv + argc);
    if (paths.empty()) {
        std::fputs("usage: merge_bench PARTIAL...\n", stderr);
        return 2;
    }
    double read = 1e9;
    double merge = 1e9;
    double write = 1e9;
    std::size_t entries = 0;
    std::size_t merged = 0;
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        if (!ReadAll(paths, nullptr, entries)) {
            return 1;
        }
        read = std::min(read, Seconds(start));

        start = Clock::now();
        tallowby::PartialMerger merger;
        if (!ReadAll(paths, &merger, entries)) {
            return 1;
        }
        merger.finish();
        merge = std::min(merge, Seconds(start));
        merged = merger.workList().size();
        start = Clock::now();
        const std::string bytes = tallowby::EncodePartial(merger.summary(), merger.workList());
        write = std::min(write, Seconds(start));
        if (bytes.empty()) {
            return 1;
        }
    }
    std::printf("%zu partials, %zu entries, %zu after the merge\n", paths.size(), entries, merged);
    std::printf("reading %.0f ms, merging %.0f ms, writing the merged partial %.0f ms\n",
                read * 1000, merge * 1000, write * 1000);
    std::printf("merge / read = %.2f (target <= 2)\n", merge / read);
    return 0;
}
