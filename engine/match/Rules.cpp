#include "Rules.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>
#include <utility>
#include <vector>

#include "TextFold.h"
#include "TwoWaySearch.h"

namespace tallowby {

namespace {

// Every pattern of the classification table, without its leading ".". A
// longer spelling that begins with a shorter one of the same row (".aiff",
// ".tiff") is covered by the shorter one and left out.
struct Pattern {
    std::string_view tail;
    TypeCode code;
};
constexpr Pattern kPatterns[] = {
    {"jpeg", TypeCode::JPG}, {"jpg", TypeCode::JPG}, {"zip", TypeCode::ZIP},
    {"msi", TypeCode::MSI},  {"gif", TypeCode::GIF}, {"asp", TypeCode::ASP},
    {"php", TypeCode::PHP},  {"png", TypeCode::PNG}, {"pdf", TypeCode::PDF},
    {"tar", TypeCode::TAR},  {"txt", TypeCode::TXT}, {"aif", TypeCode::AIF},
    {"avi", TypeCode::AVI},  {"mov", TypeCode::MOV}, {"mp3", TypeCode::MP3},
    {"mpeg", TypeCode::MPG}, {"mpg", TypeCode::MPG}, {"rm", TypeCode::RM},
    {"swf", TypeCode::SWF},  {"wav", TypeCode::WAV}, {"wmf", TypeCode::WMF},
    {"eps", TypeCode::EPS},  {"ppt", TypeCode::PPT}, {"psd", TypeCode::PSD},
    {"pict", TypeCode::PCT}, {"pct", TypeCode::PCT}, {"tif", TypeCode::TIF},
    {"rtf", TypeCode::RTF},  {"sea", TypeCode::SEA}, {"sit", TypeCode::SIT},
    {"smil", TypeCode::SML}, {"sml", TypeCode::SML}, {"svg", TypeCode::SVG},
    {"xls", TypeCode::XLS},  {"exe", TypeCode::EXE},
};

// Patterns grouped by the letter after the ".", so a "." costs a handful of
// comparisons instead of the whole table.
struct PatternIndex {
    std::array<std::vector<Pattern>, 256> byFirst;
    PatternIndex() {
        for (const Pattern& p : kPatterns) {
            byFirst[static_cast<unsigned char>(p.tail[0])].push_back(p);
        }
    }
};
const PatternIndex& Index() {
    static const PatternIndex index;
    return index;
}

constexpr std::string_view kScheme = "http://";

void EraseAllIgnoringCase(std::string& text, std::string_view needle) {
    std::string out;
    std::size_t from = 0;
    std::string_view rest = text;
    for (;;) {
        std::size_t hit = FindIgnoringCase(rest.substr(from), needle);
        if (hit == std::string_view::npos) {
            break;
        }
        out.append(rest.substr(from, hit));
        from += hit + needle.size();
    }
    if (from == 0) {
        return;
    }
    out.append(rest.substr(from));
    text = std::move(out);
}

// How common a byte is in log text, roughly: higher is more common. The
// search for a needle looks for its rarest byte first, so memchr skips most
// of a line in one go.
// clang-format off
int Commonness(unsigned char c) {
    if (c == ' ' || c == '/' || c == '.' || c == '"' || c == '-') return 9;
    if (c >= '0' && c <= '9') return 8;
    switch (FoldByte(c)) {
        case 'e': case 't': case 'a': case 'o': case 'i': case 'n': case 's': case 'r':
            return 7;
        case 'h': case 'l': case 'c': case 'd': case 'm': case 'p': case 'u':
            return 6;
        case 'g': case 'f': case 'b': case 'w':
            return 5;
        case 'y': case 'v': case 'k':
            return 4;
        case 'x': case 'j': case 'q': case 'z':
            return 3;
        default:
            return c >= 0x80 ? 2 : 5;
    }
}
// clang-format on

// The first start in [0, span) where the byte there passes `first`, the byte
// `anchor` further on passes `other`, and matchesAt(start) holds; or npos.
// A byte c passes a test when (c | test.fold) == test.value, so a test with
// fold 0 compares exactly. Sixteen starts at a time where SSE2 is there: both
// bytes of each are tested at once and only starts where both pass are
// compared whole.
template <typename Test, typename MatchesAt>
std::size_t FindCandidate(const char* data, std::size_t span, std::size_t anchor, Test first,
                          Test other, MatchesAt matchesAt) {
    std::size_t start = 0;
#if defined(__SSE2__)
    const __m128i firstValue = _mm_set1_epi8(static_cast<char>(first.value));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(first.fold));
    const __m128i otherValue = _mm_set1_epi8(static_cast<char>(other.value));
    const __m128i otherFold = _mm_set1_epi8(static_cast<char>(other.fold));
    for (; start + 16 <= span; start += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + start));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + start + anchor));
        const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), firstValue),
                                           _mm_cmpeq_epi8(_mm_or_si128(b, otherFold), otherValue));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        while (mask != 0) {
            const std::size_t at = start + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matchesAt(at)) {
                return at;
            }
            mask &= mask - 1;
        }
    }
