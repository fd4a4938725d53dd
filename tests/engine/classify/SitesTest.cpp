#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/tally/WorkList.h"

namespace tallowby {
namespace {

struct Entry {
    const char* referrer;
    int lines;
};

// A work list holding `lines` equal referring lines per entry.
void Fill(WorkList& list, const std::vector<Entry>& entries) {
    for (const Entry& e : entries) {
        for (int i = 0; i < e.lines; ++i) {
            list.append(e.referrer, TypeCode::HTM, false);
        }
    }
}

TEST(GroupBySite, SumsClicksInWorkListOrderWithAndWithoutCollapse) {
    const std::vector<Entry> entries = {
        {"http://b.example/2", 3},    {"http://a.example/", 1},     {"https://B.example/1", 2},
        {"http://www.b.example/", 1}, {"http://a.example:80/z", 4}, {"http://c.example/", 1},
        {"https://D.example/", 2},
    };
    struct Expected {
        const char* host;
        bool https;
        std::int64_t clicks;
        std::int64_t entries;
    };
    struct Case {
        bool collapse;
        std::vector<Expected> sites;
    };
    // Work-list order (letter case ignored; "http:" before "https"):
    // a.example/, a.example:80/z, b.example/2, c.example/, www.b.example/,
    // then https://B.example/1 and https://D.example/.
    const Case cases[] = {
        {true,
         {{"a.example", false, 5, 2},
          {"b.example", false, 5, 2},
          {"c.example", false, 1, 1},
          {"www.b.example", false, 1, 1},
          {"d.example", true, 2, 1}}},
        {false,
         {{"a.example", false, 5, 5},
          {"b.example", false, 5, 5},
          {"c.example", false, 1, 1},
          {"www.b.example", false, 1, 1},
          {"d.example", true, 2, 2}}},
    };
    for (const Case& c : cases) {
        WorkList list;
        Fill(list, entries);
        if (c.collapse) {
            list.collapse();
        }
        const std::vector<Site> sites = GroupBySite(list);
        ASSERT_EQ(sites.size(), c.sites.size()) << c.collapse;
        std::int64_t total = 0;
        for (std::size_t i = 0; i < sites.size(); ++i) {
            EXPECT_EQ(sites[i].host, c.sites[i].host) << i;
            EXPECT_EQ(sites[i].https, c.sites[i].https) << i;
            EXPECT_EQ(sites[i].clicks, c.sites[i].clicks) << i;
            EXPECT_EQ(sites[i].entries, c.sites[i].entries) << i;
            total += sites[i].clicks;
        }
        EXPECT_EQ(total, 14);  // every referring line counts once
    }
    WorkList empty;
    EXPECT_TRUE(GroupBySite(empty).empty());
}

TEST(GroupBySite, GroupsEachAddressUnderTheHostABrowserOpens) {
    WorkList list;
    Fill(list, {{"http://spam.example/a", 1},
                {"http://%73pam.example/e", 1},
                {"http://spam.example\\d", 1},
                {"http://www.spam.example%2E/f", 2},
                {"HTTPS://Ham.example/", 1},
                {"HTTPS:///Ham.example/b", 1}});  // browsers skip the third slash
    const std::vector<Site> sites = GroupBySite(list);
    ASSERT_EQ(sites.size(), 3u);
    EXPECT_EQ(sites[0].host, "spam.example");
    EXPECT_EQ(sites[0].clicks, 3);
    EXPECT_EQ(sites[1].host, "www.spam.example");
    EXPECT_EQ(sites[1].clicks, 2);
    EXPECT_EQ(sites[2].clicks, 2);
    EXPECT_EQ(SiteAddress(sites[2]), "https://ham.example");
}

TEST(TopSites, MostClicksFirstTiesInGivenOrder) {
    std::vector<Site> sites;
    for (const auto& [host, clicks] : std::vector<std::pair<const char*, int>>{
             {"a", 2}, {"b", 9}, {"c", 2}, {"d", 5}, {"e", 2}}) {
        sites.push_back(Site{host, false, clicks, 1});
    }
    struct Case {
        std::size_t count;
        std::vector<std::string> hosts;
    };
    const Case cases[] = {
        {3, {"b", "d", "a"}},
        {10, {"b", "d", "a", "c", "e"}},
        {0, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> hosts;
        for (const Site& s : TopSites(sites, c.count)) {
            hosts.push_back(s.host);
        }
        EXPECT_EQ(hosts, c.hosts) << c.count;
    }
}

}  // namespace
}  // namespace tallowby
