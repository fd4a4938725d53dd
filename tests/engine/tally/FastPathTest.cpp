// The fast paths of the engine against plain reference versions on
// pseudo-random inputs built to hit their edges: texts equal up to letter
// case, ending at or around 8- and 16-byte key boundaries, holding NUL and
// bytes above ASCII; line ends of every kind across block boundaries.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "ReferenceRules.h"
#include "engine/match/Rules.h"
#include "engine/match/TextFold.h"
#include "engine/read/LineCount.h"
#include "engine/scan/Scanner.h"
#include "engine/tally/FoldedRanks.h"
#include "engine/tally/WorkList.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

// The standard fixes mt19937_64's output, so every platform gets the same inputs.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }

private:
    std::mt19937_64 engine_;
};

// Texts from a few stems and a tiny alphabet, so many share long folded
// prefixes and many differ only in letter case or length.
std::string RandomText(Random& r) {
    static const char* const kStems[] = {"", "http://", "HTTP://www.", "http://www.example.com/",
                                         "http://www.example.com/page/"};
    static const char kBytes[] = {'a', 'A', 'b', 'B', 'z', '/', '\0', '_', ' ', '\xe9', '\x7f'};
    std::string s = kStems[r.below(std::size(kStems))];
    const std::size_t extra = r.below(26);
    for (std::size_t i = 0; i < extra; ++i) {
        s += kBytes[r.below(sizeof kBytes)];
    }
    return s;
}

std::vector<std::uint32_t> ReferenceRanks(const std::vector<std::string_view>& texts) {
    std::vector<std::string_view> sorted(texts);
    std::sort(sorted.begin(), sorted.end(),
              [](std::string_view a, std::string_view b) { return CompareIgnoringCase(a, b) < 0; });
    std::vector<std::uint32_t> ranks;
    for (std::string_view t : texts) {
        // Rank = number of folded-distinct texts below t.
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            if (CompareIgnoringCase(sorted[i], t) >= 0)
                break;
            if (i == 0 || CompareIgnoringCase(sorted[i - 1], sorted[i]) != 0)
                ++rank;
        }
        ranks.push_back(rank);
    }
    return ranks;
}

TEST(FoldedRanks, AgreeWithComparingTheTextsWhole) {
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        Random r(seed);
        // Small lists take the comparing path only; larger ones the keyed passes.
        const std::size_t count = seed % 4 == 0 ? 3 : 20 + r.below(400);
        std::vector<std::string> owned;
        for (std::size_t i = 0; i < count; ++i)
            owned.push_back(RandomText(r));
        const std::vector<std::string_view> texts(owned.begin(), owned.end());
        ASSERT_EQ(FoldedRanks(texts), ReferenceRanks(texts)) << "seed " << seed;
    }
    EXPECT_TRUE(FoldedRanks({}).empty());
}

// Ranks by sorting with a byte-by-byte folded comparison written out here.
std::vector<std::uint32_t> PlainRanks(const std::vector<std::string_view>& texts) {
    auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? u + 32 : u;
    };
    auto less = [&](std::string_view a, std::string_view b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [&](char x, char y) { return fold(x) < fold(y); });
    };
    std::vector<std::size_t> order(texts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return less(texts[a], texts[b]); });
    std::vector<std::uint32_t> ranks(texts.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && less(texts[order[i - 1]], texts[order[i]]))
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

// Lists long enough to be ranked on two threads, of texts that share long
// prefixes (several keys deep), are prefixes of each other, differ only in
// letter case, are empty or hold NUL and bytes above ASCII; in orders that
// trouble a quicksort's pivots. Work passed alongside runs once, and its
// failure reaches the caller.
TEST(FoldedRanks, AgreeOnLongListsWithAPlainSort) {
    static const std::string kStems[] = {"http://www.example.com/a/long/path/shared/by/many/",
                                         "HTTP://www.example.com/a/long/path/shared/by/",
                                         "http://www.example.com/a/long/", "",
                                         "ftp://never.cut/so/all/of/these/share/it/"};
    static const char kBytes[] = {'a', 'A', 'b', 'B', '/', '\0', '\x80', '\xff', '\xe9'};
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        Random r(seed);
        std::vector<std::string> owned;
        for (std::size_t i = 0; i < 20000; ++i) {
            // Mostly whole stems, some cut anywhere; the last one never, so
            // its texts all share many keys.
            const std::size_t which = r.below(std::size(kStems));
            const std::string& stem = kStems[which];
            std::string s = which + 1 < std::size(kStems) && r.below(8) == 0
                                ? stem.substr(0, r.below(stem.size() + 1))
                                : stem;
            const std::size_t extra = r.below(20) + (which + 1 < std::size(kStems) ? 0 : 1);
            for (std::size_t k = 0; k < extra; ++k)
                s += kBytes[r.below(sizeof kBytes)];
            owned.push_back(s);
        }
        if (seed == 2)
            std::sort(owned.begin(), owned.end());
        if (seed == 3)
            std::sort(owned.rbegin(), owned.rend());
        if (seed == 4)  // rising, then falling
            std::sort(owned.begin() + 10000, owned.end(), std::greater<>());
        const std::vector<std::string_view> texts(owned.begin(), owned.end());
        int ran = 0;
        ASSERT_EQ(FoldedRanks(texts, [&] { ++ran; }), PlainRanks(texts)) << "seed " << seed;
        EXPECT_EQ(ran, 1);
    }
    std::vector<std::string_view> many(10000, "same");
    EXPECT_EQ(FoldedRanks(many), std::vector<std::uint32_t>(many.size(), 0));
    EXPECT_THROW(FoldedRanks(many, [] { throw std::runtime_error("failed"); }), std::runtime_error);
}

