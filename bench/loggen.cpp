// loggen: writes a deterministic web-server access log in the combined format
// for benchmarks and samples. The same options always give the same bytes,
// on any machine: the random numbers come from our own generator, not from
// the standard library's distributions.
//
//   loggen [--lines N] [--referrers N] [--distinct] [--domain D] [--seed S] [--output FILE]
//
// --distinct: the referring lines take the N referrers in turn instead of
// by popularity, all "http://" and no two of them the same text, so a log of
// at least N / 0.59 lines holds N distinct referrers (plus the few crawler
// addresses): --lines 3400000 --referrers 2000000 for a list of two million.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and identical everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t state_;
};

struct Options {
    std::uint64_t lines = 1000000;
    std::uint64_t referrers = 20000;
    std::string domain = "mysite.example";
    std::uint64_t seed = 1;
    bool distinct = false;
    std::string output;  // empty: standard output
};

const char* const kAgents[] = {
    "Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.1 Safari/605.1.15",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.1 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Linux; Android 14; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/119.0.6045.163 Mobile Safari/537.36",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:120.0) Gecko/20100101 Firefox/120.0",
    "Mozilla/5.0 (compatible; Examplebot/2.1; +http://www.examplebot.example/bot.html)",
    "Mozilla/5.0 (compatible; SiteCrawler/1.4; +http://crawler.example.net/about)",
    "Mozilla/5.0 (compatible; FeedFetcher/3.0; +http://feeds.example.org/fetcher.html)",
    "curl/8.4.0",
    "Wget/1.21.4",
    "python-requests/2.31.0",
};
// Browsers are far more common than crawlers and tools.
const unsigned kAgentWeights[] = {26, 14, 6, 5, 5, 12, 5, 4, 3, 9, 6, 5};

const char* const kWords[] = {
    "search", "news",   "forum",  "blog",    "wiki",   "shop",  "photos", "maps",  "mail", "social",
    "links",  "review", "travel", "recipes", "garden", "music", "video",  "games", "tech", "daily",
};
const char* const kTlds[] = {"example", "example.com", "example.net", "example.org", "test"};

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The distinct referrer number `k` (0 = most frequent), always the same text.
std::string ReferrerText(std::uint64_t k) {
    Random r(k * 7919 + 17);
    std::string s = r.below(5) == 0 ? "https://" : "http://";
    if (r.below(2) == 0) {
        s += "www.";
    }
    s += kWords[r.below(std::size(kWords))];
    s += std::to_string(k % 997);
    s += '.';
    s += kTlds[r.below(std::size(kTlds))];
    switch (r.below(4)) {
        case 0:
            s += "/";
            break;
        case 1:
            s += "/search?q=widgets+" + std::to_string(k) + "&hl=en";
            break;
        case 2:
            s += "/t/" + std::to_string(k) + "/thread.html";
            break;
        default:
            s += "/posts/" + std::to_string(k / 3) + "/comments?page=" + std::to_string(k % 7);
    }
    return s;
}

std::string RequestPath(Random& r) {
    switch (r.below(10)) {
        case 0:
            return "/";
        case 1:
            return "/index.html";
        case 2:
            return "/images/photo-" + std::to_string(r.below(500)) + ".jpg";
        case 3:
            return "/downloads/tool-" + std::to_string(r.below(40)) + ".zip";
        case 4:
            return "/css/site.css";
        case 5:
            return "/js/app.js?v=" + std::to_string(r.below(9));
        case 6:
            return "/articles/" + std::to_string(r.below(3000)) + "/some-title.html";
        case 7:
            return "/search.php?q=item" + std::to_string(r.below(10000));
        case 8:
            return "/favicon.ico";
        default:
            return "/docs/manual-" + std::to_string(r.below(20)) + ".pdf";
    }
}

bool ParseNumber(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0') {
        return false;
    }
    value = v;
    return true;
}

