// The crawler list on one thread, in processor time: how long the built-in
// list takes to read and compile (its first use, then fresh copies), and
// what one isCrawler() costs on a browser's agent and on crawlers' agents,
// against hashing the same agent (what a scan's memo of judged agents pays
// for every line). Prints figures and ratios; asserts nothing.
//   crawlers_bench [ROUNDS [LIST]]   (default: 200000 matches per agent; the
//                                     file the built-in list is built from)
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "ThreadClock.h"
#include "engine/classify/CrawlerList.h"

namespace {

using tallowby::bench::ThreadSeconds;

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Nanoseconds a call of `work` takes, over `rounds` calls.
template <typename Work>
double NanosEach(long rounds, Work&& work) {
    const double start = ThreadSeconds();
    for (long i = 0; i < rounds; ++i) {
        work();
    }
    return (ThreadSeconds() - start) * 1e9 / static_cast<double>(rounds);
}

}  // namespace

int main(int argc, char** argv) {
    using tallowby::CrawlerList;
    const long rounds = argc > 1 ? std::atol(argv[1]) : 200000;
    const char* path = argc > 2 ? argv[2] : TALLOWBY_CRAWLER_LIST;
    std::ifstream file(path, std::ios::binary);
    const std::string json{std::istreambuf_iterator<char>(file), {}};
    if (rounds <= 0 || argc > 3 || !file) {
        std::fprintf(stderr, "usage: crawlers_bench [ROUNDS [LIST]]\n");
        return 2;
    }
    const double before = PeakMegabytes();
    double start = ThreadSeconds();
    const CrawlerList& list = CrawlerList::Builtin();
    const double firstUse = ThreadSeconds() - start;
    std::printf(
        "built-in list: %zu patterns, %zu left out; first use %.1f ms, peak memory +%.1f MB\n",
        list.size(), list.patternsLeftOut(), firstUse * 1e3, PeakMegabytes() - before);

    // Lists read from the file, as --crawlers FILE reads one.
    std::vector<double> builds;
    for (int i = 0; i < 5; ++i) {
        std::string error;
        start = ThreadSeconds();
        const std::optional<CrawlerList> copy = CrawlerList::FromJson(json, error);
        builds.push_back(ThreadSeconds() - start);
        if (!copy) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    std::sort(builds.begin(), builds.end());
    std::printf("FromJson of %s (%zu bytes): median %.1f ms of %zu\n", path, json.size(),
                builds[2] * 1e3, builds.size());

    const struct {
        const char* name;
        std::string_view agent;
    } agents[] = {
        {"Firefox", "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0"},
        {"Chrome (Android)",
         "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/126.0.6478.122 Mobile Safari/537.36"},
        {"Googlebot", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"},
        {"bingbot (at the end)",
         "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
         "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36"},
    };
    std::size_t crawlers = 0, hashes = 0;
    for (const auto& a : agents) {
        // The first match of an agent builds the automaton's states it passes.
        start = ThreadSeconds();
        crawlers += list.isCrawler(a.agent);
        const double first = (ThreadSeconds() - start) * 1e9;
        const double match = NanosEach(rounds, [&] { crawlers += list.isCrawler(a.agent); });
        const double hash =
            NanosEach(rounds, [&] { hashes += std::hash<std::string_view>{}(a.agent); });
        std::printf(
            "%-21s %3zu bytes, %s: first %7.0f ns, then %6.0f ns (%.0f ns a byte); "
            "hash %4.0f ns, match/hash %.1f\n",
            a.name, a.agent.size(), list.isCrawler(a.agent) ? "crawler" : "browser", first, match,
            match / static_cast<double>(a.agent.size()), hash, match / hash);
    }
    // Agents each judged once, as a scan's memo asks: browsers' agents that
    // differ in their versions, so the automaton meets new stretches of text.
    std::vector<std::string> distinct;
    for (int i = 0; i < 50000; ++i) {
        distinct.push_back(
            "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, "
            "like Gecko) Chrome/" +
            std::to_string(100 + i % 30) + ".0." + std::to_string(i) + ".0 Safari/537.36 Edg/" +
            std::to_string(i * 7 % 1000));
        distinct.push_back("Mozilla/5.0 (iPhone; CPU iPhone OS 17_" + std::to_string(i % 9) +
                           " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile/15E" +
                           std::to_string(i) + " [FBAN/FBIOS;FBAV/" + std::to_string(i) + ".0]");
    }
    start = ThreadSeconds();
    for (const std::string& agent : distinct) {
        crawlers += list.isCrawler(agent);
    }
    std::printf("%zu distinct browsers' agents, each once: %.0f ns each; peak memory +%.1f MB\n",
                distinct.size(),
                (ThreadSeconds() - start) * 1e9 / static_cast<double>(distinct.size()),
                PeakMegabytes() - before);
    std::printf("(checksum %zu)\n", crawlers + (hashes & 1));
}
