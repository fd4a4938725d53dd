#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "engine/classify/SpamList.h"
#include "engine/scan/ListFiles.h"
#include "engine/scan/Scanner.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

TEST(SpamList, MatchesListedHostsAndTheirSubdomainsOnly) {
    const SpamList list =
        SpamList::FromText("# comment\r\nspam.com\r\n\r\n  Bad.Example.  \nco.uk\rdeep.a.b.test\n");
    struct Case {
        const char* referrer;
        bool hidden;
    };
    const Case cases[] = {
        {"http://spam.com/", true},
        {"http://SPAM.COM/x", true},
        {"http://www.spam.com/x", true},
        {"http://a.b.spam.com:8080/", true},
        {"http://user@spam.com/", true},
        {"https://spam.com.", true},
        {"http://spam.com\" \"Mozilla/5.0 (X11", true},
        {"http://notspam.com/", false},  // ends with the same letters, another host
        {"http://spam.com.evil.example/", false},
        {"http://spam.co/", false},
        {"http://pam.com/", false},
        {"http://com/", false},
        {"http://bad.example/", true},
        {"http://x.bad.example/", true},
        {"http://example/", false},
        {"http://news.co.uk/", true},
        {"http://deep.a.b.test/", true},
        {"http://x.deep.a.b.test/", true},
        {"http://a.b.test/", false},
        {"http://comment/", false},
        {"http://spam.com@good.example/", false},  // user info is not the host
        // Written to hide the host from a plain reading; browsers open spam.com.
        {"http://spam.com\\@ham.example/c", true},
        {"http://spam.com\\d", true},
        {"http://%73pam.com/e", true},
        {"http://www.spam.com%2E/f", true},
        {"http://", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.matchesReferrer(c.referrer), c.hidden) << c.referrer;
    }
    EXPECT_EQ(list.size(), 4u);
    EXPECT_FALSE(SpamList().matchesHost("spam.com"));
}

// A plain reference: the host or one of its parent domains is listed.
bool ListedByReference(const std::vector<std::string>& hosts, std::string host) {
    for (char& c : host) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const std::string& h : hosts) {
        if (host == h ||
            (host.size() > h.size() && host.compare(host.size() - h.size(), h.size(), h) == 0 &&
             host[host.size() - h.size() - 1] == '.')) {
            return true;
        }
    }
    return false;
}

TEST(SpamList, AgreesWithAPlainSuffixSearchOnTheBuiltInList) {
    const std::vector<std::string> listed = {"0-0.fr", "1-99seo.com", "qiwi.xyz"};
    const SpamList& builtin = SpamList::Builtin();
    EXPECT_EQ(builtin.size(), 2347u);
    // Hosts near the listed ones: themselves, subdomains, look-alikes.
    std::mt19937_64 random(15);
    const char* const prefixes[] = {"", "www.", "a.b.", "x", "-", "1"};
    const char* const suffixes[] = {"", ".", "x", ".example", "m"};
    std::vector<std::string> hosts;
    for (const std::string& h : listed) {
        for (const char* p : prefixes) {
            for (const char* s : suffixes) {
                hosts.push_back(p + h + s);
            }
        }
    }
    for (int i = 0; i < 2000; ++i) {
        std::string h;
        const int labels = 1 + static_cast<int>(random() % 4);
        for (int l = 0; l < labels; ++l) {
            h += (l ? "." : "") + std::to_string(random() % 50) + "seo";
        }
        hosts.push_back(h + (random() % 2 ? ".com" : ".ru"));
    }
    const SpamList small = SpamList::FromText("0-0.fr\n1-99seo.com\nQIWI.xyz\n");
    for (const std::string& host : hosts) {
        std::string trimmed = host;
        while (!trimmed.empty() && trimmed.back() == '.') {
            trimmed.pop_back();
        }
        const bool expected = ListedByReference(listed, trimmed);
        if (expected) {
            EXPECT_TRUE(builtin.matchesHost(trimmed)) << host;
        }
        EXPECT_EQ(small.matchesHost(trimmed), expected) << host;
    }
}

TEST(SpamList, HoldsEveryHostOfALongList) {
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        text += "h" + std::to_string(i) + std::string(i % 40, 'x') + ".example\n";
    }
    const SpamList list = SpamList::FromText(text + text);  // every host twice
    EXPECT_EQ(list.size(), 40000u);
    for (int i = 0; i < 40000; ++i) {
        const std::string host = "h" + std::to_string(i) + std::string(i % 40, 'x') + ".example";
        ASSERT_TRUE(list.matchesHost("www." + host)) << host;
        ASSERT_FALSE(list.matchesHost("a" + host)) << host;
    }
}