int Usage() {
    std::fputs(
        "usage: loggen [--lines N] [--referrers N] [--distinct] [--domain D] [--seed S]\n"
        "              [--output FILE]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--distinct") {
            o.distinct = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--lines")
            ok = ParseNumber(value, o.lines);
        else if (arg == "--referrers")
            ok = ParseNumber(value, o.referrers) && o.referrers > 0;
        else if (arg == "--seed")
            ok = ParseNumber(value, o.seed);
        else if (arg == "--domain")
            o.domain = value;
        else if (arg == "--output")
            o.output = value;
        else
            ok = false;
        if (!ok) {
            return Usage();
        }
    }

    // Zipf-like popularity (exponent 1): referrer k is chosen with weight 1/(k+1).
    std::vector<double> cumulative(o.referrers);
    double total = 0;
    for (std::uint64_t k = 0; k < o.referrers; ++k) {
        total += 1.0 / static_cast<double>(k + 1);
        cumulative[k] = total;
    }
    // Texts are made on first use, so millions of referrers cost little up front.
    std::vector<std::string> texts(o.referrers);

    unsigned agentTotal = 0;
    for (unsigned w : kAgentWeights)
        agentTotal += w;

    std::FILE* out = o.output.empty() ? stdout : std::fopen(o.output.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "loggen: %s: %s\n", o.output.c_str(), std::strerror(errno));
        return 1;
    }
    Random r(o.seed);
    std::uint64_t nextDistinct = 0;
    std::int64_t clock = 1696118400;  // 2023-10-01 00:00:00 UTC
    std::string buffer;
    buffer.reserve(1 << 20);
    char stamp[64];
    for (std::uint64_t n = 0; n < o.lines; ++n) {
        clock += static_cast<std::int64_t>(r.below(3));
        const std::int64_t day = clock / 86400;
        const int secs = static_cast<int>(clock % 86400);
        // Days since 2023-10-01 within October to December, then wrapping: the
        // stamp only has to look right.
        static constexpr int kDaysIn[] = {31, 30, 31};
        int month = 9;
        int mday = static_cast<int>((day - 19631) % 92);
        for (int m = 0; m < 3 && mday >= kDaysIn[m]; ++m) {
            mday -= kDaysIn[m];
            ++month;
        }
        std::snprintf(stamp, sizeof stamp, "[%02d/%s/2023:%02d:%02d:%02d +0000]", mday + 1,
                      kMonths[month], secs / 3600, secs / 60 % 60, secs % 60);

        std::string referrer;
        const std::uint64_t kind = r.below(100);
        if (kind < 33) {
            referrer = "-";
        } else if (kind < 41) {
            referrer = "http://" + o.domain + RequestPath(r);  // a visitor moving around the site
        } else if (o.distinct) {
            const std::uint64_t k = nextDistinct++ % o.referrers;
            referrer = ReferrerText(k);
            if (referrer.compare(0, 8, "https://") == 0) {
                referrer.erase(4, 1);  // every one of them a referrer
            }
            if (referrer.back() == '/') {
                referrer += "?from=" + std::to_string(k);  // the bare site texts repeat
            }
        } else {
            const double pick = r.unit() * total;
            const auto k = static_cast<std::uint64_t>(
                std::lower_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin());
            std::string& text = texts[std::min(k, o.referrers - 1)];
            if (text.empty()) {
                text = ReferrerText(std::min(k, o.referrers - 1));
            }
            referrer = text;
        }
        unsigned a = static_cast<unsigned>(r.below(agentTotal));
        std::size_t agent = 0;
        while (a >= kAgentWeights[agent]) {
            a -= kAgentWeights[agent++];
        }
        const std::uint64_t status = r.below(20) == 0 ? 404 : (r.below(15) == 0 ? 304 : 200);

        buffer += std::to_string(10 + r.below(200)) + '.' + std::to_string(r.below(256)) + '.' +
                  std::to_string(r.below(256)) + '.' + std::to_string(1 + r.below(254));
        buffer += " - - ";
        buffer += stamp;
        buffer += r.below(12) == 0 ? " \"POST " : " \"GET ";
        buffer += RequestPath(r);
        buffer += " HTTP/1.1\" ";
        buffer += std::to_string(status);
        buffer += ' ';
        buffer += std::to_string(status == 304 ? 0 : 200 + r.below(90000));
        buffer += " \"";
        buffer += referrer;
        buffer += "\" \"";
        buffer += kAgents[agent];
        buffer += "\"\n";
        if (buffer.size() >= (1 << 20) - 1024) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(stderr, "loggen: write error: %s\n", std::strerror(errno));
        return 1;
    }
    if (out != stdout) {
        std::fclose(out);
    }
    return 0;
}
