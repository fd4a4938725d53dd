// Partial results: merged in order they must leave the work list and the
// counters exactly as one scan of all their inputs; damaged ones must be
// refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "MemoryFileSystem.h"
#include "PartialBytes.h"
#include "RecordingHost.h"
#include "engine/scan/Scanner.h"
#include "engine/tally/PartialMerger.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::PlainCrc32;
using testing::PlainEntry;
using testing::PlainPartial;
using testing::PlainPartialBytes;
using testing::RecordingHost;
using testing::Resealed;

struct Options {
    bool dupes, https, quoted;
};

// Equal referrers within and across pieces (three equal lines in a row
// among them, stored as a run), letter-case twins arriving in both orders, a crawler's address,
// https and quoted referrers, lines of the own domain and lines without any address; CR, LF and CR
// LF ends.
const char* const kLines[] = {
    "a \"GET /x.pdf\" \"http://b.example/\" \"UA (X11)\"\n",
    "b \"GET /\" \"https://S.example/q?a=1\" \"curl\"\r\n",
    "no address here\n",
    "c \"GET /p.zip\" \"http://B.example/\" \"UA\"\r",
    "d \"GET /i.png\" \"http://b.example/\" \"UA\"\n",
    "d \"GET /j.png\" \"http://b.example/\" \"UA\"\n",
    "d \"GET /k.png\" \"http://b.example/\" \"UA\"\n",
    "e (compatible; Bot/1.0; +http://bot.example/)\n",
    "f \"GET /\" \"http://mysite.com/self\"\n",
    "g \"GET /a.mp3\" \"https://s.example/q?a=1\" \"UA\"\n",
    "h \"GET /\" \"http://b.example/\" \"UA (X11)\"\r\n",
    "i \"GET /doc.txt\" \"http://c.example/ x\"\n",
    "j \"GET /\" \"HTTP://b.example/\"\n",
    "k \"GET /\" \"http://bot.example/)\"\n",
};
constexpr std::size_t kLineCount = sizeof kLines / sizeof kLines[0];

std::string LinesOf(std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        text += kLines[i];
    }
    return text;
}

// Everything a work-list entry carries, and the counters.
using Item = std::tuple<std::string, std::int64_t, int, bool, std::int64_t>;
struct Outcome {
    std::vector<Item> items;
    std::vector<std::int64_t> figures;
};

Outcome OutcomeOf(const WorkList& list, const ScanCounters& c) {
    Outcome o;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const WorkList::Item item = list.at(i);
        o.items.emplace_back(std::string(item.referrer), item.count, static_cast<int>(item.type),
                             item.bot, list.arrival(i));
    }
    o.figures = {c.filesDone, c.linesScanned, c.linksFound, c.duplicatesRemoved};
    return o;
}

bool operator==(const Outcome& a, const Outcome& b) {
    return a.items == b.items && a.figures == b.figures;
}

// Scans `pieces` as files in order; hands the scanner to `use`.
template <typename Use>
void ScanPieces(const std::vector<std::string>& pieces, const Options& o, Use use) {
    MemoryFileSystem fs;
    RecordingHost host;
    host.dupes = o.dupes;
    host.https = o.https;
    host.quoted = o.quoted;
    host.counting = false;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        names.push_back("p" + std::to_string(i));
        fs.add("/logs/" + names.back(), pieces[i]);
    }
    host.select(names);
    Scanner scanner(fs);
    testing::RunScan(scanner, host);
    use(scanner);
}

Partial PartialOf(const std::vector<std::string>& pieces, const Options& o) {
    Partial p;
    ScanPieces(pieces, o, [&](const Scanner& s) {
        PartialSummary summary;
        summary.collapsed = o.dupes;
        summary.counters = s.counters();
        std::string error;
        EXPECT_TRUE(DecodePartial(EncodePartial(summary, s.workList()), p, error)) << error;
    });
    return p;
}

Outcome Merged(const std::vector<Partial>& partials) {
    PartialMerger merger;
    std::string error;
    for (const Partial& p : partials) {
        EXPECT_TRUE(merger.add(p, error)) << error;
    }
    merger.finish();
    return OutcomeOf(merger.workList(), merger.summary().counters);
}

Partial Reencoded(const std::vector<Partial>& partials) {
    PartialMerger merger;
    std::string error;
    for (const Partial& p : partials) {
        merger.add(p, error);
    }
    merger.finish();
    Partial p;
    EXPECT_TRUE(DecodePartial(EncodePartial(merger.summary(), merger.workList()), p, error));
    return p;
}

