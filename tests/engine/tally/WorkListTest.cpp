#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/tally/WorkList.h"
#include "output/RowCells.h"

namespace tallowby {
namespace {

std::vector<std::string> Texts(const WorkList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(EntryText(list.at(i)));
    return out;
}

TEST(WorkList, KeepsAscendingOrderIgnoringCaseWithEqualTextsInArrivalOrder) {
    WorkList list;
    list.append("http://b.com/", TypeCode::GIF, false);
    list.append("http://A.com/", TypeCode::ZIP, false);
    list.append("HTTP://a.com/", TypeCode::EXE, false);
    list.append("http://a.com", TypeCode::PNG, false);
    list.append("http://a.com/", TypeCode::PDF, false);
    list.append("http://_.com/", TypeCode::TXT, false);
    EXPECT_EQ(Texts(list),
              (std::vector<std::string>{"http://_.com/", "http://a.com", "http://A.com/",
                                        "HTTP://a.com/", "http://a.com/", "http://b.com/"}));
    // Folded: "_" (0x5f) is below "a" (0x61), as strcasecmp orders them.
    EXPECT_EQ(list.at(2).type, TypeCode::ZIP);
    EXPECT_EQ(list.at(3).type, TypeCode::EXE);
    EXPECT_EQ(list.at(4).type, TypeCode::PDF);
}

TEST(WorkList, OrdersBytesAboveAsciiUnsignedAndPrefixesFirst) {
    WorkList list;
    list.append("http://\xc3\xa9.com", TypeCode::HTM, false);
    list.append("http://z.com", TypeCode::HTM, false);
    list.append("http://z", TypeCode::HTM, false);
    list.append("http://z.com ", TypeCode::HTM, false);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"http://z", "http://z.com", "http://z.com ",
                                                     "http://\xc3\xa9.com"}));
}

TEST(WorkList, StaysOrderedWhenReadBetweenAppends) {
    WorkList list;
    list.append("http://m/", TypeCode::HTM, false);
    EXPECT_EQ(list.at(0).referrer, "http://m/");
    list.append("http://c/", TypeCode::HTM, false);
    list.append("http://x/", TypeCode::HTM, false);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"http://c/", "http://m/", "http://x/"}));
}

TEST(WorkList, TakesAnEmptyTextFirstOrLater) {
    // The scan never appends an empty referrer, but the list is public: an
    // empty first text once dereferenced an arena that did not exist yet.
    WorkList list;
    list.append("", TypeCode::HTM, false);
    list.append("http://a.com/", TypeCode::ZIP, false);
    list.append("", TypeCode::GIF, true);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"", "", "http://a.com/"}));
    EXPECT_EQ(list.collapse(), (std::vector<std::int64_t>{1, 0}));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"0000002|", "0000001|http://a.com/"}));
}

TEST(Collapse, CountsEqualTextsAndKeepsFirstRemainderOfEachGroup) {
    WorkList list;
    list.append("http://dup/", TypeCode::JPG, false);
    list.append("http://one/", TypeCode::ZIP, false);
    list.append("http://dup/", TypeCode::EXE, true);
    list.append("http://dup/", TypeCode::GIF, false);
    const std::vector<std::int64_t> removed = list.collapse();
    EXPECT_EQ(removed, (std::vector<std::int64_t>{2, 0}));
    EXPECT_EQ(Texts(list),
              (std::vector<std::string>{"0000003|http://dup/", "0000001|http://one/"}));
    EXPECT_EQ(list.at(0).type, TypeCode::JPG);
    EXPECT_FALSE(list.at(0).bot);
    EXPECT_EQ(list.at(0).count, 3);
}

TEST(Collapse, TextsDifferingInCaseOrTrailingSpaceStaySeparate) {
    WorkList list;
    list.append("http://a.com/", TypeCode::HTM, false);
    list.append("HTTP://A.COM/", TypeCode::HTM, false);
    list.append("http://a.com/ ", TypeCode::HTM, false);
    EXPECT_EQ(list.collapse(), (std::vector<std::int64_t>{0, 0, 0}));
    EXPECT_EQ(Texts(list),
              (std::vector<std::string>{"0000001|http://a.com/", "0000001|HTTP://A.COM/",
                                        "0000001|http://a.com/ "}));
}

TEST(Collapse, EmptyListStaysEmpty) {
    WorkList list;
    EXPECT_TRUE(list.collapse().empty());
    EXPECT_EQ(list.size(), 0u);
}

