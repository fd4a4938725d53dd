// The matching of a log's lines on one thread, without reading or the work
// list: the log is held in memory, cut into chunks of whole lines as a
// parallel scan cuts it, and each chunk is matched as a matching thread
// matches it. Prints the best processor time of a few rounds, so that
// another program on the machine disturbs the figure little.
//   match_bench LOG [DOMAIN] [ROUNDS] [CHUNK_BYTES]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ThreadClock.h"
#include "engine/match/LineMatch.h"
#include "engine/read/LineReader.h"
#include "engine/scan/ChunkBatch.h"
#include "engine/tally/KnownIds.h"

int main(int argc, char** argv) {
    using namespace tallowby;
    using bench::ThreadSeconds;
    if (argc < 2) {
        std::fprintf(stderr, "usage: match_bench LOG [DOMAIN] [ROUNDS] [CHUNK_BYTES]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string domain = argc > 2 ? argv[2] : "mysite.example";
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::size_t block =
        argc > 4 ? std::strtoul(argv[4], nullptr, 10) : LineReader::kDefaultBlock;
    std::vector<std::string_view> chunks;
    for (std::string_view rest = log; !rest.empty();) {
        std::size_t whole = LineReader::WholeLines(rest.substr(0, block));
        if (whole == 0 || rest.size() <= block) {
            whole = std::min(rest.size(), std::max(whole, block));
        }
        chunks.push_back(rest.substr(0, whole));
        rest.remove_prefix(whole);
    }
    const MatchOptions options(domain, ReferrerRules{}, nullptr);
    const KnownIds known;
    ChunkBatch batch;
    std::string scratch;
    FieldScratch fields;
    double best = 1e9;
    std::size_t lines = 0;
    std::size_t texts = 0;
    for (int r = 0; r < rounds; ++r) {
        lines = texts = 0;
        const double start = ThreadSeconds();
        for (std::string_view chunk : chunks) {
            batch.match(chunk, LineReader::kMaxLine, options, scratch, known, fields, {});
            lines += batch.lines();
            texts += batch.texts();
        }
        best = std::min(best, ThreadSeconds() - start);
    }
    std::printf(
        "%zu chunks, %zu lines, %zu distinct texts per chunk summed: %.1f ms (%.0f ns a line)\n",
        chunks.size(), lines, texts, best * 1e3, best * 1e9 / static_cast<double>(lines));
}