// The work list's collapse, worked out the slow way: entries in work-list
// order (stable by folded text), the first of each exact text survives.
struct Survivor {
    std::string text;
    std::int64_t count;
    TypeCode type;
    bool operator==(const Survivor&) const = default;
};
std::vector<Survivor> ReferenceCollapse(const std::vector<std::string>& texts) {
    std::vector<std::size_t> order(texts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareIgnoringCase(texts[a], texts[b]) < 0;
    });
    std::vector<Survivor> out;
    std::vector<bool> gone(order.size(), false);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (gone[i])
            continue;
        std::int64_t count = 1;
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            if (!gone[j] && texts[order[j]] == texts[order[i]]) {
                gone[j] = true;
                ++count;
            }
        }
        out.push_back({texts[order[i]], count, static_cast<TypeCode>(order[i] % kTypeCodeCount)});
    }
    return out;
}

TEST(WorkList, CollapseAgreesWithTheSlowCollapse) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        Random r(seed * 977);
        std::vector<std::string> pool;
        for (std::size_t i = 0; i < 5 + r.below(60); ++i)
            pool.push_back(RandomText(r));
        std::vector<std::string> texts;
        WorkList list;
        for (std::size_t i = 0; i < 300; ++i) {
            texts.push_back(pool[r.below(pool.size())]);
            list.append(texts.back(), static_cast<TypeCode>(i % kTypeCodeCount), false);
        }
        if (seed % 2 == 0) {
            list.at(0);  // an order already worked out must not matter
        }
        const std::vector<std::int64_t> removed = list.collapse();
        std::vector<Survivor> got;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const WorkList::Item item = list.at(i);
            got.push_back({std::string(item.referrer), item.count, item.type});
            ASSERT_EQ(removed[i], item.count - 1);
        }
        ASSERT_EQ(got, ReferenceCollapse(texts)) << "seed " << seed;
    }
}

TEST(CountFileLines, AgreesWithAPlainCountOverEveryBlockSize) {
    MemoryFileSystem fs;
    for (std::uint64_t seed = 1; seed <= 25; ++seed) {
        Random r(seed);
        std::string content;
        const std::size_t size = r.below(9000);  // past 255 steps of 16 bytes
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t k = r.below(20);
            content += k == 0 ? '\r' : k == 1 ? '\n' : static_cast<char>('a' + k);
        }
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{16}, std::size_t{17},
                                  std::size_t{1} << 20}) {
            fs.add("/l", content).maxChunk = chunk;
            int blocks = 0;
            EXPECT_EQ(CountFileLines("/l", fs, [&] { ++blocks; }), testing::CountLines(content))
                << "seed " << seed << ", reads of " << chunk;
            EXPECT_EQ(blocks,
                      content.empty() ? 0 : static_cast<int>((content.size() + chunk - 1) / chunk));
        }
    }
}

// A list this long is collapsed on a second thread; what the collapse reports
// and leaves is the same as for a short one.
TEST(Scanner, CollapsesALongListWithTheSameStepsAndRows) {
    MemoryFileSystem fs;
    std::string log;
    const std::size_t distinct = std::size_t{1} << 16;
    for (std::size_t i = 0; i < distinct; ++i) {
        log += "x \"http://r.example/" + std::to_string(i * 7919 % distinct) + "\" y\n";
    }
    log += "x \"http://r.example/7\" y\n";  // one duplicate
    fs.add("/logs/x", log);
    RecordingHost host;
    host.select({"x"});
    Scanner scanner(fs);
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().duplicatesRemoved, 1);
    const std::vector<std::string> s = host.statuses();
    ASSERT_EQ(s.size(), 1 + 1 + (distinct + 1));  // finished, collapse, one per position
    EXPECT_EQ(s[1], "Removing Duplicates...  Please Wait.");
    EXPECT_EQ(s[2], "Removing Duplicates...  Please Wait.  (0 removed)");
    EXPECT_EQ(s.back(), "Removing Duplicates...  Please Wait.  (1 removed)");
    ASSERT_EQ(host.rows.size(), distinct);
    for (std::size_t i = 0; i < distinct; ++i) {
        const bool twice = host.rows[i].referrer == "http://r.example/7\" ";
        ASSERT_EQ(host.rows[i].clicks, twice ? "0000002" : "0000001") << i;
    }
}

}  // namespace
}  // namespace tallowby
