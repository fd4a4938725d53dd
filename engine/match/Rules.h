#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallowby {

// The type codes of the classification table, in table order (the lower row
// wins), then HTM for "none of them", then BOT for a referrer a crawler
// announced inside a parenthesised comment.
// clang-format off
enum class TypeCode : std::uint8_t {
    JPG, ZIP, MSI, GIF, ASP, PHP, PNG, PDF, TAR, TXT, AIF, AVI, MOV, MP3, MPG, RM,
    SWF, WAV, WMF, EPS, PPT, PSD, PCT, TIF, RTF, SEA, SIT, SML, SVG, XLS, EXE, HTM,
    BOT,
};
// clang-format on
inline constexpr int kTypeCodeCount = 33;

// Options that widen the referrer rules for today's logs. Both off (the
// default) gives the plain rules exactly.
struct ReferrerRules {
    // "https://" (any letter case) starts a referrer as "http://" does; the
    // first of the two on a line is the address, its scheme kept as written.
    bool https = false;
    // An address standing right after a double quote runs to the next double
    // quote not preceded by a backslash (the quote itself left out), spaces and
    // ")" included, and is never a crawler's. Without such a closing quote
    // the plain cut applies.
    bool quoted = false;
};

// True when `line` contains "http://" (or, with rules.https, "https://"; ASCII
// letter case ignored) and does not contain `ownDomain` anywhere (letter case
// ignored). An empty own domain is found in every line, so it rejects every
// line.
bool LineHasReferrer(std::string_view line, std::string_view ownDomain,
                     const ReferrerRules& rules = {});

// What ExtractReferrer cuts out of a line.
struct Extraction {
    // The referrer: from the first "http://" (any letter case, kept as it
    // stands) to the first ")" after it, else to and including the first
    // space after it, else to the end of the line; a closing ")" is dropped.
    // A view into the line passed in.
    std::string_view referrer;
    // The line with every occurrence of the referrer (exact bytes, left to
    // right, no overlap) deleted.
    std::string remainder;
    // The cut ended at ")" and the line holds more "(" than ")" before the
    // referrer: the address stands inside a parenthesised comment.
    bool bot = false;
};

// Precondition: LineHasReferrer(line, ..., rules) is true, or at least the
// line contains an address; otherwise the result is empty. With `rules` set
// the cut follows them (see ReferrerRules); the remainder rule is the same.
Extraction ExtractReferrer(std::string_view line, const ReferrerRules& rules = {});

// The lower row of the table whose pattern occurs anywhere in `remainder`
// (letter case ignored); HTM when none does. Never BOT.
TypeCode TypeCodeFor(std::string_view remainder);

// The lower of `best` and the row of the first pattern that `afterDot` (the
// text right after a ".") starts with, letter case ignored.
TypeCode TypeCodeAfterDot(std::string_view afterDot, TypeCode best);

// The text without "[img]", "[zip]", "[exe]", "[htm]" and "[bot]" (each pass
// over the result of the last, letter case ignored) and then without its
// first space.
std::string StripTypeTags(std::string_view text);

// --- Building blocks shared by the rules and the scanner.

// Position of the first "http://" in `text`, letter case ignored, or npos.
std::size_t FindScheme(std::string_view text);
// Position of the first address the rules accept: FindScheme, or with
// rules.https the first "http://" or "https://", whichever comes first.
std::size_t FindAddress(std::string_view text, const ReferrerRules& rules);
// Position of the first occurrence of `needle` in `haystack` with ASCII letter
// case ignored, or npos. An empty needle is found at 0.
std::size_t FindIgnoringCase(std::string_view haystack, std::string_view needle);

// A needle prepared once for many FindIgnoringCase searches (the own domain,
// searched in every line).
class FoldedNeedle {
public:
    explicit FoldedNeedle(std::string_view needle = {});
    // As FindIgnoringCase(haystack, text()).
    std::size_t findIn(std::string_view haystack) const;
    std::string_view text() const { return needle_; }

private:
    // One byte of the needle as a test on a haystack byte c: (c | fold) ==
    // value, where fold is 0x20 for a letter (either case) and 0 otherwise.
    struct ByteTest {
        unsigned char value = 0;
        unsigned char fold = 0;
    };

public:
    static ByteTest TestFor(unsigned char c);
    // The byte the search looks for besides the first: the rarest one in
    // log text among the needle's bytes 1 .. limit - 1 (0 for a needle of one byte).
    std::size_t rarestWithin(std::size_t limit) const;

private:
    std::string needle_;
    // Candidates are the places where the first byte and the rarest other
    // byte (at offset anchor_) both match; only those are compared whole.
    std::size_t anchor_ = 0;
    ByteTest first_;
    ByteTest rare_;
};

// Extraction without building the remainder: the referrer's position and
// length in the line, its BOT flag, and the type code of its remainder.
struct Cut {
    std::size_t position = 0;
    std::size_t length = 0;
    bool bot = false;
};
// Precondition as ExtractReferrer. Returns false when the line has no address.
bool CutReferrer(std::string_view line, Cut& cut, const ReferrerRules& rules = {});
// The cut of a line whose first address stands at `scheme` (FindAddress with
// the same rules).
void CutReferrerAt(std::string_view line, std::size_t scheme, Cut& cut,
                   const ReferrerRules& rules = {});
// TypeCodeFor(remainder of the cut), computed with `scratch` as working space,
// in time linear in the line whatever it holds. When `steps` is given it
// receives the work done (bytes compared and read), for checks of that bound.
TypeCode TypeCodeOfRemainder(std::string_view line, const Cut& cut, std::string& scratch,
                             std::size_t* steps = nullptr);

}  // namespace tallowby