TEST(Collapse, SumOfCountsEqualsEntriesBefore) {
    WorkList list;
    std::int64_t total = 0;
    for (int i = 0; i < 5000; ++i) {
        list.append("http://site" + std::to_string((i * 7919) % 613) + "/", TypeCode::HTM, false);
        ++total;
    }
    std::vector<std::int64_t> removed = list.collapse();
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        sum += list.at(i).count;
    EXPECT_EQ(sum, total);
    EXPECT_EQ(list.size(), 613u);
    std::int64_t deleted = 0;
    for (auto r : removed)
        deleted += r;
    EXPECT_EQ(deleted, total - 613);
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_LT(std::string(list.at(i - 1).referrer), std::string(list.at(i).referrer));
    }
}

// Runs of repeated entries are stored as counts: the list reads as if every
// entry stood on its own (its arrival position too), before and after the
// collapse, checked against a plain list sorted the slow way.
TEST(WorkList, RepeatsReadAsSingleEntriesInOrderAndCollapse) {
    struct Plain {
        std::string text;
        TypeCode type;
        bool bot;
        std::int64_t arrival = 0;
    };
    auto folded = [](std::string s) {
        for (char& c : s)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        return s;
    };
    const std::vector<Plain> kinds = {{"http://b/", TypeCode::GIF, false},
                                      {"http://a/", TypeCode::ZIP, false},
                                      {"http://a/", TypeCode::ZIP, true},
                                      {"HTTP://A/", TypeCode::EXE, false},
                                      {"http://a/", TypeCode::PDF, false}};
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        WorkList list;
        std::vector<Plain> plain;
        const int runs = 1 + static_cast<int>(random() % 12);
        for (int r = 0; r < runs; ++r) {
            const Plain& kind = kinds[random() % kinds.size()];
            const int length = 1 + static_cast<int>(random() % (r % 3 == 0 ? 300 : 3));
            for (int i = 0; i < length; ++i) {
                list.append(kind.text, kind.type, kind.bot);
                plain.push_back(kind);
                plain.back().arrival = static_cast<std::int64_t>(plain.size()) - 1;
            }
        }
        std::stable_sort(plain.begin(), plain.end(), [&](const Plain& x, const Plain& y) {
            return folded(x.text) < folded(y.text);
        });
        ASSERT_EQ(list.size(), plain.size());
        for (std::size_t i = 0; i < plain.size(); ++i) {
            const WorkList::Item item = list.at(i);
            ASSERT_EQ(item.referrer, plain[i].text) << "round " << round << " entry " << i;
            ASSERT_EQ(item.type, plain[i].type) << "round " << round << " entry " << i;
            ASSERT_EQ(item.bot, plain[i].bot) << "round " << round << " entry " << i;
            ASSERT_EQ(list.arrival(i), plain[i].arrival) << "round " << round << " entry " << i;
        }
        // A reader, from anywhere (inside a run too), reads the same entries.
        const std::size_t from = random() % (plain.size() + 1);
        WorkList::Reader reader = list.reader(from);
        for (std::size_t i = from; i < plain.size(); ++i) {
            ASSERT_EQ(reader.index(), i);
            const WorkList::Item item = reader.next();
            ASSERT_EQ(item.referrer, plain[i].text) << "round " << round << " from " << from;
            ASSERT_EQ(item.type, plain[i].type) << "round " << round << " from " << from;
            ASSERT_EQ(item.bot, plain[i].bot) << "round " << round << " from " << from;
        }
        // The collapse keeps each text's first entry (in the sorted plain
        // list, the first of its text) with the number of its entries.
        std::vector<std::pair<Plain, std::int64_t>> expected;
        for (const Plain& p : plain) {
            auto same = [&](const auto& e) { return e.first.text == p.text; };
            auto it = std::find_if(expected.begin(), expected.end(), same);
            if (it == expected.end())
                expected.push_back({p, 1});
            else
                ++it->second;
        }
        list.collapse();
        ASSERT_EQ(list.size(), expected.size());
        WorkList::Reader collapsed = list.reader();
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(list.at(i).referrer, expected[i].first.text);
            EXPECT_EQ(list.at(i).type, expected[i].first.type);
            EXPECT_EQ(list.at(i).bot, expected[i].first.bot);
            EXPECT_EQ(list.at(i).count, expected[i].second);
            EXPECT_EQ(list.arrival(i), expected[i].first.arrival);
            const WorkList::Item item = collapsed.next();
            EXPECT_EQ(item.referrer, expected[i].first.text);
            EXPECT_EQ(item.count, expected[i].second);
        }
        // An entry appended after the collapse arrives after all before it.
        list.append("http://0/", TypeCode::GIF, false);
        EXPECT_EQ(list.arrival(0), static_cast<std::int64_t>(plain.size()));
    }
}

