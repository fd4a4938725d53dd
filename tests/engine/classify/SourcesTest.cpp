#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "ReferenceSources.h"
#include "TempDir.h"
#include "engine/classify/SourceRows.h"
#include "engine/scan/ListFiles.h"
#include "engine/tally/WorkList.h"

namespace tallowby {
namespace {

using testing::ReferenceSourceLists;

std::string ListText(const char* file) {
    const char* data = std::getenv("TALLOWBY_TEST_DATA");
    return testing::ReadWhole(std::string(data ? data : ".") + "/../../resources/sources/" + file);
}

// Addresses made from every entry of the shipped lists: country codes and
// other labels put in for "{}", subdomains, ports, capitals, a trailing dot,
// paths under, beside and without the entry's path, look-alike hosts, and
// queries holding keywords (UTF-8, bytes of a listed charset, "+", "%XX",
// white space, capitals, lone bytes that are no UTF-8) under the names
// the lists know, some empty, in a random order. The engine (the lists
// built into the program) against the plain model (the files).
TEST(SourceLists, AgreeWithThePlainModelOnAddressesFromEveryEntry) {
    const std::vector<std::string> spam = {"spam.example", "images.google.de"};
    const ReferenceSourceLists model(ListText("SearchEngines.yml"), ListText("Socials.yml"),
                                     ListText("AIAssistants.yml"), spam);
    ASSERT_GT(model.hosts().size(), 900u);
    const SpamList spamList = SpamList::FromText("spam.example\nimages.google.de\n");
    SourceClassifier classifier(SourceLists::Builtin(), &spamList);
    KeywordReader keywords;

    std::mt19937 random(27);
    const auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const std::vector<std::string> inner = {"de", "www", "m", "images"};
    const std::vector<std::string> endings = {"de",  "fr",     "co.uk",    "com.au",
                                              "com", "it.com", "org.evil", "uk.co"};
    const std::vector<std::string> before = {"", "", "www.", "M.", "a.b."};
    const std::vector<std::string> hostEnds = {"", "", ":8080", ".", ".evil.test"};
    const std::vector<std::string> values = {"Caf%C3%A9+Tallowby",
                                             "%20%20two++spaces%09",
                                             "UPPER%20Case",
                                             "%EC%E1%EA%20%C8",
                                             "%E4%F6%FC",
                                             "a%2Bb",
                                             "%FF%FEx",
                                             "+++",
                                             "",
                                             "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82",
                                             "%u00e4"};
    const std::vector<std::string> common = {"q", "query", "text", "p", "wd"};
    std::vector<std::string> names = {"x", "utm_source"};
    for (const std::string& name : model.paramNames()) {
        if (name.find(' ') == std::string::npos) {  // a space ends an address cut from a log
            names.push_back(name);
        }
    }
    std::vector<std::string> referrers = {"http://www.spam.example/?q=x",
                                          "http://spam.example",
                                          "http://images.google.de/imgres?q=cat",
                                          "https://a.images.google.de./?q=cat",
                                          "http://IMAGES.google.DE:80/",
                                          "http://poisk.ru/cgi-bin/poisk?text=%EF%F0+%C2%E0",
                                          "http://1.cz/s/%EC%E1%EA%20%C8?q=x",
                                          "http://go.mail.ru/search?q=%D0%A2%D0%B5%20%F2",
                                          "http://notgoogle.com/?q=x",
                                          "http://google.com.evil.test/",
                                          "http://x.com/i/grok",
                                          "http://x.com/i/grokker/"};
    for (const std::string& entry : model.hosts()) {
        for (int variant = 0; variant < 3; ++variant) {
            std::string address;
            for (std::size_t i = 0; i < entry.size(); ++i) {
                if (entry.compare(i, 2, "{}") == 0) {
                    address += pick(i + 2 == entry.size() || entry[i + 2] == '/' ? endings : inner);
                    ++i;
                } else {
                    address +=
                        random() % 4 == 0 ? static_cast<char>(std::toupper(entry[i])) : entry[i];
                }
            }
            std::string host = address.substr(0, address.find('/'));
            std::string path = address.size() > host.size() ? address.substr(host.size()) : "";
            const std::vector<std::string> paths = {
                path, path + "/more",       path + "x",
                "",   "/s/" + pick(values), "/search/" + pick(values)};
            std::string query;
            for (int pair = 0; pair < 4; ++pair) {
                query += (pair > 0 ? "&" : "") + pick(random() % 2 ? names : common) + "=" +
                         pick(values);
            }
            referrers.push_back((random() % 2 ? "http://" : "https://") + pick(before) +
                                (variant == 2 ? "not" : "") + host + pick(hostEnds) + pick(paths) +
                                "?" + query);
        }
    }
    std::size_t seen[5] = {};
    std::size_t seenKeywords = 0;
    for (const std::string& referrer : referrers) {
        const testing::ReferenceSource want = model.sourceOf(referrer);
        const ReferrerSource got = classifier.classify(referrer);
        const std::string keyword =
            got.search ? keywords.keywordOf(got.pathAndQuery, *got.search) : std::string();
        ASSERT_EQ(SourceClassName(got.sourceClass), want.sourceClass) << referrer;
        ASSERT_EQ(got.source, want.source) << referrer;
        ASSERT_EQ(keyword, want.keyword) << referrer;
        ++seen[static_cast<std::size_t>(got.sourceClass)];
        seenKeywords += keyword.empty() ? 0 : 1;
    }
    for (const std::size_t count : seen) {
        EXPECT_GE(count, 5u);  // every class met
    }
    EXPECT_GT(seenKeywords, 200u);
}

struct Lines {
    const char* referrer;
    int lines;
};

void Fill(WorkList& list, const std::vector<Lines>& entries) {
    for (const Lines& e : entries) {
        for (int i = 0; i < e.lines; ++i) {
            list.append(e.referrer, TypeCode::HTM, false);
        }
    }
}

// Pages are distinct referrers with the collapse and without it, where
// texts that differ in letter case only stand together in the list.
TEST(GroupBySource, OneRowPerSourceInTheOrderOfItsFirstReferrer) {
    const std::vector<Lines> entries = {
        {"http://www.google.de/search?q=b", 2},
        {"HTTP://WWW.GOOGLE.DE/search?q=B", 1},
        {"http://www.google.de/search?q=b", 1},
        {"http://blog.test/", 3},
        {"http://x.com/i/grok", 1},
        {"http://spam.example/", 1},
        {"http://x.com/home", 1},
        {"https://google.co.uk/", 1},
        {"http://www.spam.example/", 1},
    };
    const SpamList spam = SpamList::FromText("spam.example\n");
    struct Row {
        const char* sourceClass;
        const char* source;
        std::int64_t pages;
        std::int64_t clicks;
    };
    // In work-list order; https:// comes after every http:// address.
    const Row rows[] = {{"website", "blog.test", 1, 3},
                        {"spam", "spam.example", 2, 2},
                        {"search", "Google", 3, 5},
                        {"social", "Twitter", 1, 1},
                        {"ai", "Grok", 1, 1}};
    for (const bool collapse : {false, true}) {
        WorkList list;
        Fill(list, entries);
        if (collapse) {
            list.collapse();
        }
        const std::vector<SourceRow> got = GroupBySource(list, SourceLists::Builtin(), &spam);
        ASSERT_EQ(got.size(), std::size(rows)) << collapse;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(SourceClassName(got[i].sourceClass), rows[i].sourceClass) << i;
            EXPECT_EQ(got[i].source, rows[i].source) << i;
            EXPECT_EQ(got[i].pages, rows[i].pages) << i << collapse;
            EXPECT_EQ(got[i].clicks, rows[i].clicks) << i << collapse;
        }
        EXPECT_EQ(list.at(got[2].firstEntry).referrer, "http://www.google.de/search?q=b");
        EXPECT_EQ(GroupBySource(list, SourceLists::Builtin(), nullptr)[1].sourceClass,
                  SourceClass::Website);  // no spam list, no spam
    }
    // Many texts equal but for letter case, each twice, not collapsed.
    WorkList cases;
    for (int round = 0; round < 2; ++round) {
        for (int variant = 0; variant < 12; ++variant) {
            std::string text = "http://a.example/abcdefghijkl";
            text[17 + variant] = static_cast<char>(std::toupper(text[17 + variant]));
            cases.append(text, TypeCode::HTM, false);
        }
    }
    const std::vector<SourceRow> one = GroupBySource(cases, SourceLists::Builtin(), nullptr);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].pages, 12);
    EXPECT_EQ(one[0].clicks, 24);
}