TEST(PartialMerge, EqualsOneScanForEveryCutAndOption) {
    for (int bits = 0; bits < 8; ++bits) {
        const Options o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        for (std::size_t cut = 0; cut <= kLineCount; ++cut) {
            // Two pieces cut at this line, and a nested merge: the first two
            // of three pieces merged first, the result merged with the third.
            const std::size_t second = cut + (kLineCount - cut) / 2;
            const std::string a = LinesOf(0, cut), b1 = LinesOf(cut, second),
                              b2 = LinesOf(second, kLineCount), b = b1 + b2;
            SCOPED_TRACE("options " + std::to_string(bits) + ", cut at line " +
                         std::to_string(cut));
            Outcome one;
            ScanPieces({a, b}, o,
                       [&](const Scanner& s) { one = OutcomeOf(s.workList(), s.counters()); });
            EXPECT_TRUE(Merged({PartialOf({a}, o), PartialOf({b}, o)}) == one);
            const Partial nested = Reencoded({PartialOf({a}, o), PartialOf({b1}, o)});
            Outcome three;
            ScanPieces({a, b1, b2}, o,
                       [&](const Scanner& s) { three = OutcomeOf(s.workList(), s.counters()); });
            EXPECT_TRUE(Merged({nested, PartialOf({b2}, o)}) == three);
        }
    }
}

TEST(PartialMerge, ManyLetterCaseTwinsMergeAsOneScan) {
    // 40 spellings of one address in letter case, each in every piece, in
    // a different order per piece: a long run of texts equal but for case.
    std::vector<std::string> pieces(3);
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        for (unsigned k = 0; k < 40; ++k) {
            const unsigned spelling = (k * (2 * p + 3)) % 40;
            std::string address = "http://abcdef.example/ ";
            for (unsigned bit = 0; bit < 6; ++bit) {
                if (spelling & (1u << bit)) {
                    address[7 + bit] = static_cast<char>(address[7 + bit] - 32);
                }
            }
            pieces[p] += "x " + address + (k % 2 ? "/a.pdf\n" : "/b.zip\n");
        }
    }
    for (const bool dupes : {true, false}) {
        const Options o{dupes, false, false};
        Outcome one;
        ScanPieces(pieces, o,
                   [&](const Scanner& s) { one = OutcomeOf(s.workList(), s.counters()); });
        EXPECT_TRUE(Merged({PartialOf({pieces[0]}, o), PartialOf({pieces[1]}, o),
                            PartialOf({pieces[2]}, o)}) == one);
    }
}

TEST(PartialMerge, SurvivorKeepsTheTypeOfTheFirstArrivalAcrossPartials) {
    // Worked out by hand: "http://b.example/" arrives first as PDF (line a),
    // then as ZIP in the second partial; one entry, PDF, three clicks.
    const Options o{true, false, false};
    const Outcome merged = Merged({PartialOf({"a \"GET /x.pdf\" \"http://b.example/ \"\n"}, o),
                                   PartialOf({"b \"GET /p.zip\" \"http://b.example/ \"\n"
                                              "c \"GET /p.zip\" \"http://b.example/ \"\n"},
                                             o)});
    ASSERT_EQ(merged.items.size(), 1u);
    EXPECT_EQ(merged.items[0],
              Item("http://b.example/ ", 3, static_cast<int>(TypeCode::PDF), false, 0));
    EXPECT_EQ(merged.figures, (std::vector<std::int64_t>{2, 3, 3, 2}));
}

// Work-list order written out plainly: ASCII letters folded to lower case,
// bytes compared unsigned, a text before the longer ones it begins.
bool PlainBefore(const std::string& a, const std::string& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i]);
        const auto y = static_cast<unsigned char>(b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i]);
        if (x != y) {
            return x < y;
        }
    }
    return a.size() < b.size();
}

