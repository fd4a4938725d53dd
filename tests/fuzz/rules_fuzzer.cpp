// The referrer rules on arbitrary lines and own domains, each result checked
// against a plain restatement of its rule (byte by byte, no memchr tricks),
// and the scanner's fast path checked against the rules it stands for.
//
// Input: one byte for the own domain's length, the domain, two bytes that
// pick a slice of the line to search for, then the line.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "ReferenceRules.h"
#include "engine/match/Rules.h"
#include "output/RowCells.h"

namespace {

using namespace tallowby;
constexpr std::size_t npos = std::string_view::npos;

using testing::DeleteAll;
using testing::ReferenceCutOf;
using testing::ReferenceStripTags;
using testing::ReferenceTypeCode;

// The library's plain search, letter case ignored.
std::size_t NaiveFind(std::string_view haystack, std::string_view needle) {
    return testing::ReferenceFind(haystack, needle);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && NaiveFind(a, b) == 0;
}

bool IsListedCode(TypeCode code) {
    const std::string_view name = TypeCodeName(code);
    for (int i = 0; i < kTypeCodeCount; ++i) {
        if (name == TypeCodeName(static_cast<TypeCode>(i)))
            return true;
    }
    return false;
}

// The widened rules for today's logs: the address is the first "http://"
// or (with https) "https://"; a quoted field ends at its first unescaped
// quote, anything else is cut as the plain rule cuts at that place.
void CheckWidenedRules(const std::string& line, const std::string& domain,
                       const ReferrerRules& rules) {
    const std::size_t http = NaiveFind(line, "http://");
    const std::size_t at = rules.https ? std::min(http, NaiveFind(line, "https://")) : http;
    FUZZ_CHECK(FindAddress(line, rules) == at);
    FUZZ_CHECK(LineHasReferrer(line, domain, rules) ==
               (at != npos && NaiveFind(line, domain) == npos));
    if (at == npos)
        return;
    const Extraction e = ExtractReferrer(line, rules);
    FUZZ_CHECK(e.referrer.data() == line.data() + at);
    FUZZ_CHECK(e.remainder == DeleteAll(line, e.referrer, false));
    std::size_t close = npos;
    if (rules.quoted && at > 0 && line[at - 1] == '"') {
        for (std::size_t q = at + 1; q < line.size() && close == npos; ++q) {
            if (line[q] == '"' && line[q - 1] != '\\')
                close = q;
        }
    }
    if (close != npos) {
        FUZZ_CHECK(e.referrer.size() == close - at && !e.bot);
    } else {
        Cut plain;
        CutReferrerAt(line, at, plain);
        FUZZ_CHECK(e.referrer.size() == plain.length && e.bot == plain.bot);
    }
    Cut cut;
    CutReferrerAt(line, at, cut, rules);
    FUZZ_CHECK(cut.position == at && cut.length == e.referrer.size() && cut.bot == e.bot);
    std::string scratch;
    FUZZ_CHECK(TypeCodeOfRemainder(line, cut, scratch) == ReferenceTypeCode(e.remainder));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::string domain(in.piece(24));
    const std::uint8_t sliceAt = in.byte();
    const std::uint8_t sliceLength = in.byte();
    const std::string line(in.rest());  // an exact-size copy: overreads hit the sanitizer

    // The searches every rule is built on.
    const std::size_t scheme = NaiveFind(line, "http://");
    FUZZ_CHECK(FindScheme(line) == scheme);
    FUZZ_CHECK(FindIgnoringCase(line, domain) == NaiveFind(line, domain));
    if (!line.empty()) {
        // A slice of the line itself, with its letter case turned over, is found
        // at its place or earlier.
        const std::size_t at = sliceAt % line.size();
        std::string needle = line.substr(at, sliceLength % 16);
        for (char& c : needle) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
            else if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        }
        const std::size_t found = FindIgnoringCase(line, needle);
        FUZZ_CHECK(found == NaiveFind(line, needle));
        FUZZ_CHECK(found <= at);
    }

    // Bits of the slice length that the slice does not use pick the rules.
    CheckWidenedRules(line, domain,
                      ReferrerRules{(sliceLength & 0x10) != 0, (sliceLength & 0x20) != 0});

    const bool has = LineHasReferrer(line, domain);
    FUZZ_CHECK(has == (scheme != npos && NaiveFind(line, domain) == npos));
    if (domain.empty())
        FUZZ_CHECK(!has);

    const TypeCode lineType = TypeCodeFor(line);
    FUZZ_CHECK(lineType == ReferenceTypeCode(line));
    FUZZ_CHECK(IsListedCode(lineType) && lineType != TypeCode::BOT);

    const Extraction e = ExtractReferrer(line);
    if (scheme == npos) {
        FUZZ_CHECK(e.referrer.empty());
        Cut none;
        FUZZ_CHECK(!CutReferrer(line, none));
        return 0;
    }
    const testing::ReferenceCut expected = ReferenceCutOf(line);
    // The referrer begins with the scheme, as it stands in the line.
    FUZZ_CHECK(e.referrer.size() >= 7 && SameIgnoringCase(e.referrer.substr(0, 7), "http://"));
    FUZZ_CHECK(e.referrer.data() == line.data() + expected.position);
    FUZZ_CHECK(e.referrer.size() == expected.length);
    FUZZ_CHECK(e.referrer.find(')') == npos);
    FUZZ_CHECK(e.bot == expected.bot);
    // Deleting every occurrence of it from the line gives the remainder.
    FUZZ_CHECK(e.remainder == DeleteAll(line, e.referrer, false));
    const TypeCode type = TypeCodeFor(e.remainder);
    FUZZ_CHECK(type == ReferenceTypeCode(e.remainder));
    FUZZ_CHECK(IsListedCode(type) && type != TypeCode::BOT);

    // The scanner's fast path says the same as the rules.
    Cut cut;
    CutReferrerAt(line, FindScheme(line), cut);
    FUZZ_CHECK(cut.position == expected.position && cut.length == expected.length);
    FUZZ_CHECK(cut.bot == e.bot);
    Cut again;
    FUZZ_CHECK(CutReferrer(line, again) && again.position == cut.position &&
               again.length == cut.length && again.bot == cut.bot);
    std::string scratch = "left over from an earlier line";
    FUZZ_CHECK(TypeCodeOfRemainder(line, cut, scratch) == type);

    // The export's link target.
    FUZZ_CHECK(StripTypeTags(e.referrer) == ReferenceStripTags(e.referrer));
    FUZZ_CHECK(StripTypeTags(line) == ReferenceStripTags(line));
    return 0;
}
