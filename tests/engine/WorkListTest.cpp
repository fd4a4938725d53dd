#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/WorkList.h"

namespace tallowby {
namespace {

std::vector<std::string> Texts(const WorkList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i) out.push_back(list.at(i).text());
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
    EXPECT_EQ(Texts(list), (std::vector<std::string>{
                               "http://_.com/", "http://a.com", "http://A.com/", "HTTP://a.com/",
                               "http://a.com/", "http://b.com/"}));
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
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"0000003|http://dup/", "0000001|http://one/"}));
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
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"0000001|http://a.com/", "0000001|HTTP://A.COM/",
                                                     "0000001|http://a.com/ "}));
}

TEST(Collapse, EmptyListStaysEmpty) {
    WorkList list;
    EXPECT_TRUE(list.collapse().empty());
    EXPECT_EQ(list.size(), 0u);
}

TEST(Collapse, CountsBeyondSevenDigitsLoseThePadding) {
    EXPECT_EQ(CountPrefix(3), "0000003|");
    EXPECT_EQ(CountPrefix(9999999), "9999999|");
    EXPECT_EQ(CountPrefix(10000000), "10000000|");
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
    for (std::size_t i = 0; i < list.size(); ++i) sum += list.at(i).count;
    EXPECT_EQ(sum, total);
    EXPECT_EQ(list.size(), 613u);
    std::int64_t deleted = 0;
    for (auto r : removed) deleted += r;
    EXPECT_EQ(deleted, total - 613);
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_LT(std::string(list.at(i - 1).referrer), std::string(list.at(i).referrer));
    }
}

}  // namespace
}  // namespace tallowby