TEST(PartialMerge, MatchesAPlainModelForTextsThatBeginOneAnotherOrDifferInCase) {
    // Short texts over letters in both cases, the bytes between 'Z' and 'a'
    // and bytes above ASCII, so texts often begin one another, tie where
    // letter case is ignored, or are empty: the places where comparing them
    // in pieces can go wrong.
    const std::string alphabet = "aAbBzZ[_`\x80\xc3";
    std::mt19937 random(7);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int trial = 0; trial < 300; ++trial) {
        const bool collapsed = trial % 2 == 0;
        struct Line {
            std::string text;
            TypeCode type;
            bool bot;
            std::int64_t arrival;
        };
        std::vector<Line> lines;  // of all partials, in arrival order
        std::vector<Partial> partials(1 + pick(9));
        for (Partial& p : partials) {
            WorkList list;
            for (std::size_t k = pick(30); k > 0; --k) {
                std::string text(pick(5), ' ');
                for (char& c : text) {
                    c = alphabet[pick(alphabet.size())];
                }
                const auto type = static_cast<TypeCode>(pick(kTypeCodeCount));
                const bool bot = pick(4) == 0;
                lines.push_back({text, type, bot, static_cast<std::int64_t>(lines.size())});
                list.append(text, type, bot);
            }
            PartialSummary summary;
            summary.counters.linesScanned = summary.counters.linksFound =
                static_cast<std::int64_t>(list.size());
            if (collapsed) {
                list.collapse();
                summary.counters.duplicatesRemoved =
                    summary.counters.linksFound - static_cast<std::int64_t>(list.size());
            }
            summary.collapsed = collapsed;
            std::string error;
            ASSERT_TRUE(DecodePartial(EncodePartial(summary, list), p, error)) << error;
        }
        // The model: every line, or the first line of each text with the
        // lines of its text counted; in order of text, then arrival.
        std::vector<Item> want;
        std::stable_sort(lines.begin(), lines.end(),
                         [](const Line& a, const Line& b) { return PlainBefore(a.text, b.text); });
        for (const Line& l : lines) {
            auto same = std::find_if(want.begin(), want.end(),
                                     [&](const Item& i) { return std::get<0>(i) == l.text; });
            if (!collapsed || same == want.end()) {
                want.emplace_back(l.text, collapsed ? 1 : 0, static_cast<int>(l.type), l.bot,
                                  l.arrival);
            } else {
                ++std::get<1>(*same);
            }
        }
        // The merger is given copies, whose originals are then overwritten.
        PartialMerger merger;
        std::string error;
        for (const Partial& p : partials) {
            ASSERT_TRUE(merger.add(p, error)) << error;
        }
        for (Partial& p : partials) {
            std::fill(p.bytes.begin(), p.bytes.end(), '?');
        }
        merger.finish();
        EXPECT_EQ(OutcomeOf(merger.workList(), {}).items, want) << "trial " << trial;
    }
}

std::string SmallPartial() {
    ScanCounters c;
    c.filesDone = 1;
    c.linesScanned = 3;
    c.linksFound = 2;
    WorkList list;
    list.append("http://b.example/", TypeCode::PDF, false);
    list.append("http://a.example/", TypeCode::ZIP, true);
    PartialSummary summary;
    summary.options = {"domain=x", "dupes=0"};
    summary.counters = c;
    return EncodePartial(summary, list);
}

TEST(PartialDecode, ChecksumIsZlibsCrc32) {
    EXPECT_EQ(PlainCrc32("123456789"), 0xCBF43926u);  // the standard check value
    const std::string bytes = SmallPartial();
    EXPECT_EQ(Resealed(bytes), bytes);
}

TEST(PartialDecode, EveryCutAndEveryChangedByteIsRefused) {
    const std::string good = SmallPartial();
    Partial p;
    std::string error;
    ASSERT_TRUE(DecodePartial(good, p, error)) << error;
    ASSERT_EQ(p.entries.size(), 2u);
    // In work-list order, each with its arrival.
    EXPECT_EQ(p.entries[0].referrer, "http://a.example/");
    EXPECT_EQ(p.entries[0].position, 1);
    EXPECT_TRUE(p.entries[0].bot);
    EXPECT_EQ(p.entries[1].position, 0);
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(DecodePartial(good.substr(0, n), p, error)) << "cut to " << n;
        EXPECT_TRUE(error == "truncated" || (n == 0 && error == "not a partial result")) << error;
        std::string changed = good;
        changed[n] = static_cast<char>(changed[n] ^ 0x20);
        EXPECT_FALSE(DecodePartial(changed, p, error)) << "byte " << n;
    }
    EXPECT_FALSE(DecodePartial(good + "x", p, error));
}

