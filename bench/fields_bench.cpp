// The reading of a log's fields on one thread, as a scan with field
// reading will do it without the work list: the log is read in blocks of
// 1 MB, as grep reads it, cut into lines, and each line's fields are read.
// Prints the lines of each layout, the referrers found and the processor
// time of the field reading alone; bench/fields-vs-grep.sh times whole
// runs against grep. With --cut-only the lines are cut and not read: what
// a memchr over each line costs, the yardstick of the field reading.
//   fields_bench [--cut-only] LOG
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "ThreadClock.h"
#include "engine/match/LogFields.h"

int main(int argc, char** argv) {
    using namespace tallowby;
    using bench::ThreadSeconds;
    const bool cutOnly = argc == 3 && std::string_view(argv[1]) == "--cut-only";
    if (argc != 2 && !cutOnly) {
        std::fprintf(stderr, "usage: fields_bench [--cut-only] LOG\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        std::perror(path);
        return 1;
    }
    FieldReader reader;
    W3cFields w3c;
    std::size_t layouts[kLogLayoutCount] = {};
    std::size_t lines = 0, referrers = 0, agentBytes = 0, bytes = 0;
    double reading = 0;
    const auto readLine = [&](std::string_view line) {
        if (cutOnly) {
            agentBytes += line.size();
            ++lines;
            return;
        }
        const LineFields f = reader.read(line, w3c);
        ++layouts[static_cast<int>(f.layout)];
        referrers += !f.referrer.empty();
        agentBytes += f.userAgent.size();
        ++lines;
    };
    std::vector<char> block(1 << 20);
    std::size_t kept = 0;  // the start of a line carried over from the last block
    for (;;) {
        const ssize_t got = read(fd, block.data() + kept, block.size() - kept);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            std::perror(path);
            return 1;
        }
        bytes += static_cast<std::size_t>(got);
        const std::string_view data(block.data(), kept + static_cast<std::size_t>(got));
        const double start = ThreadSeconds();
        std::size_t at = 0;
        while (const void* lf = std::memchr(data.data() + at, '\n', data.size() - at)) {
            const auto stop = static_cast<std::size_t>(static_cast<const char*>(lf) - data.data());
            readLine(data.substr(at, stop - at));
            at = stop + 1;
        }
        // The last line without a line end; a line longer than a block, in blocks.
        if ((got == 0 && at < data.size()) || (at == 0 && data.size() == block.size())) {
            readLine(data.substr(at));
            at = data.size();
        }
        reading += ThreadSeconds() - start;
        if (got == 0) {
            break;
        }
        kept = data.size() - at;
        std::memmove(block.data(), data.data() + at, kept);
    }
    close(fd);
    std::printf("%zu lines:", lines);
    for (int i = 0; i < kLogLayoutCount; ++i) {
        if (layouts[i]) {
            std::printf(" %s %zu,", LogLayoutName(static_cast<LogLayout>(i)), layouts[i]);
        }
    }
    std::printf(" referrers %zu, user-agent bytes %zu\n", referrers, agentBytes);
    std::printf("%s: %.1f ms (%.0f ns a line, %.0f MB/s)\n",
                cutOnly ? "cutting the lines" : "reading the fields", reading * 1e3,
                reading * 1e9 / static_cast<double>(lines ? lines : 1),
                static_cast<double>(bytes) / reading / 1e6);
}
