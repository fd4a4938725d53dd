#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ReferenceRules.h"
#include "engine/match/LineMatch.h"
#include "engine/match/Rules.h"
#include "engine/read/LineReader.h"
#include "engine/scan/ChunkBatch.h"
#include "engine/tally/KnownIds.h"
#include "output/RowCells.h"

namespace tallowby {
namespace {

using testing::ReferenceAddress;
using testing::ReferenceExtract;
using testing::ReferenceFind;
using testing::ReferenceHasReferrer;
using testing::ReferenceTypeCode;

TEST(LineHasReferrer, FollowsSchemeAndOwnDomainRules) {
    struct Case {
        const char* line;
        const char* domain;
        bool expected;
    } cases[] = {
        {"GET / HTTP/1.1 200", "mysite.com", false},
        {"1.2.3.4 - - \"GET / HTTP/1.0\" 200 5 \"http://other.com/x\" \"Mozilla\"", "mysite.com",
         true},
        {"\"HTTP://Other.COM/x\"", "mysite.com", true},
        {"\"https://other.com/x\"", "mysite.com", false},
        {"GET /from/MySite.COM/page \"http://other.com/\"", "mysite.com", false},
        {"\"http://other.com/\" \"agent mentions mysite.com\"", "mysite.com", false},
        {"\"http://blog.mysite.com/\"", "mysite.com", false},
        {"\"http://other.com/\"", "", false},
        {"", "mysite.com", false},
        {"http:/ /x http:// ", "x.org", true},
        {"hTtP://", "zz", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineHasReferrer(c.line, c.domain), c.expected) << c.line << " / " << c.domain;
    }
}

TEST(ExtractReferrer, CutsFromSchemeToParenthesisSpaceOrEnd) {
    struct Case {
        std::string line, referrer, remainder;
        bool bot;
    } cases[] = {
        // A space ends the cut and goes with the referrer.
        {"a http://x.com/p b c", "http://x.com/p ", "a b c", false},
        // The address runs to the end of the line.
        {"ref http://x.com", "http://x.com", "ref ", false},
        // A ")" ends the cut and stays in the remainder.
        {"(http://x.com)", "http://x.com", "()", true},
        // The ")" search covers the whole line before a space is tried.
        {"\"http://a.com/\" \"Mozilla/5.0 (Windows NT)\"",
         "http://a.com/\" \"Mozilla/5.0 (Windows NT", "\")\"", false},
        // Only the first address is cut; later ones stay.
        {"x http://a.com y http://b.com", "http://a.com ", "x y http://b.com", false},
        // Every occurrence of the referrer leaves the remainder.
        {"http://a.com/ z http://a.com/ q", "http://a.com/ ", "z q", false},
        // The scheme keeps its letter case.
        {"HTTP://A.com x", "HTTP://A.com ", "x", false},
        // Tabs and quotes do not end a referrer.
        {"x\thttp://a.com\t\"foo bar", "http://a.com\t\"foo ", "x\tbar", false},
        // A crawler announcing itself inside a comment.
        {"\"Mozilla/5.0 (compatible; Bot/2.1; +http://www.bot.example/bot.html)\"",
         "http://www.bot.example/bot.html", "\"Mozilla/5.0 (compatible; Bot/2.1; +)\"", true},
        // A comment closed before the address does not make a crawler.
        {"(x) http://a.com/ \"agent (foo)\"", "http://a.com/ \"agent (foo", "(x) )\"", false},
        // Every parenthesis before the address counts, a stray ")" too.
        {"GET /a)b (+http://a.com/)", "http://a.com/", "GET /a)b (+)", false},
        {"x (y (+http://a.com/)", "http://a.com/", "x (y (+)", true},
        // Letter case counts when deleting occurrences.
        {"http://a.com HTTP://a.com http://a.com", "http://a.com ", "HTTP://a.com http://a.com",
         false},
    };
    for (const Case& c : cases) {
        Extraction e = ExtractReferrer(c.line);
        EXPECT_EQ(e.referrer, c.referrer) << c.line;
        EXPECT_EQ(e.remainder, c.remainder) << c.line;
        EXPECT_EQ(e.bot, c.bot) << c.line;
    }
}

// The widened rules for today's logs, each on and off; the plain rules
// above are the rows with both off.
TEST(ReferrerRules, HttpsAndQuotedFieldsCutWhereTheUserExpects) {
    const std::string combined =
        "1.2.3.4 - - [05/Dec/2026:10:00:01 +0000] \"GET /a.pdf HTTP/1.1\" 200 5 "
        "\"http://blog.example/p\" \"Mozilla/5.0 (X11; Linux x86_64)\"";
    struct Case {
        std::string line;
        bool https, quoted;
        const char* referrer;  // null: the line yields nothing
        std::string remainder;
        bool bot;
    } cases[] = {
        // A combined-log line: the quoted field ends the referrer only with --quoted.
        {combined, false, false, "http://blog.example/p\" \"Mozilla/5.0 (X11; Linux x86_64",
         "1.2.3.4 - - [05/Dec/2026:10:00:01 +0000] \"GET /a.pdf HTTP/1.1\" 200 5 \")\"", false},
        {combined, false, true, "http://blog.example/p",
         "1.2.3.4 - - [05/Dec/2026:10:00:01 +0000] \"GET /a.pdf HTTP/1.1\" 200 5 \"\" "
         "\"Mozilla/5.0 (X11; Linux x86_64)\"",
         false},
        // https:// counts only with --https, in any letter case, scheme kept.
        {"x \"https://a.example/\" y", false, false, nullptr, "", false},
        {"x \"https://a.example/\" y", true, false, "https://a.example/\" ", "x \"y", false},
        {"\"HTTPS://A.example/q a\"", true, true, "HTTPS://A.example/q a", "\"\"", false},
        // The first of the two schemes wins, whichever it is.
        {"https://a.example/ http://b.example/", true, false, "https://a.example/ ",
         "http://b.example/", false},
        {"http://b.example/ https://a.example/", true, false, "http://b.example/ ",
         "https://a.example/", false},
        {"\"http://b.example/ https://a.example/\"", false, true,
         "http://b.example/ https://a.example/", "\"\"", false},
        // "http" that is no address, then one that is.
        {"HTTP/1.1 https:/x httpS://y", true, false, "httpS://y", "HTTP/1.1 https:/x ", false},
        // Quote at the end of the line; no closing quote: the plain cut.
        {"\"http://a.example/\"", false, true, "http://a.example/", "\"\"", false},
        {"x \"http://a.example/p q", false, true, "http://a.example/p ", "x \"q", false},
        // An escaped quote does not close the field; ")" and spaces inside do not end it.
        {"\"http://a.example/?q=\\\"b (c)\\\"\" d", false, true,
         "http://a.example/?q=\\\"b (c)\\\"", "\"\" d", false},
        // A crawler's address stays BOT unless it is a quoted field of its own.
        {"(compatible; +\"http://bot.example/\")", false, true, "http://bot.example/",
         "(compatible; +\"\")", false},
        {"(compatible; +http://bot.example/)", true, true, "http://bot.example/", "(compatible; +)",
         true},
        // An IIS W3C line has no quotes: --quoted changes nothing.
        {"2026-12-05 10:00:09 GET /w.html - 80 - 1.2.3.4 Mozilla/5.0+(Windows) "
         "http://w3c.example/page 200 0 0 15",
         false, true, "http://w3c.example/page ",
         "2026-12-05 10:00:09 GET /w.html - 80 - 1.2.3.4 Mozilla/5.0+(Windows) 200 0 0 15", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line + (c.https ? " [https]" : "") + (c.quoted ? " [quoted]" : ""));
        const ReferrerRules rules{c.https, c.quoted};
        ASSERT_EQ(LineHasReferrer(c.line, "mysite.example", rules), c.referrer != nullptr);
        if (!c.referrer)
            continue;
        const Extraction e = ExtractReferrer(c.line, rules);
        EXPECT_EQ(e.referrer, c.referrer);
        EXPECT_EQ(e.remainder, c.remainder);
        EXPECT_EQ(e.bot, c.bot);
    }
}

TEST(TypeCodeFor, FirstMatchingRowWins) {
    struct Case {
        const char* remainder;
        const char* code;
    } cases[] = {
        {"GET /default.aspx HTTP/1.1", "ASP"},
        {"GET /a.zip then /b.exe", "ZIP"},
        {"GET /b.exe then /a.zip", "ZIP"},
        {"GET /PHOTO.JPG", "JPG"},
        {"GET /index.html", "HTM"},
        {"", "HTM"},
        {"ends with a dot.", "HTM"},
        {"/a.gif?x=.php", "GIF"},
        {"/scan.tiff", "TIF"},
        {"/movie.rmvb", "RM"},
        {"/sitemap: x.sitemap", "SIT"},
        {"/a.jpeg", "JPG"},
        {"/a.mpeg", "MPG"},
        {"/a.pict", "PCT"},
        {"/a.smil", "SML"},
        {"/a.AIFF", "AIF"},
        {"..jpg", "JPG"},
        {"/a.exe /b.xls", "XLS"},
        {"/a.pdf.php", "PHP"},
        {"/a.mp3", "MP3"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(TypeCodeName(TypeCodeFor(c.remainder)), c.code) << c.remainder;
    }
}

TEST(StripTypeTags, RemovesTagsThenFirstSpace) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[IMG] http://a.com", "http://a.com"},
        {"http://a.com/x ", "http://a.com/x"},
        {"0000003|http://a.com/x", "0000003|http://a.com/x"},
        {"[img][zip]x y z", "xy z"},
        {"[Bot][htm][exe]a b", "ab"},
        // One pass per tag: a tag that forms only after a deletion stays.
        {"[i[img]mg]a", "[img]a"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StripTypeTags(c.text), c.expected) << c.text;
    }
}

// Lines built from the fragments that matter to the rules, checked against
// the rules written out plainly.
TEST(Rules, FastPathsAgreeWithLiteralRulesOnGeneratedLines) {
    const std::vector<std::string> pieces = {
        "http://",    "HTTP://",    "hTtp:/",
        "/",          ":",          " ",
        "(",          ")",          "\"",
        "\t",         "a.com",      "my.site",
        "MY.SITE",    ".jpg",       ".ZIP",
        ".exe",       ".rm",        ".",
        "x",          "GET ",       "|",
        "\xff",       "https://",   "HTTPS://",
        "\\",         "\\\"",       "http",
        "s://",       "htt",        "p:/",
        ".EXE",       "\xe9",       "[01/Oct/2023:00:00:00 +0000]",
        "mysite.com", "MySite.Com",
    };
    std::mt19937 random(12345);
    std::string scratch;
    for (int n = 0; n < 40000; ++n) {
        std::string line;
        // Every fourth line long enough to cross the searches' 8- and 16-byte steps often.
        int count = 1 + static_cast<int>(random() % (n % 4 == 0 ? 30 : 12));
        for (int i = 0; i < count; ++i)
            line += pieces[random() % pieces.size()];
        // An empty domain, a short one, and one longer than the 16 bytes a
        // line's one-pass scan looks ahead.
        const std::string domain = (n % 7 == 0)    ? ""
                                   : (n % 11 == 0) ? "[01/Oct/2023:00:00:00 +0000]"
                                                   : "my.site";
        // Every other line under one of the three widened rule sets.
        const ReferrerRules rules{n % 2 == 1 && n % 3 != 0, n % 2 == 1 && n % 3 != 1};
        SCOPED_TRACE(line + (rules.https ? " [https]" : "") + (rules.quoted ? " [quoted]" : ""));

        ASSERT_EQ(FindScheme(line), ReferenceFind(line, "http://"));
        ASSERT_EQ(FindIgnoringCase(line, domain), ReferenceFind(line, domain));
        ASSERT_EQ(FindIgnoringCase(line, "x"), ReferenceFind(line, "x"));
        ASSERT_EQ(FindIgnoringCase(line, "mysite.com"), ReferenceFind(line, "mysite.com"));
        ASSERT_EQ(LineHasReferrer(line, domain, rules), ReferenceHasReferrer(line, domain, rules));
        ASSERT_EQ(TypeCodeFor(line), ReferenceTypeCode(line)) << line;
        ASSERT_EQ(FindAddress(line, rules), ReferenceAddress(line, rules));
        // The matching of a whole line, as a scan does it, on a copy that
        // ends where its memory does (a sanitizer build sees any read past it).
        const std::unique_ptr<char[]> exact(new char[line.size() + 1]);
        std::memcpy(exact.get() + 1, line.data(), line.size());
        const LineMatch match = MatchOptions(domain, rules, nullptr)
                                    .match(std::string_view(exact.get() + 1, line.size()), scratch);
        ASSERT_EQ(match.kind == LineKind::Link, ReferenceHasReferrer(line, domain, rules));
        if (match.kind == LineKind::Link) {
            const testing::ReferenceExtraction whole = ReferenceExtract(line, rules);
            ASSERT_EQ(line.substr(match.cut.position, match.cut.length), whole.referrer);
            ASSERT_EQ(match.cut.bot, whole.bot);
            ASSERT_EQ(match.type, ReferenceTypeCode(whole.remainder));
        }
        if (ReferenceAddress(line, rules) == std::string::npos)
            continue;

        const testing::ReferenceExtraction expected = ReferenceExtract(line, rules);
        const std::string& ref = expected.referrer;
        const std::string& rem = expected.remainder;
        Extraction e = ExtractReferrer(line, rules);
        ASSERT_EQ(e.referrer, ref) << line;
        ASSERT_EQ(e.remainder, rem) << line;
        Cut cut;
        ASSERT_TRUE(CutReferrer(line, cut, rules));
        ASSERT_EQ(line.substr(cut.position, cut.length), ref);
        ASSERT_EQ(TypeCodeOfRemainder(line, cut, scratch), ReferenceTypeCode(rem)) << line;
    }
}

// A chunk of such lines, matched as a scan's helper threads match it: in
// stretches of many lines, with every kind of line end, lines that run past
// a stretch or are longer than one, and a last line with or without its end.
TEST(Rules, ChunkOfGeneratedLinesMatchesLineByLine) {
    const std::vector<std::string> pieces = {
        "http://", "HTTP://", "https://", "hTtp:/", " ",    "(",    ")",          "\"", "a.com",
        "my.site", "MY.SITE", ".jpg",     ".ZIP",   ".rm",  ".",    "x",          "\t", "GET ",
        "\xff",    "\0",      "my.sit",   "e",      "http", "s://", "mysite.com",
    };
    const std::string ends[] = {"\n", "\r\n", "\r"};
    std::mt19937 random(99);
    for (int round = 0; round < 24; ++round) {
        std::string chunk;
        for (std::size_t size = 0; size < 70000;) {
            std::string line;
            // Now and then a line longer than a stretch (16 KB), or near the one-line limit.
            const int kind = static_cast<int>(random() % 200);
            const std::size_t target = kind == 0   ? 17000 + random() % 3000
                                       : kind == 1 ? 2040 + random() % 16
                                                   : random() % 120;
            while (line.size() < target) {
                line += pieces[random() % pieces.size()];
            }
            chunk += line;
            chunk += ends[random() % 3];
            size = chunk.size();
        }
        if (round % 2 == 1) {
            chunk.pop_back();  // the last line ends with the chunk (after a CR LF: with its CR)
            if (!chunk.empty() && chunk.back() == '\r') {
                chunk.pop_back();
            }
        }
        const std::string domain = round % 3 == 0 ? "mysite.com" : "my.site";
        const ReferrerRules rules{round % 4 >= 2, round % 8 >= 4};
        SCOPED_TRACE("round " + std::to_string(round));
        // The chunk's memory ends where the chunk does.
        const std::unique_ptr<char[]> exact(new char[chunk.size()]);
        std::memcpy(exact.get(), chunk.data(), chunk.size());
        ChunkBatch batch;
        std::string scratch;
        FieldScratch fields;
        batch.match(std::string_view(exact.get(), chunk.size()), LineReader::kMaxLine,
                    MatchOptions(domain, rules, nullptr), scratch, KnownIds(), fields, {});
        ASSERT_FALSE(batch.failed());
        const std::vector<std::string> lines = testing::SplitLines(chunk);
        ASSERT_EQ(batch.lines(), lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            const bool link = ReferenceHasReferrer(line, domain, rules);
            ASSERT_EQ(batch.kind(i) == LineKind::Link, link) << i << ": " << line;
            if (link) {
                const testing::ReferenceExtraction whole = ReferenceExtract(line, rules);
                const ChunkBatch::Variant& v = batch.variant(batch.variantOf(i));
                ASSERT_EQ(batch.text(v.text).bytes, whole.referrer) << i;
                ASSERT_EQ(v.bot, whole.bot) << i;
                ASSERT_EQ(v.type, ReferenceTypeCode(whole.remainder)) << i;
            }
        }
    }
}

TEST(FindIgnoringCase, FindsFirstFoldedOccurrence) {
    EXPECT_EQ(FindIgnoringCase("abcABC", "bc"), 1u);
    EXPECT_EQ(FindIgnoringCase("xxABC", "abc"), 2u);
    EXPECT_EQ(FindIgnoringCase("ab", "abc"), std::string::npos);
    EXPECT_EQ(FindIgnoringCase("anything", ""), 0u);
    EXPECT_EQ(FindIgnoringCase("", ""), 0u);
    EXPECT_EQ(FindIgnoringCase("caf\xc3\xa9", "CAF\xc3\xa9"), 0u);
    // Bytes beyond ASCII are compared exactly.
    EXPECT_EQ(FindIgnoringCase("\xc3\x89", "\xc3\xa9"), std::string::npos);
}

}  // namespace
}  // namespace tallowby
