// Scans that read the referrer field of known log layouts: one set of visits
// written in every layout gives the same rows and figures, on one thread or
// several, whatever the chunk size; W3C directives take effect from the next
// line even across chunks; defaults read lines by the written rules.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "engine/match/CrawlerCheck.h"
#include "engine/match/Rules.h"
#include "engine/scan/Scanner.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

// A crawler is an agent that says "bot" somewhere, in any letter case.
class BotCheck final : public CrawlerCheck {
public:
    bool isCrawler(std::string_view agent) const override {
        return FindIgnoringCase(agent, "bot") != std::string_view::npos;
    }
};

struct Visit {
    std::string referrer;  // as a combined log writes it; "-" for none
    std::string agent;     // with spaces
};

// The own domain is mysite.com. One search-engine redirect that names the
// site only in its query (listed), a crawler without a referrer, a
// self-referral written in capitals with a trailing dot, an app referrer,
// a page that a crawler and a person both came from, and an address that
// mentions the domain in its path (listed).
const std::vector<Visit> kVisits = {
    {"https://www.google.fr/url?sa=t&url=http%3A%2F%2Fmysite.com%2F",
     "Mozilla/5.0 (X11; Linux x86_64) Firefox/118.0"},
    {"-", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"},
    {"http://WWW.MySite.com./index.html", "Mozilla/5.0 (Windows NT 10.0)"},
    {"android-app://com.google.android.gm/", "Mozilla/5.0 (Linux; Android 14)"},
    {"https://blog.example/post.php?a=1&b=2", "Mozilla/5.0 (compatible; ExampleBot/1.0)"},
    {"https://blog.example/post.php?a=1&b=2", "Mozilla/5.0 (Macintosh)"},
    {"http://other.example/mysite.com/page", "Mozilla/5.0 (iPhone)"},
};

using Writer = std::function<std::string(const Visit&)>;

std::string Replaced(std::string text, char from, const std::string& to) {
    std::string out;
    for (char c : text) {
        out += c == from ? to : std::string(1, c);
    }
    return out;
}

const std::string kCombinedHead =
    "203.0.113.7 - - [10/Oct/2023:13:55:36 -0700] \"GET /a.html HTTP/1.1\" 200 2326 ";
std::string Combined(const Visit& v) {
    return kCombinedHead + "\"" + v.referrer + "\" \"" + v.agent + "\"";
}
// A JSON string member, or nothing where the visit has no referrer.
std::string Member(const std::string& key, const std::string& value, bool none) {
    return none ? std::string() : ",\"" + key + "\":\"" + value + "\"";
}

struct Layout {
    const char* name;
    std::string header;
    Writer line;
    LogLayout layout;
    int directives;
};

std::vector<Layout> Layouts() {
    return {
        {"combined", "", Combined, LogLayout::Combined, 0},
        {"vhost", "", [](const Visit& v) { return "www.mysite.com:443 " + Combined(v); },
         LogLayout::VhostCombined, 0},
        {"nginx trailing fields", "",
         [](const Visit& v) {
             return Combined(v) + " \"198.51.100.2, http://forwarded.example/\" 0.005 0.004";
         },
         LogLayout::Combined, 0},
        {"s3", "",
         [](const Visit& v) {
             return "79a59df900b949e5 mybucket [06/Feb/2019:00:00:38 +0000] 192.0.2.3 "
                    "79a59df900b949e5 3E57427F3EXAMPLE REST.GET.OBJECT a.html "
                    "\"GET /mybucket/a.html HTTP/1.1\" 200 - 113 113 7 - \"" +
                    v.referrer + "\" \"" + v.agent +
                    "\" - s9lzHYrFp76ZVxRcpX9+5cjAnEH2ROuNkd2BHfIa6UkFVdtjf5mKR3= SigV4 "
                    "ECDHE-RSA-AES128-GCM-SHA256 AuthHeader mybucket.s3.amazonaws.com TLSv1.2";
         },
         LogLayout::S3, 0},
        {"iis",
         "#Software: Microsoft Internet Information Services 10.0\n#Version: 1.0\n"
         "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
         "c-ip cs(User-Agent) cs(Referer) sc-status\n",
         [](const Visit& v) {
             return "2023-10-10 13:55:36 10.0.0.1 GET /a.html - 443 - 203.0.113.7 " +
                    Replaced(v.agent, ' ', "+") + " " + v.referrer + " 200";
         },
         LogLayout::W3c, 3},
        {"cloudfront",
         "#Version: 1.0\n#Fields: date time x-edge-location sc-bytes c-ip "
         "cs-method cs(Host) cs-uri-stem sc-status cs(Referer) cs(User-Agent)\n",
         [](const Visit& v) {
             return "2023-10-10\t13:55:36\tLHR62-C2\t2326\t203.0.113.7\tGET\t"
                    "d111111abcdef8.cloudfront.net\t/a.html\t200\t" +
                    v.referrer + "\t" + Replaced(v.agent, ' ', "%20");
         },
         LogLayout::W3c, 2},
        {"nginx json", "",
         [](const Visit& v) {
             return "{\"time_local\":\"10/Oct/2023:13:55:36 -0700\",\"status\":200"
                    ",\"http_referer\":\"" +
                    (v.referrer == "-" ? "" : v.referrer) + "\",\"http_user_agent\":\"" + v.agent +
                    "\"}";
         },
         LogLayout::Json, 0},
        {"caddy", "",
         [](const Visit& v) {
             // Go writes "&" as \u0026; a missing header is left out.
             return "{\"level\":\"info\",\"logger\":\"http.log.access\",\"request\":{"
                    "\"host\":\"www.mysite.com\",\"uri\":\"/a.html\",\"headers\":{"
                    "\"User-Agent\":[\"" +
                    v.agent + "\"]" +
                    (v.referrer == "-"
                         ? std::string()
                         : ",\"Referer\":[\"" + Replaced(v.referrer, '&', "\\u0026") + "\"]") +
                    "}},\"status\":200}";
         },
         LogLayout::Json, 0},
        {"traefik", "",
         [](const Visit& v) {
             return "{\"ClientHost\":\"203.0.113.7\",\"RequestHost\":\"mysite.com\"" +
                    Member("request_Referer", Replaced(v.referrer, '/', "\\/"), v.referrer == "-") +
                    Member("request_User-Agent", v.agent, false) + "}";
         },
         LogLayout::Json, 0},
    };
}

std::string LogOf(const Layout& layout, const char* end = "\n") {
    std::string log = layout.header;
    for (const Visit& v : kVisits) {
        log += layout.line(v) + end;
    }
    return log;
}

struct Outcome {
    std::vector<ReferrerEntry> rows;
    ScanCounters counters;
};

Outcome Scan(MemoryFileSystem& fs, const std::vector<std::string>& files, FieldRules fields,
             unsigned threads = 1, std::size_t chunk = 0) {
    RecordingHost host;
    host.directory = "/logs";
    host.domain = "mysite.com";
    host.https = false;  // the field decides, not the written rules' options
    host.fields = fields;
    host.select(files);
    Scanner scanner(fs);
    scanner.setThreads(threads, chunk);
    testing::RunScan(scanner, host);
    return {host.rows, scanner.counters()};
}

std::vector<std::string> Texts(const std::vector<ReferrerEntry>& rows) {
    std::vector<std::string> out;
    for (const ReferrerEntry& r : rows) {
        out.push_back(r.typeCode + "," + r.clicks + "," + r.referrer);
    }
    return out;
}

const BotCheck kBots;

TEST(FieldScan, EveryLayoutGivesTheSameRowsAndFigures) {
    const std::vector<std::string> all = {
        "HTM,0000001,android-app://com.google.android.gm/",
        "HTM,0000001,http://other.example/mysite.com/page",
        "PHP,0000002,https://blog.example/post.php?a=1&b=2",
        "HTM,0000001,https://www.google.fr/url?sa=t&url=http%3A%2F%2Fmysite.com%2F",
    };
    std::vector<std::string> withoutCrawlers = all;
    withoutCrawlers[2] = "PHP,0000001,https://blog.example/post.php?a=1&b=2";
    for (const Layout& layout : Layouts()) {
        for (const char* end : {"\n", "\r\n"}) {
            MemoryFileSystem fs;
            fs.add("/logs/a.log", LogOf(layout, end));
            for (const auto& [threads, chunk] : {std::pair{1u, 0}, {2u, 7}, {2u, 300}}) {
                for (const bool noCrawlers : {false, true}) {
                    SCOPED_TRACE(std::string(layout.name) + " threads " + std::to_string(threads) +
                                 " chunk " + std::to_string(chunk) +
                                 (noCrawlers ? " without crawlers" : ""));
                    const Outcome got =
                        Scan(fs, {"a.log"}, {true, noCrawlers, &kBots}, threads, chunk);
                    EXPECT_EQ(Texts(got.rows), noCrawlers ? withoutCrawlers : all);
                    const FieldCounts& f = got.counters.fields;
                    EXPECT_EQ(f.layouts[static_cast<int>(layout.layout)], 7);
                    EXPECT_EQ(f.layouts[static_cast<int>(LogLayout::Directive)], layout.directives);
                    EXPECT_EQ(f.lines(), 7 + layout.directives);
                    EXPECT_EQ(f.noReferrer, 1);
                    EXPECT_EQ(f.selfReferrals, 1);
                    EXPECT_EQ(f.crawlers, 2);
                    EXPECT_EQ(f.crawlersLeftOut, noCrawlers ? 1 : 0);
                    EXPECT_EQ(got.counters.linksFound, noCrawlers ? 4 : 5);
                    EXPECT_TRUE(f.filesOfNoKnownLayout.empty());
                }
            }
        }
    }
}

TEST(FieldScan, CommonLogAndUnknownLinesGiveNoRows) {
    MemoryFileSystem fs;
    fs.add("/logs/common.log",
           "203.0.113.7 - - [10/Oct/2023:13:55:36 -0700] \"GET "
           "/http://x.example/ HTTP/1.1\" 200 2326\n");
    fs.add("/logs/other.log", "Oct 10 13:55:36 host app: from http://x.example/ ok\n\n");
    const Outcome got = Scan(fs, {"common.log", "other.log"}, {true, false, &kBots});
    EXPECT_TRUE(got.rows.empty());
    const FieldCounts& f = got.counters.fields;
    EXPECT_EQ(f.layouts[static_cast<int>(LogLayout::Common)], 1);
    EXPECT_EQ(f.noReferrer, 1);
    EXPECT_EQ(f.layouts[static_cast<int>(LogLayout::Unknown)], 2);
    EXPECT_EQ(f.filesOfNoKnownLayout, std::vector<std::string>{"/logs/other.log"});
}

TEST(FieldScan, ANewFieldsDirectiveCountsFromTheNextLineAcrossChunks) {
    // The second directive swaps the two fields; lines before it keep the first.
    const std::string log =
        "#Fields: cs(Referer) cs(User-Agent)\n"
        "http://one.example/ Mozilla\n"
        "#Fields: cs(User-Agent) cs(Referer)\n"
        "Mozilla http://two.example/\n"
        "Mozilla http://three.example/\n";
    MemoryFileSystem fs;
    fs.add("/logs/w.log", log);
    const std::vector<std::string> expected = {"HTM,0000001,http://one.example/",
                                               "HTM,0000001,http://three.example/",
                                               "HTM,0000001,http://two.example/"};
    for (const auto& [threads, chunk] : {std::pair{1u, 0}, {2u, 1}, {2u, 5}, {2u, 40}, {3u, 64}}) {
        SCOPED_TRACE("threads " + std::to_string(threads) + " chunk " + std::to_string(chunk));
        EXPECT_EQ(Texts(Scan(fs, {"w.log"}, {true, false, nullptr}, threads, chunk).rows),
                  expected);
    }
}

TEST(FieldScan, TurningTheOptionOnMidFileReadsTheRestByTheirFields) {
    // Lines matched ahead by the written rules are read again by their
    // fields, from the W3C fields in force where each line stands.
    std::string log = "#Fields: cs-method cs(Referer)\n";
    for (int k = 1; k <= 8; ++k) {
        log += "GET https://r" + std::to_string(k) + ".example/\n";
    }
    MemoryFileSystem fs;
    fs.add("/logs/w.log", log);
    for (const std::size_t chunk : {std::size_t{0}, std::size_t{16}, std::size_t{64}}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        RecordingHost host;
        host.directory = "/logs";
        host.domain = "mysite.com";
        host.select({"w.log"});
        Scanner scanner(fs);
        scanner.setThreads(chunk == 0 ? 1 : 2, chunk);
        host.onYield = [&] {
            if (scanner.counters().linesScanned == 3) {
                host.fields = {true, false, nullptr};
            }
        };
        testing::RunScan(scanner, host);
        EXPECT_EQ(Texts(host.rows),
                  (std::vector<std::string>{
                      "HTM,0000001,https://r3.example/", "HTM,0000001,https://r4.example/",
                      "HTM,0000001,https://r5.example/", "HTM,0000001,https://r6.example/",
                      "HTM,0000001,https://r7.example/", "HTM,0000001,https://r8.example/"}));
        EXPECT_EQ(scanner.counters().fields.layouts[static_cast<int>(LogLayout::W3c)], 6);
    }
}

TEST(FieldScan, OffByDefaultTheWrittenRulesReadTheSameLines) {
    // A crawler check given without the field option changes nothing.
    MemoryFileSystem fs;
    Layout combined = Layouts().front();
    fs.add("/logs/a.log", LogOf(combined));
    for (const FieldRules& rules : {FieldRules{}, FieldRules{false, true, &kBots}}) {
        const Outcome got = Scan(fs, {"a.log"}, rules, 2, 64);
        // Only the crawler's address: the other lines mention the domain,
        // or hold no "http://".
        EXPECT_EQ(Texts(got.rows),
                  std::vector<std::string>{"BOT,0000001,http://www.google.com/bot.html"});
        EXPECT_EQ(got.counters.fields, FieldCounts{});
    }
}

}  // namespace
}  // namespace tallowby