TEST(PartialDecode, SaysWhatIsWrong) {
    const std::string good = SmallPartial();
    const std::size_t firstEntry = 8 + 4 + 4 + 40 + 4 + (4 + 8) + (4 + 7) + 8;
    struct Case {
        const char* what;
        std::size_t at;
        char value;
        bool reseal;
        const char* error;
    } cases[] = {
        {"magic", 0, 'X', false, "not a partial result"},
        {"version", 8, 2, false,
         "format version 2 is not supported (this program reads version 1)"},
        {"end mark", good.size() - 1, 'x', false, "truncated"},
        {"a stored byte", firstEntry + 30, 'x', false, "corrupt (checksum mismatch)"},
        {"flags", 12, 8, true, "corrupt (unknown flags)"},
        {"type code", firstEntry + 16, 40, true, "corrupt (bad type code)"},
        {"count without collapse", firstEntry + 8, 1, true, "corrupt (bad click count)"},
        {"second text", firstEntry + 39 + 22, 'a', true, "corrupt (entries out of order)"},
        {"first position", firstEntry, 7, true, "corrupt (a position lies beyond the entries)"},
        {"entry length", firstEntry + 18, 100, true, "corrupt (entries run past the end)"},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        bytes[c.at] = c.value;
        if (c.reseal) {
            bytes = Resealed(bytes);
        }
        Partial p;
        std::string error;
        EXPECT_FALSE(DecodePartial(bytes, p, error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

// A checksum guards against damage, not against a file made to deceive:
// the counters must hang together, and with the entries and their positions.
TEST(PartialDecode, RefusesCountersThatContradictEachOtherOrTheEntries) {
    // Two referrers, one seen twice: as entries of their own, or collapsed
    // with their clicks.
    const std::vector<PlainEntry> plain = {{1, 0, 31, 0, "http://a.example/"},
                                           {0, 0, 31, 0, "http://b.example/"},
                                           {2, 0, 31, 0, "http://b.example/"}};
    const std::vector<PlainEntry> collapsed = {{1, 1, 31, 0, "http://a.example/"},
                                               {0, 2, 31, 0, "http://b.example/"}};
    const char* const contradict = "corrupt (the counters contradict each other)";
    const char* const mismatch = "corrupt (the counters do not match the entries)";
    const char* const beyond = "corrupt (a position lies beyond the entries)";
    struct Case {
        const char* what;
        bool collapse;
        std::vector<std::uint64_t> counters;  // files, lines, links, duplicates, spam
        const char* error;                    // null: accepted
        int latest = -1;  // when set, the position of the latest arrival's entry
    } cases[] = {
        {"a real scan", false, {1, 5, 3, 0, 0}, nullptr},
        {"a real scan, collapsed", true, {1, 5, 3, 1, 0}, nullptr},
        {"spam among the lines", true, {1, 5, 3, 1, 2}, nullptr},
        {"more duplicates than links", false, {0, 0, 0, std::uint64_t{1} << 56, 0}, contradict},
        {"more links than lines", false, {1, 2, 3, 0, 0}, contradict},
        {"links and spam beyond the lines", true, {1, 4, 3, 1, 2}, contradict},
        {"fewer links than entries", false, {1, 5, 2, 0, 0}, mismatch},
        {"more links than entries", false, {1, 5, 4, 0, 0}, mismatch},
        {"duplicates without a collapse", false, {1, 5, 3, 1, 0}, mismatch},
        {"fewer links than clicks", true, {1, 5, 2, 0, 0}, mismatch},
        {"more links than clicks", true, {1, 5, 4, 2, 0}, mismatch},
        {"duplicates beyond the entries", true, {1, 5, 3, 2, 0}, mismatch},
        // Positions number the three arrivals from 0.
        {"a position at the last arrival", false, {1, 5, 3, 0, 0}, nullptr, 2},
        {"a position at the arrivals", false, {1, 5, 3, 0, 0}, beyond, 3},
        {"collapsed, a position at the last arrival", true, {1, 5, 3, 1, 0}, nullptr, 2},
        {"collapsed, a position at the arrivals", true, {1, 5, 3, 1, 0}, beyond, 3},
    };
    for (const Case& c : cases) {
        PlainPartial crafted;
        crafted.flags = c.collapse ? 1 : 0;
        crafted.counters = c.counters;
        crafted.entries = c.collapse ? collapsed : plain;
        if (c.latest >= 0) {
            crafted.entries[c.collapse ? 0 : 2].position = static_cast<std::uint64_t>(c.latest);
        }
        Partial p;
        std::string error;
        EXPECT_EQ(DecodePartial(PlainPartialBytes(crafted), p, error), c.error == nullptr)
            << c.what;
        if (c.error != nullptr) {
            EXPECT_EQ(error, c.error) << c.what;
        }
    }
}

TEST(PartialMerge, RefusesPartialsCollapsedOneWayAndTheOther) {
    Partial collapsed = PartialOf({LinesOf(0, 3)}, {true, false, false});
    Partial plain = PartialOf({LinesOf(0, 3)}, {false, false, false});
    PartialMerger merger;
    std::string error;
    ASSERT_TRUE(merger.add(collapsed, error));
    EXPECT_FALSE(merger.add(plain, error));
    EXPECT_FALSE(error.empty());
}

// Partials whose entries together would not fit in one list are refused
// before anything is merged, not cut short.
TEST(PartialMerge, RefusesMoreEntriesThanOneListHolds) {
    const Partial p = PartialOf({LinesOf(0, 3)}, {false, false, false});
    PartialMerger merger;
    merger.list().setLimit(p.entries.size());
    std::string error;
    ASSERT_TRUE(merger.add(p, error));
    EXPECT_FALSE(merger.add(p, error));
    EXPECT_EQ(error, "too many entries for one merged list (it holds at most " +
                         std::to_string(p.entries.size()) + ")");
}

}  // namespace
}  // namespace tallowby