TEST(SpamList, LoadReadsAFileAndNamesWhyNot) {
    MemoryFileSystem fs;
    fs.add("/lists/spam.txt", "spam.example\r\nother.example");
    fs.addDirectory("/lists/dir");
    std::string error;
    const std::optional<SpamList> loaded = LoadSpamList(fs, "/lists/spam.txt", error);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->matchesHost("www.other.example"));
    EXPECT_FALSE(LoadSpamList(fs, "/lists/missing.txt", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(LoadSpamList(fs, "/lists/dir", error));
    EXPECT_EQ(error, "Is a directory");
    fs.add("/lists/failing.txt", "spam.example\nother.example\n").failAfter = 5;
    error.clear();
    EXPECT_FALSE(LoadSpamList(fs, "/lists/failing.txt", error));
    EXPECT_FALSE(error.empty());
}

TEST(SpamList, SkipsLinesLongerThanAHostNameOnEveryReadPath) {
    const std::string longest = std::string(249, 'a') + ".com";  // 253 bytes
    const std::string longer = std::string(250, 'b') + ".com";
    const std::string text = "  " + longest + " .\t..\r\n" +        // kept: blanks and dots drop
                             longer + "\n" +                        // skipped
                             std::string(249, 'c') + ".com x\n" +   // skipped
                             "#" + std::string(1000, '#') + "\r" +  // a comment, not counted
                             "   \n..\nSpam.Example.\r\n" + longer + "\n" + "last.example";
    const auto check = [&](const SpamList& list, const std::string& how) {
        EXPECT_EQ(list.size(), 3u) << how;
        EXPECT_EQ(list.skippedLines(), 3u) << how;
        EXPECT_TRUE(list.matchesHost(longest)) << how;
        EXPECT_TRUE(list.matchesHost("www.spam.example")) << how;
        EXPECT_TRUE(list.matchesHost("last.example")) << how;
        EXPECT_FALSE(list.matchesHost(longer)) << how;
        EXPECT_FALSE(list.matchesHost(std::string(249, 'c') + ".com x")) << how;
    };
    check(SpamList::FromText(text), "text");
    for (std::size_t chunk : {1, 2, 3, 5, 7, 254, 1 << 20}) {
        MemoryFileSystem fs;
        fs.add("/spam.txt", text).maxChunk = chunk;
        std::string error;
        const std::optional<SpamList> loaded = LoadSpamList(fs, "/spam.txt", error);
        ASSERT_TRUE(loaded) << error;
        check(*loaded, "pieces of " + std::to_string(chunk));
    }
    EXPECT_EQ(SkippedLinesNote(nullptr), "");
    EXPECT_EQ(SkippedLinesNote(&SpamList::Builtin()), "");
    const SpamList skipped = SpamList::FromText(text);
    EXPECT_EQ(SkippedLinesNote(&skipped), " : 3 spam-list lines skipped (longer than 253 bytes)");
}

TEST(SpamList, HiddenLinesCountAsScannedNotAsFound) {
    const SpamList list = SpamList::FromText("spam.example\n");
    struct Case {
        const SpamList* list;
        std::int64_t found;
        std::int64_t hidden;
        std::vector<std::string> referrers;
    };
    const Case cases[] = {
        {nullptr,
         3,
         0,
         {"http://a.example/ ", "http://spam.example/ ", "http://www.spam.example/ "}},
        {&list, 1, 2, {"http://a.example/ "}},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        fs.add("/logs/a.log",
               "GET http://www.spam.example/ x\nGET http://a.example/ x\nno referrer\n"
               "GET http://spam.example/ x\n");
        RecordingHost host;
        host.spam = c.list;
        host.select({"a.log"});
        Scanner scanner(fs);
        testing::RunScan(scanner, host);
        EXPECT_EQ(scanner.counters().linesScanned, 4);
        EXPECT_EQ(scanner.counters().linksFound, c.found);
        EXPECT_EQ(scanner.counters().spamHidden, c.hidden);
        std::vector<std::string> referrers;
        for (const ReferrerEntry& row : host.rows) {
            referrers.push_back(row.referrer);
        }
        EXPECT_EQ(referrers, c.referrers);
    }
}

}  // namespace
}  // namespace tallowby