TEST(GroupByKeyword, OneRowPerEngineAndKeyword) {
    WorkList list;
    Fill(list, {{"http://www.bing.com/search?q=Two++Words", 2},
                {"http://www.google.de/search?q=two%20words", 3},
                {"http://www.google.fr/search?q=TWO+words&oq=x", 1},
                {"http://www.google.fr/search?oq=x", 4},
                {"http://poisk.ru/cgi-bin/poisk?text=%EF%F0%E8%E2%E5%F2", 1}});
    list.collapse();
    const std::vector<KeywordRow> rows = GroupByKeyword(list, SourceLists::Builtin(), nullptr);
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::vector<std::string>> want = {
        {"Poisk.Ru", "привет", "1"}, {"Bing", "two words", "2"}, {"Google", "two words", "4"}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ((std::vector<std::string>{rows[i].engine, rows[i].keyword,
                                            std::to_string(rows[i].clicks)}),
                  want[i]);
    }
    EXPECT_EQ(KeywordSearchAddress(rows[2], list.at(rows[2].firstEntry).referrer),
              "http://www.google.de/search?q=two%20words");
    EXPECT_EQ(KeywordSearchAddress(rows[0], "https://POISK.ru:80/x"),
              "https://poisk.ru/cgi-bin/poisk?text=%D0%BF%D1%80%D0%B8%D0%B2%D0%B5%D1%82");
}