#endif
    auto passes = [](char c, Test t) {
        return (static_cast<unsigned char>(c) | t.fold) == t.value;
    };
    for (; start < span; ++start) {
        if (passes(data[start], first) && passes(data[start + anchor], other) && matchesAt(start)) {
            return start;
        }
    }
    return std::string_view::npos;
}

}  // namespace

FoldedNeedle::ByteTest FoldedNeedle::TestFor(unsigned char c) {
    const unsigned char folded = FoldByte(c);
    const bool letter = folded >= 'a' && folded <= 'z';
    return ByteTest{folded, static_cast<unsigned char>(letter ? 0x20 : 0)};
}

std::size_t FoldedNeedle::rarestWithin(std::size_t limit) const {
    const std::size_t end = std::min(limit, needle_.size());
    if (end < 2) {
        return 0;
    }
    std::size_t rarest = 1;
    for (std::size_t i = 2; i < end; ++i) {
        if (Commonness(static_cast<unsigned char>(needle_[i])) <
            Commonness(static_cast<unsigned char>(needle_[rarest]))) {
            rarest = i;
        }
    }
    return rarest;
}

FoldedNeedle::FoldedNeedle(std::string_view needle) : needle_(needle) {
    if (needle_.empty()) {
        return;
    }
    anchor_ = rarestWithin(needle_.size());
    first_ = TestFor(static_cast<unsigned char>(needle_[0]));
    rare_ = TestFor(static_cast<unsigned char>(needle_[anchor_]));
}

std::size_t FoldedNeedle::findIn(std::string_view haystack) const {
    const std::size_t n = needle_.size();
    if (n == 0) {
        return 0;
    }
    if (n > haystack.size()) {
        return std::string_view::npos;
    }
    const char* const data = haystack.data();
    // A match can start at [0, span).
    const std::size_t span = haystack.size() - n + 1;
    return FindCandidate(data, span, anchor_, first_, rare_, [&](std::size_t start) {
        return EqualsIgnoringCase(std::string_view(data + start, n), needle_);
    });
}

std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle) {
    return FoldedNeedle(needle).findIn(haystack);
}

std::size_t FindScheme(std::string_view text) {
    static const FoldedNeedle scheme(kScheme);
    return scheme.findIn(text);
}

std::size_t FindAddress(std::string_view text, const ReferrerRules& rules) {
    if (!rules.https) {
        return FindScheme(text);
    }
    // One pass over "http" in any letter case; each one is an address when
    // "://" or "s://" follows. Request lines ("HTTP/1.1") give the odd false
    // candidate, never more than one per "http".
    static const FoldedNeedle http("http");
    std::size_t from = 0;
    for (;;) {
        const std::size_t hit = http.findIn(text.substr(from));
        if (hit == std::string_view::npos) {
            return hit;
        }
        const std::size_t at = from + hit;
        std::string_view after = text.substr(at + 4);
        if (!after.empty() && (after[0] | 0x20) == 's') {
            after.remove_prefix(1);
        }
        if (after.substr(0, 3) == "://") {
            return at;
        }
        from = at + 1;
    }
}

bool LineHasReferrer(std::string_view line, std::string_view ownDomain,
                     const ReferrerRules& rules) {
    if (FindAddress(line, rules) == std::string_view::npos) {
        return false;
    }
    return FindIgnoringCase(line, ownDomain) == std::string_view::npos;
}

bool CutReferrer(std::string_view line, Cut& cut, const ReferrerRules& rules) {
    const std::size_t p = FindAddress(line, rules);
    if (p == std::string_view::npos) {
        return false;
    }
    CutReferrerAt(line, p, cut, rules);
    return true;
}

