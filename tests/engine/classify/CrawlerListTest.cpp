#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "TempDir.h"
#include "engine/classify/CrawlerList.h"
#include "engine/scan/ListFiles.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using ::testing::StartsWith;
using testing::TempDir;

constexpr const char* kNotAList =
    "not a crawler list (expected a JSON array of objects with a \"pattern\")";

TEST(CrawlerList, BuiltInListTellsCrawlersFromBrowsers) {
    const CrawlerList& list = CrawlerList::Builtin();
    EXPECT_EQ(list.size(), 1498u);
    EXPECT_EQ(list.patternsLeftOut(), 0u);
    struct Case {
        const char* agent;
        bool crawler;
    };
    const Case cases[] = {
        {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", true},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
         "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36",
         true},
        {"msnbot/2.0b (+http://search.msn.com/msnbot.htm)", true},
        {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)",
         true},
        {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", true},
        {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)",
         true},
        {"Feedly/1.0 (+http://www.feedly.com/fetcher.html; like FeedFetcher-Google)", true},
        {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", true},
        {"Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0", false},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/126.0.0.0 Safari/537.36",
         false},
        {"Mozilla/5.0 (Macintosh; Intel Mac OS X 14_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
         "Version/17.5 Safari/605.1.15",
         false},
        {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
         "like Gecko) Version/17.5 Mobile/15E148 Safari/604.1",
         false},
        {"Mozilla/5.0 (Linux; Android 14; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/126.0.6478.122 Mobile Safari/537.36",
         false},
        {"", false},
        {"-", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.isCrawler(c.agent), c.crawler) << c.agent;
    }
}

// The list's own examples: every agent an entry gives as an instance is a
// crawler's.
TEST(CrawlerList, BuiltInListKnowsEveryInstanceTheFileGives) {
    simdjson::dom::parser parser;
    simdjson::dom::array entries;
    ASSERT_FALSE(parser.load(TALLOWBY_CRAWLER_LIST).get(entries));
    std::size_t instances = 0;
    for (simdjson::dom::element entry : entries) {
        simdjson::dom::array agents;
        if (entry["instances"].get(agents)) {
            continue;
        }
        for (simdjson::dom::element agent : agents) {
            const std::string_view text = agent.get_string().value_unsafe();
            ++instances;
            EXPECT_TRUE(CrawlerList::Builtin().isCrawler(text)) << text;
        }
    }
    EXPECT_GT(instances, 2000u);
}

TEST(CrawlerList, FromJsonNamesWhyBytesAreNoList) {
    struct Case {
        const char* json;
        std::string error;  // how the message starts (the parser's reason follows a ": ")
    };
    const std::string notAList = kNotAList;
    const Case cases[] = {
        {"", notAList + ": "},
        {"pattern: bot", notAList + ": "},
        {"{\"pattern\": \"bot\"}", notAList + ": the JSON is not an array"},
        {"[{\"url\": \"http://bot.example/\"}]", notAList + ": entry 1 has no \"pattern\" string"},
        {"[{\"pattern\": \"bot\"}, {\"pattern\": 7}]",
         notAList + ": entry 2 has no \"pattern\" string"},
        {"[]", "no pattern in the crawler list"},
        {"[{\"pattern\": \"(?=bot)\"}, {\"pattern\": \"\"}]",
         "no usable pattern in the crawler list (2 left out; the first, \"(?=bot)\": invalid "
         "perl operator: (?=)"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CrawlerList::FromJson(c.json, error)) << c.json;
        EXPECT_THAT(error, StartsWith(c.error)) << c.json;
    }
}

TEST(CrawlerList, LeavesOutPatternsItCannotTakeAndMatchesWithTheRest) {
    std::string error;
    const std::optional<CrawlerList> list = CrawlerList::FromJson(
        R"json([{"pattern": "Googlebot\\/", "url": "http://www.google.com/bot.html"},
            {"pattern": "(?=look)ahead"},
            {"pattern": "^curl"},
            {"pattern": "(\\w)\\1 twice"},
            {"pattern": ""},
            {"pattern": "Feed\\u0020Bot"},
            {"pattern": "the end\\Z"},
            {"pattern": "AdsBot-Google([^-]|$)", "instances": []}])json",
        error);
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->size(), 5u);
    EXPECT_EQ(list->patternsLeftOut(), 3u);
    EXPECT_EQ(list->leftOut(), (std::vector<std::string>{"(?=look)ahead", "(\\w)\\1 twice", ""}));
    struct Case {
        std::string agent;
        bool crawler;
    };
    const Case cases[] = {
        {"Googlebot/2.1", true},
        {"x googlebot/2.1", false},          // letter case as written
        {"\xff\xfe Googlebot/ \xc3", true},  // bytes that are no UTF-8 around it
        {"curl/8.5.0", true},
        {"a curl/8.5.0", false},
        {"Feed Bot/1.0", true},
        {"to the end", true},
        {"the end.", false},
        {"AdsBot-Google", true},
        {"AdsBot-Google (+http://www.google.com/adsbot.html)", true},
        {"AdsBot-Google-Mobile", false},
        {"lookahead", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list->isCrawler(c.agent), c.crawler) << c.agent;
    }
}

TEST(CrawlerList, LoadReadsAFileAndNamesWhyNot) {
    const std::string json = R"json([{"pattern": "ExampleBot"}, {"pattern": "(?!x)"}])json";
    TempDir dir;
    std::string error;
    const std::optional<CrawlerList> loaded =
        LoadCrawlerList(RealFileSystem(), dir.write("crawlers.json", json), error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_TRUE(loaded->isCrawler("Mozilla/5.0 (compatible; ExampleBot/1.0)"));
    EXPECT_EQ(loaded->patternsLeftOut(), 1u);

    MemoryFileSystem fs;
    fs.add("/lists/failing.json", json).failAfter = 10;
    fs.add("/lists/small-reads.json", json).maxChunk = 3;
    fs.add("/lists/empty.json", "");
    fs.add("/lists/huge.json", std::string(kLargestCrawlerList + 1, ' '));
    fs.addDirectory("/lists/dir");
    EXPECT_TRUE(LoadCrawlerList(fs, "/lists/small-reads.json", error)) << error;
    struct Case {
        const char* path;
        std::string error;
    };
    const Case cases[] = {
        {"/lists/missing.json", "No such file or directory"},
        {"/lists/dir", "Is a directory"},
        {"/lists/failing.json", "read error: "},
        {"/lists/empty.json", std::string(kNotAList) + ": "},
        {"/lists/huge.json", "larger than 64 MB: too large for a crawler list"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(LoadCrawlerList(fs, c.path, error)) << c.path;
        EXPECT_THAT(error, StartsWith(c.error)) << c.path;
    }
}

}  // namespace
}  // namespace tallowby