// Keywords by hand, beside the model: the charsets in order, U+FFFD, the
// first param that gives one, a pattern without a capture group.
TEST(KeywordReader, ReadsValuesAsTheListsSay) {
    SearchConfig config;
    config.params = {{"q", nullptr}, {"p", nullptr}};
    config.charsets = {"no-such-set", "UTF-8", "windows-1251"};
    KeywordReader reader;
    struct Case {
        const char* pathAndQuery;
        const char* keyword;
    };
    const Case cases[] = {
        {"/s?q=%CF%F0%E8%E2%E5%F2", "Привет"},  // capitals beyond ASCII kept
        {"/s?q=&q=+&p=%20A%0a%0A+b%20", "a b"},
        {"/s?qq=x&q", ""},
        {"/s?p=x&q=%98", "\xEF\xBF\xBD"},  // 0x98 is no character of windows-1251
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reader.keywordOf(c.pathAndQuery, config), c.keyword) << c.pathAndQuery;
    }
    config.charsets = {};
    EXPECT_EQ(reader.keywordOf("/s?q=a%E4%80%FFb", config),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    std::string error;
    const std::optional<SourceLists> lists = SourceLists::FromYaml(
        {"E:\n  - urls: [e.test]\n    params: ['/k\\d+/', '/k(\\d+)/', q]\n", "", ""}, error);
    ASSERT_TRUE(lists) << error;
    const SearchConfig& e = *lists->match("e.test", "/").search;
    EXPECT_EQ(reader.keywordOf("/k12?q=x", e), "12");
    EXPECT_EQ(reader.keywordOf("/k?q=x", e), "x");
}

TEST(SourceLists, RefusesListsOfAnotherShapeNamingFileAndLine) {
    struct Case {
        const char* search;
        const char* socials;
        const char* error;
    };
    const Case cases[] = {
        {"", "A: [a.test]\nB: [b.test\n", "Socials.yml: line 3: end of sequence flow not found"},
        {"", "- a.test\n",
         "Socials.yml: line 1: not a list of sources (each a name followed by "
         "its hosts)"},
        {"", "A:\n  - {x: 1}\n", "Socials.yml: line 2: a host must be text"},
        {"E:\n  - urls: e.test\n", "", "SearchEngines.yml: line 2: urls must be a list"},
        {"E:\n  - urls: [e.test]\n    params: ['/(a/']\n", "",
         "SearchEngines.yml: line 3: the pattern /(a/ is no regular expression: missing ): (a"},
        {"E: e.test\n", "", "SearchEngines.yml: line 1: the source 'E' has no list"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(SourceLists::FromYaml({c.search, c.socials, ""}, error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    EXPECT_TRUE(SourceLists::FromYaml({"", "", ""}, error));  // empty files list nothing
    EXPECT_FALSE(SourceLists::FromYaml({"", std::string(100000, '['), ""}, error));  // no crash
}

TEST(LoadSourceLists, ReadsTheThreeFilesOfAFolder) {
    testing::MemoryFileSystem fs;
    fs.add("lists/SearchEngines.yml", "E:\n  - urls: [e.test]\n");
    fs.add("lists/Socials.yml", "S: [s.test, e.test/social]\n");
    std::string error;
    EXPECT_FALSE(LoadSourceLists(fs, "lists", error));
    EXPECT_EQ(error, "AIAssistants.yml: No such file or directory");
    fs.add("lists/AIAssistants.yml", "");
    const std::optional<SourceLists> lists = LoadSourceLists(fs, "lists/", error);
    ASSERT_TRUE(lists) << error;
    EXPECT_EQ(lists->match("www.e.test", "/social/x").source, "S");
    fs.file("lists/Socials.yml").failAfter = 3;
    EXPECT_FALSE(LoadSourceLists(fs, "lists", error));
    EXPECT_EQ(error.rfind("Socials.yml: ", 0), 0u) << error;
}

}  // namespace
}  // namespace tallowby
