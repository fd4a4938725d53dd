#include "output/RowFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/ReportParts.h"
#include "output/TextOutput.h"

namespace tallowby {
namespace {

TEST(CsvField, QuotesOnlyWhereNeededAndKeepsBytes) {
    struct Case {
        std::string field;
        std::string written;
    };
    const Case cases[] = {
        {"", ""},
        {"http://a.example/x ", "http://a.example/x "},  // spaces need no quotes
        {"http://a.example/x|y", "http://a.example/x|y"},
        {"http://a.example/a,b", "\"http://a.example/a,b\""},
        {"http://a.example/\"q\"", "\"http://a.example/\"\"q\"\"\""},
        {"a\rb", "\"a\rb\""},
        {"http://a.exa/q\"", "\"http://a.exa/q\"\"\""},  // 15 and 16 bytes: either side
        {"http://a.exam/q,", "\"http://a.exam/q,\""},    // of the sixteen-byte step
        {"a\nb", "\"a\nb\""},
        {"\t\xff\xc3", "\t\xff\xc3"},  // invalid UTF-8 stays as read
    };
    for (const Case& c : cases) {
        std::string out;
        AppendCsvField(out, c.field);
        EXPECT_EQ(out, c.written) << c.field;
    }
}

TEST(CsvRow, HeaderAndRowEndWithLf) {
    std::string out;
    AppendCsvHeader(out);
    AppendCsvRow(out, ReferrerEntry{"BOT", "0000012", "http://x.example/a,b"});
    AppendCsvRow(out, ReferrerEntry{"", "", "http://y.example/"});
    // Quotes in every cell, and where a sixteen-byte step ends.
    AppendCsvRow(out, ReferrerEntry{"\"", "1\r", "http://q.example/\"\" \"Agent (x\""});
    // A row too long to be written in one step goes cell by cell: the same bytes.
    const std::string a(5000, 'a');
    AppendCsvRow(out, ReferrerEntry{"HTM", "0000001", "\"" + a + "\",\n" + a});
    EXPECT_EQ(out,
              "Type,Clicks,Referrer\n"
              "BOT,0000012,\"http://x.example/a,b\"\n"
              ",,http://y.example/\n"
              "\"\"\"\",\"1\r\",\"http://q.example/\"\"\"\" \"\"Agent (x\"\"\"\n"
              "HTM,0000001,\"\"\"" +
                  a + "\"\",\n" + a + "\"\n");
}

TEST(JsonString, EscapesAndReplacesIllFormedUtf8) {
    const std::string R = "\xef\xbf\xbd";  // U+FFFD
    struct Case {
        const char* name;
        std::string text;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"plain", "http://a.example/", "\"http://a.example/\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"short escapes", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"other controls", std::string("\x01\x1f\x00", 3), "\"\\u0001\\u001f\\u0000\""},
        {"DEL and slash stay", "\x7f/", "\"\x7f/\""},
        {"two-byte", "caf\xc3\xa9", "\"caf\xc3\xa9\""},
        {"three-byte", "\xe2\x82\xac", "\"\xe2\x82\xac\""},
        {"four-byte", "\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
        {"lone continuation", "a\x80z", "\"a" + R + "z\""},
        {"byte never in UTF-8", "\xff\xfe", "\"" + R + R + "\""},
        {"overlong two-byte", "\xc0\xaf", "\"" + R + R + "\""},
        {"overlong three-byte", "\xe0\x80\xaf", "\"" + R + R + R + "\""},
        {"surrogate", "\xed\xa0\x80", "\"" + R + R + R + "\""},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\"" + R + R + R + R + "\""},
        {"cut short before ASCII", "\xe2\x82(", "\"" + R + "(\""},
        {"cut short at the end", "x\xf0\x9f\x98", "\"x" + R + "\""},
        {"lead byte then lead byte", "\xc3\xc3\xa9", "\"" + R + "\xc3\xa9\""},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json) << c.name;
    }
}

