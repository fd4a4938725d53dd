#include "Rules.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "TextFold.h"

namespace tallowby {

namespace {

constexpr std::array<const char*, kTypeCodeCount> kNames = {
    "JPG", "ZIP", "MSI", "GIF", "ASP", "PHP", "PNG", "PDF", "TAR", "TXT", "AIF",
    "AVI", "MOV", "MP3", "MPG", "RM",  "SWF", "WAV", "WMF", "EPS", "PPT", "PSD",
    "PCT", "TIF", "RTF", "SEA", "SIT", "SML", "SVG", "XLS", "EXE", "HTM", "BOT",
};

// Every pattern of the classification table, without its leading ".". A
// longer spelling that begins with a shorter one of the same row (".aiff",
// ".tiff") is covered by the shorter one and left out.
struct Pattern {
    const char* tail;
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

}  // namespace

const char* TypeCodeName(TypeCode code) {
    auto i = static_cast<std::size_t>(code);
    return i < kNames.size() ? kNames[i] : "HTM";
}

namespace {

// How common a byte is in log text, roughly: higher is more common. The
// search for a needle looks for its rarest byte first, so memchr skips most
// of a line in one go.
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

}  // namespace

FoldedNeedle::FoldedNeedle(std::string_view needle) : needle_(needle) {
    for (std::size_t i = 1; i < needle_.size(); ++i) {
        if (Commonness(static_cast<unsigned char>(needle_[i])) <
            Commonness(static_cast<unsigned char>(needle_[anchor_]))) {
            anchor_ = i;
        }
    }
    if (!needle_.empty()) {
        lower_ = FoldByte(static_cast<unsigned char>(needle_[anchor_]));
        upper_ = (lower_ >= 'a' && lower_ <= 'z') ? static_cast<unsigned char>(lower_ - 32) : lower_;
    }
}

std::size_t FoldedNeedle::findIn(std::string_view haystack) const {
    if (needle_.empty()) {
        return 0;
    }
    if (needle_.size() > haystack.size()) {
        return std::string_view::npos;
    }
    const char* const data = haystack.data();
    // The anchor byte of a match at `start` stands at from + start, for start
    // in [0, span). Both of its spellings are found with memchr, far faster
    // than a byte loop.
    const char* const from = data + anchor_;
    const std::size_t span = haystack.size() - needle_.size() + 1;
    auto find = [&](unsigned char c, std::size_t at) -> const char* {
        return at < span ? static_cast<const char*>(std::memchr(from + at, c, span - at)) : nullptr;
    };
    const char* lo = find(lower_, 0);
    const char* up = lower_ == upper_ ? nullptr : find(upper_, 0);
    while (lo || up) {
        const char* hit = (!up || (lo && lo < up)) ? lo : up;
        const std::size_t start = static_cast<std::size_t>(hit - from);
        if (EqualsIgnoringCase(std::string_view(data + start, needle_.size()), needle_)) {
            return start;
        }
        if (hit == lo) {
            lo = find(lower_, start + 1);
        } else {
            up = find(upper_, start + 1);
        }
    }
    return std::string_view::npos;
}

std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle) {
    return FoldedNeedle(needle).findIn(haystack);
}

std::size_t FindScheme(std::string_view text) {
    // "://" is rare in a log line; each one found is checked for a preceding
    // "http" in any letter case.
    const char* const data = text.data();
    const std::size_t n = text.size();
    std::size_t from = 4;
    while (from + 3 <= n) {
        const void* hit = std::memchr(data + from, ':', n - from - 2);
        if (!hit) {
            break;
        }
        std::size_t colon = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (data[colon + 1] == '/' && data[colon + 2] == '/' &&
            EqualsIgnoringCase(std::string_view(data + colon - 4, 4), "http")) {
            return colon - 4;
        }
        from = colon + 1;
    }
    return std::string_view::npos;
}

bool LineHasReferrer(std::string_view line, std::string_view ownDomain) {
    if (FindScheme(line) == std::string_view::npos) {
        return false;
    }
    return FindIgnoringCase(line, ownDomain) == std::string_view::npos;
}

bool CutReferrer(std::string_view line, Cut& cut) {
    const std::size_t p = FindScheme(line);
    if (p == std::string_view::npos) {
        return false;
    }
    CutReferrerAt(line, p, cut);
    return true;
}

void CutReferrerAt(std::string_view line, std::size_t p, Cut& cut) {
    cut.position = p;
    cut.bot = false;
    const char* const data = line.data();
    const std::size_t rest = line.size() - p;
    if (const void* paren = std::memchr(data + p, ')', rest)) {
        // The ")" ends the cut and is dropped from the referrer.
        cut.length = static_cast<std::size_t>(static_cast<const char*>(paren) - (data + p));
        // Usually nothing before the address opens a comment: one memchr
        // settles it; otherwise the parentheses from the first "(" are counted.
        if (const void* open = std::memchr(data, '(', p)) {
            std::ptrdiff_t depth = 0;
            for (const char* c = static_cast<const char*>(open); c < data + p; ++c) {
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

// Appends `line` with every exact occurrence of its referrer deleted. The
// first occurrence is the cut itself: an earlier one would start with
// "http://" in some letter case before the first such text.
void AppendRemainder(std::string_view line, const Cut& cut, std::string& out) {
    std::string_view referrer = line.substr(cut.position, cut.length);
    out.append(line.substr(0, cut.position));
    std::size_t from = cut.position + cut.length;
    for (;;) {
        std::size_t hit = referrer.empty() ? std::string_view::npos : line.find(referrer, from);
        if (hit == std::string_view::npos) {
            break;
        }
        out.append(line.substr(from, hit - from));
        from = hit + referrer.size();
    }
    out.append(line.substr(from));
}

}  // namespace

Extraction ExtractReferrer(std::string_view line) {
    Extraction result;
    Cut cut;
    if (!CutReferrer(line, cut)) {
        result.remainder = std::string(line);
        return result;
    }
    result.referrer = line.substr(cut.position, cut.length);
    result.bot = cut.bot;
    AppendRemainder(line, cut, result.remainder);
    return result;
}

TypeCode TypeCodeFor(std::string_view remainder) {
    const PatternIndex& index = Index();
    auto best = TypeCode::HTM;
    const char* const data = remainder.data();
    const std::size_t n = remainder.size();
    std::size_t from = 0;
    while (from < n) {
        const void* hit = std::memchr(data + from, '.', n - from);
        if (!hit) {
            break;
        }
        std::size_t dot = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        from = dot + 1;
        if (from >= n) {
            break;
        }
        std::string_view after = remainder.substr(from);
        for (const Pattern& p : index.byFirst[FoldByte(static_cast<unsigned char>(after[0]))]) {
            if (p.code < best && StartsWithIgnoringCase(after, p.tail)) {
                best = p.code;
            }
        }
        if (best == TypeCode::JPG) {
            break;  // the first row wins whatever else follows
        }
    }
    return best;
}

TypeCode TypeCodeOfRemainder(std::string_view line, const Cut& cut, std::string& scratch) {
    const std::string_view referrer = line.substr(cut.position, cut.length);
    const std::string_view head = line.substr(0, cut.position);
    const std::string_view tail = line.substr(cut.position + cut.length);
    if (referrer.empty() || tail.find(referrer) != std::string_view::npos) {
        // The referrer recurs: build the remainder.
        scratch.clear();
        AppendRemainder(line, cut, scratch);
        return TypeCodeFor(scratch);
    }
    // The usual case: the remainder is head + tail. Classify both without
    // copying the line, then the few bytes around the join, where a pattern
    // (five bytes at most) may start in the head and end in the tail.
    TypeCode best = TypeCodeFor(head);
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