// Entries of a merge after a run of repeats: the run reads spelt out, with
// the arrivals it had, and the merged entry with the arrival it brought.
TEST(WorkList, TextsAppendedAsNewAreFoundByLaterAppends) {
    // Texts a merge appends unlooked-up must be found by a scan appending
    // after it, or one referrer would collapse into two rows.
    WorkList list;
    const std::string kept[] = {"http://a.example/", "http://b.example/"};
    const std::size_t a = list.appendMergedNew(kept[0], TypeCode::PDF, false, 0, 0);
    list.appendMergedText(a, TypeCode::ZIP, false, 0, 1);
    list.appendMergedNew(kept[1], TypeCode::HTM, false, 0, 2);
    for (int i = 0; i < 3000; ++i) {  // enough to grow the lookup table
        list.append(i % 2 ? "http://b.example/" : "http://c" + std::to_string(i) + ".example/",
                    TypeCode::GIF, false);
    }
    list.append("http://a.example/", TypeCode::GIF, false);
    list.collapse();
    const std::vector<std::string> texts = Texts(list);
    EXPECT_EQ(texts.front(), "0000003|http://a.example/");
    EXPECT_EQ(texts[1], "0001501|http://b.example/");
    EXPECT_EQ(texts.size(), 2u + 1500u);
}

TEST(WorkList, MergedEntryAfterARunKeepsEveryArrival) {
    WorkList list;
    for (int i = 0; i < 3; ++i)
        list.append("http://a/", TypeCode::GIF, false);
    list.append("http://c/", TypeCode::GIF, false);
    list.appendMerged("http://b/", TypeCode::ZIP, true, 0, 10);
    list.append("http://a/", TypeCode::GIF, false);
    const std::vector<std::pair<std::string, std::int64_t>> expected = {
        {"http://a/", 0},  {"http://a/", 1},  {"http://a/", 2},
        {"http://a/", 11}, {"http://b/", 10}, {"http://c/", 3}};
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.at(i).referrer, expected[i].first) << i;
        EXPECT_EQ(list.arrival(i), expected[i].second) << i;
    }
}

// Past its limit the list refuses an entry that needs a new element or a
// new variant, and keeps what it holds; a repeat lengthening a run still fits.
TEST(WorkList, RefusesEntriesBeyondItsLimitAndKeepsTheRest) {
    WorkList list;
    list.setLimit(3);
    EXPECT_TRUE(list.append("http://a/", TypeCode::HTM, false));
    EXPECT_TRUE(list.append("http://b/", TypeCode::JPG, false));
    EXPECT_TRUE(list.append("http://b/", TypeCode::JPG, false));  // a run: its mark
    EXPECT_FALSE(list.append("http://c/", TypeCode::HTM, false));
    EXPECT_TRUE(list.append("http://b/", TypeCode::JPG, false));  // the run's mark grows
    EXPECT_FALSE(list.append("http://a/", TypeCode::HTM, false));
    WorkList::VariantId id;
    EXPECT_FALSE(
        list.variantFor("http://d/", WorkList::Hash("http://d/"), TypeCode::HTM, false, id));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.at(0).referrer, "http://a/");
    EXPECT_EQ(list.at(3).referrer, "http://b/");

    WorkList merged;
    merged.setLimit(2);
    EXPECT_TRUE(merged.appendMerged("http://a/", TypeCode::HTM, false, 2, 0));
    EXPECT_TRUE(merged.appendMerged("http://b/", TypeCode::HTM, false, 1, 2));
    EXPECT_FALSE(merged.appendMerged("http://c/", TypeCode::HTM, false, 1, 3));
    EXPECT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged.limit(), 2u);
    merged.setLimit(std::size_t{1} << 40);  // never above what 32-bit ids hold
    EXPECT_EQ(merged.limit(), WorkList::kMaxElements);
}

}  // namespace
}  // namespace tallowby