namespace {

// The position of the double quote that closes a quoted field whose text
// starts at `from`: the next one not preceded by a backslash; or npos.
std::size_t ClosingQuote(std::string_view line, std::size_t from) {
    const char* const data = line.data();
    while (from < line.size()) {
        const void* quote = std::memchr(data + from, '"', line.size() - from);
        if (!quote) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(quote) - data);
        if (data[at - 1] != '\\') {
            return at;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

}  // namespace

void CutReferrerAt(std::string_view line, std::size_t p, Cut& cut, const ReferrerRules& rules) {
    cut.position = p;
    cut.bot = false;
    const char* const data = line.data();
    const std::size_t rest = line.size() - p;
    if (rules.quoted && p > 0 && data[p - 1] == '"') {
        // The address is a quoted field of its own (a combined log's referrer):
        // it ends where the field does. The scheme is never a quote, so the
        // search may start right after the address's first byte.
        if (const std::size_t close = ClosingQuote(line, p + 1); close != std::string_view::npos) {
            cut.length = close - p;
            return;
        }
    }
    if (const void* paren = std::memchr(data + p, ')', rest)) {
        // The ")" ends the cut and is dropped from the referrer.
        cut.length = static_cast<std::size_t>(static_cast<const char*>(paren) - (data + p));
        // Usually nothing before the address opens a comment: one memchr
        // settles it; otherwise every parenthesis before the address counts.
        if (std::memchr(data, '(', p)) {
            std::ptrdiff_t depth = 0;
            for (const char* c = data; c < data + p; ++c) {
                depth += (*c == '(') - (*c == ')');
            }
            cut.bot = depth > 0;
        }
    } else if (const void* space = std::memchr(data + p, ' ', rest)) {
        // A space ends the cut and stays part of the referrer.
        cut.length = static_cast<std::size_t>(static_cast<const char*>(space) - (data + p)) + 1;
    } else {
        cut.length = rest;
    }
}

namespace {

// Finds where a line's referrer recurs after its cut, left to right, bytes
// compared exactly. Candidates come from the two-byte scan (the first byte
// and the fifth: for a referrer, the ":" of its scheme) and are compared
// whole. Those comparisons draw on a budget of about one byte per byte of
// the line; a line built to defeat the scan (a referrer of many repeated
// schemes in a rest of the same) spends it, and the two-way search takes
// over for the rest of the line, so no line costs more than linear time.
class Recurrences {
public:
    Recurrences(std::string_view line, std::string_view referrer)
        : line_(line), referrer_(referrer), budget_(line.size() + 64) {}

    // The first occurrence at or after `from`, or npos.
    std::size_t next(std::size_t from) {
        const std::size_t n = referrer_.size();
        if (n == 0 || from > line_.size()) {
            return std::string_view::npos;
        }
        if (twoWay_) {
            return twoWay_->findIn(line_, from);
        }
        if (n > line_.size() - from) {
            return std::string_view::npos;
        }
        const char* const data = line_.data() + from;
        const std::size_t span = line_.size() - from - n + 1;
        const std::size_t anchor = n > 4 ? 4 : n - 1;
        struct ExactByte {
            unsigned char value;
            unsigned char fold;
        };
        const ExactByte first{static_cast<unsigned char>(referrer_[0]), 0};
        const ExactByte other{static_cast<unsigned char>(referrer_[anchor]), 0};
        bool spent = false;
        const std::size_t hit =
            FindCandidate(data, span, anchor, first, other, [&](std::size_t start) {
                steps_ += n;
                if (steps_ > budget_) {
                    spent = true;
                    return true;
                }
                return std::memcmp(data + start, referrer_.data(), n) == 0;
            });
        steps_ += hit == std::string_view::npos ? span : hit + 1;
        if (spent) {
            twoWay_.emplace(referrer_);
            return twoWay_->findIn(line_, from);
        }
        return hit == std::string_view::npos ? hit : from + hit;
    }

    std::size_t steps() const { return steps_ + (twoWay_ ? twoWay_->steps() : 0); }

private:
    std::string_view line_;
    std::string_view referrer_;
    std::size_t budget_;
    std::size_t steps_ = 0;
    std::optional<TwoWaySearch> twoWay_;
};

// Appends `line` with every exact occurrence of its referrer deleted, given
// the first recurrence after the cut (`hit`, or npos). The first occurrence
// is the cut itself: an earlier one would start with "http://" in some
// letter case before the first such text.
void AppendRemainder(std::string_view line, const Cut& cut, std::size_t hit,
                     Recurrences& recurrences, std::string& out) {
    out.append(line.substr(0, cut.position));
    std::size_t from = cut.position + cut.length;
    while (hit != std::string_view::npos) {
        out.append(line.substr(from, hit - from));
        from = hit + cut.length;
        hit = recurrences.next(from);
    }
    out.append(line.substr(from));
}

}  // namespace

Extraction ExtractReferrer(std::string_view line, const ReferrerRules& rules) {
    Extraction result;
    Cut cut;
    if (!CutReferrer(line, cut, rules)) {
        result.remainder = std::string(line);
        return result;
    }
    result.referrer = line.substr(cut.position, cut.length);
    result.bot = cut.bot;
    Recurrences recurrences(line, result.referrer);
    const std::size_t hit = recurrences.next(cut.position + cut.length);
    AppendRemainder(line, cut, hit, recurrences, result.remainder);
    return result;
}

namespace {

// Calls visit(position) for each `c` in `text`, in order, until it returns false.
template <class Visit>
void ForEachByte(std::string_view text, char c, Visit visit) {
    const char* const data = text.data();
    const std::size_t n = text.size();
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; at + 16 <= n; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        while (mask != 0) {
            if (!visit(at + static_cast<std::size_t>(__builtin_ctz(mask)))) {
                return;
            }
            mask &= mask - 1;
        }
    }
#endif
    for (; at < n; ++at) {
        if (data[at] == c && !visit(at)) {
            return;
        }
    }
}

}  // namespace

TypeCode TypeCodeAfterDot(std::string_view after, TypeCode best) {
    if (after.empty()) {
        return best;
    }
    for (const Pattern& p : Index().byFirst[FoldByte(static_cast<unsigned char>(after[0]))]) {
        if (p.code < best && StartsWithIgnoringCase(after, p.tail)) {
            best = p.code;
        }
    }
    return best;
}

TypeCode TypeCodeFor(std::string_view remainder) {
    auto best = TypeCode::HTM;
    ForEachByte(remainder, '.', [&](std::size_t dot) {
        const std::size_t from = dot + 1;
        if (from >= remainder.size()) {
            return false;
        }
        best = TypeCodeAfterDot(remainder.substr(from), best);
        return best != TypeCode::JPG;  // the first row wins whatever else follows
    });
    return best;
}

TypeCode TypeCodeOfRemainder(std::string_view line, const Cut& cut, std::string& scratch,
                             std::size_t* steps) {
    const std::string_view referrer = line.substr(cut.position, cut.length);
    const std::string_view head = line.substr(0, cut.position);
    const std::string_view tail = line.substr(cut.position + cut.length);
    Recurrences recurrences(line, referrer);
    const std::size_t hit = recurrences.next(cut.position + cut.length);
    TypeCode best = TypeCode::HTM;
    if (referrer.empty() || hit != std::string_view::npos) {
        // The referrer recurs: build the remainder.
        scratch.clear();
        AppendRemainder(line, cut, hit, recurrences, scratch);
        best = TypeCodeFor(scratch);
    } else {
        // The usual case: the remainder is head + tail. Classify both without
        // copying the line, then the few bytes around the join, where a
        // pattern (five bytes at most) may start in the head and end in the
        // tail.
        best = TypeCodeFor(head);
        if (best != TypeCode::JPG) {
            best = std::min(best, TypeCodeFor(tail));
        }
        if (best != TypeCode::JPG && !head.empty() && !tail.empty()) {
            char join[8];
            const std::size_t h = std::min<std::size_t>(head.size(), 4);
            const std::size_t t = std::min<std::size_t>(tail.size(), 4);
            std::memcpy(join, head.data() + head.size() - h, h);
            std::memcpy(join + h, tail.data(), t);
            best = std::min(best, TypeCodeFor(std::string_view(join, h + t)));
        }
    }
    if (steps != nullptr) {
        // The classification reads each byte of the remainder once.
        *steps = recurrences.steps() + line.size();
    }
    return best;
}

std::string StripTypeTags(std::string_view text) {
    std::string result(text);
    for (std::string_view tag : {"[img]", "[zip]", "[exe]", "[htm]", "[bot]"}) {
        EraseAllIgnoringCase(result, tag);
    }
    std::size_t space = result.find(' ');
    if (space != std::string::npos) {
        result.erase(space, 1);
    }
    return result;
}

}  // namespace tallowby