TEST(JsonResults, DocumentWithRowsAndStatistics) {
    ScanCounters counters;
    counters.filesDone = 2;
    counters.linesScanned = 5000000000;  // beyond 32 bits
    counters.linksFound = 7;
    counters.duplicatesRemoved = 3;
    std::string out;
    JsonResultsWriter json(out);
    json.begin();
    json.row(ReferrerEntry{"HTM", "0000004", "http://a.example/ "});
    json.row(ReferrerEntry{"", "", "http://b.example/\"x"});
    json.end(counters);
    EXPECT_EQ(
        out,
        "{\"rows\":[{\"type\":\"HTM\",\"clicks\":\"0000004\",\"referrer\":\"http://a.example/ "
        "\"},{\"type\":\"\",\"clicks\":\"\",\"referrer\":\"http://b.example/\\\"x\"}],"
        "\"stats\":{\"filesDone\":2,\"linesScanned\":5000000000,\"linksFound\":7,"
        "\"duplicatesRemoved\":3,\"uniqueLinks\":4}}\n");

    std::string empty;
    JsonResultsWriter none(empty);
    none.begin();
    none.end(ScanCounters{});
    EXPECT_EQ(empty,
              "{\"rows\":[],\"stats\":{\"filesDone\":0,\"linesScanned\":0,\"linksFound\":0,"
              "\"duplicatesRemoved\":0,\"uniqueLinks\":0}}\n");
}

std::string Times(std::size_t n, const std::string& piece) {
    std::string s;
    s.reserve(n * piece.size());
    for (std::size_t i = 0; i < n; ++i)
        s += piece;
    return s;
}

// A cell of a megabyte whose escaped form is six times that: it reaches the
// drain in pieces near the threshold, never whole, and the pieces together
// are the escaped text.
TEST(StreamedCells, LongCellsReachTheDrainInPiecesOnly) {
    constexpr std::size_t kCell = 1 << 20;
    constexpr std::size_t kThreshold = 4096;
    // An input block is escaped whole before the buffer is looked at again.
    constexpr std::size_t kLargestPiece = kThreshold + 6 * (1 << 14) + 64;
    WorkList list;
    list.append("http://x/" + std::string(kCell, '<'), TypeCode::HTM, false);
    struct Case {
        const char* name;
        std::function<void(TextOutput&)> write;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"JSON control bytes",
         [](TextOutput& out) { AppendJsonString(out, std::string(kCell, '\x01')); },
         "\"" + Times(kCell, "\\u0001") + "\""},
        {"JSON plain bytes",
         [](TextOutput& out) { AppendJsonString(out, std::string(kCell, 'a')); },
         "\"" + std::string(kCell, 'a') + "\""},
        {"CSV quotes", [](TextOutput& out) { AppendCsvField(out, std::string(kCell, '"')); },
         "\"" + std::string(2 * kCell, '"') + "\""},
        {"CSV plain", [](TextOutput& out) { AppendCsvField(out, std::string(kCell, 'a')); },
         std::string(kCell, 'a')},
        {"export line", [&](TextOutput& out) { AppendExportLine(out, list.at(0)); },
         "<a href='http://x/" + Times(kCell, "&lt;") + "'>http://x/" + Times(kCell, "&lt;") +
             "</a><br>\r\n"},
        {"report text", [](TextOutput& out) { AppendReportText(out, std::string(kCell, '<')); },
         Times(kCell, "&lt;")},
    };
    for (const Case& c : cases) {
        std::string all;
        std::size_t largest = 0;
        TextOutput out(
            [&](std::string_view piece) {
                largest = std::max(largest, piece.size());
                all.append(piece);
                return true;
            },
            kThreshold);
        c.write(out);
        ASSERT_TRUE(out.flush()) << c.name;
        EXPECT_LE(largest, kLargestPiece) << c.name;
        EXPECT_TRUE(all == c.expected) << c.name;
    }
}

}  // namespace
}  // namespace tallowby
