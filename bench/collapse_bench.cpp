// collapse_bench: times the collapse of equal referrers on its own.
//
//   collapse_bench [--runs N] LOG...
//
// Each run scans the logs into a work list without collapsing it (all cores
// matching, as tallowby-scan does), then times WorkList::collapse() alone,
// and the ranking of the distinct texts in folded order on its own. Prints
// the best wall-clock time of the runs for each (the collapse may use more
// than one thread, so processor time would not tell), and a checksum of what
// the collapse left (order, counts, removed figures), so that two builds can
// be checked to agree byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan/Scanner.h"
#include "engine/tally/FoldedRanks.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of the whole process (all its threads): the machine may be
// shared, and other jobs' turns do not count.
double ProcessorMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

class LogInput : public tallowby::ScanInput {
public:
    explicit LogInput(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    std::int64_t fileCount() override { return static_cast<std::int64_t>(paths_.size()); }
    std::string fileName(std::int64_t index) override {
        return paths_[static_cast<std::size_t>(index)];
    }
    tallowby::LineOptions lineOptions() override {
        tallowby::LineOptions options;
        options.ownDomain = "mysite.example";
        return options;
    }
    bool removeDupes() override { return false; }
    bool countsLines(const std::string&) override { return false; }

private:
    std::vector<std::string> paths_;
};

// FNV-1a over everything the collapse decides.
struct Checksum {
    std::uint64_t value = 0xcbf29ce484222325ull;
    void add(std::string_view bytes) {
        for (const char c : bytes) {
            value = (value ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        }
    }
    void add(std::int64_t number) {
        add(std::string_view(reinterpret_cast<const char*>(&number), sizeof number));
    }
};

std::uint64_t ChecksumOf(const tallowby::WorkList& list, const std::vector<std::int64_t>& removed) {
    Checksum sum;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const tallowby::WorkList::Item item = list.at(i);
        sum.add(item.referrer);
        sum.add(item.count);
        sum.add(static_cast<std::int64_t>(item.type) * 2 + (item.bot ? 1 : 0));
        sum.add(list.arrival(i));
    }
    for (const std::int64_t r : removed) {
        sum.add(r);
    }
    return sum.value;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty()) {
        std::fputs("usage: collapse_bench [--runs N] LOG...\n", stderr);
        return 2;
    }
    double collapse = 1e18;
    double ranks = 1e18;
    double ranksCpu = 1e18;
    std::size_t entries = 0;
    std::size_t distinct = 0;
    std::uint64_t checksum = 0;
    for (int run = 0; run < runs; ++run) {
        tallowby::Scanner scanner;
        LogInput input(paths);
        tallowby::ScanObserver quiet;
        scanner.run(input, quiet);
        tallowby::WorkList& list = scanner.workList();
        entries = list.size();

        // The ranking alone, on the distinct texts as the list holds them.
        std::vector<std::string_view> texts;
        {
            list.at(0);  // orders the list, so the texts are all there
            // The distinct texts: every entry's referrer once, in arrival order.
            std::vector<std::string_view> all;
            all.reserve(entries);
            for (std::size_t i = 0; i < entries; ++i) {
                const std::string_view t = list.at(i).referrer;
                if (all.empty() || all.back().data() != t.data()) {
                    all.push_back(t);
                }
            }
            std::sort(all.begin(), all.end(),
                      [](std::string_view a, std::string_view b) { return a.data() < b.data(); });
            all.erase(std::unique(all.begin(), all.end(),
                                  [](std::string_view a, std::string_view b) {
                                      return a.data() == b.data();
                                  }),
                      all.end());
            texts = std::move(all);
        }
        distinct = texts.size();
        // The ranking is short: time it a few times per scan.
        for (int again = 0; again < 5; ++again) {
            const auto start = Clock::now();
            const double cpuStart = ProcessorMilliseconds();
            const std::vector<std::uint32_t> rank = tallowby::FoldedRanks(texts);
            ranks = std::min(ranks, MillisecondsSince(start));
            ranksCpu = std::min(ranksCpu, ProcessorMilliseconds() - cpuStart);
            if (rank.size() != texts.size()) {
                return 1;
            }
        }
        // A fresh list again: the reading above ordered it, the collapse
        // must pay for that itself.
        scanner.run(input, quiet);

        const auto start = Clock::now();
        const std::vector<std::int64_t> removed = scanner.workList().collapse();
        collapse = std::min(collapse, MillisecondsSince(start));
        checksum = ChecksumOf(scanner.workList(), removed);
    }
    std::printf("%zu entries, %zu distinct texts\n", entries, distinct);
    std::printf(
        "collapse %.1f ms (best of %d), ranking alone %.1f ms (processor %.1f ms; best of %d)\n",
        collapse, runs, ranks, ranksCpu, 5 * runs);
    std::printf("checksum %016llx\n", static_cast<unsigned long long>(checksum));
    return 0;
}
