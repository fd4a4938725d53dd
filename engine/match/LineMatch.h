#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "CrawlerCheck.h"
#include "LineMasks.h"
#include "LogFields.h"
#include "Rules.h"
#include "SpamCheck.h"
#include "TextHash.h"

namespace tallowby {

// What a scan does with one line: no referrer (no address, or the own
// domain is mentioned), a referrer of a known spam host (hidden), or a
// referrer for the work list.
enum class LineKind : unsigned char { None, Spam, Link };

// How lines are read by the referrer field of known log layouts
// (LogFields.h) instead of the written rules. All off by default.
struct FieldRules {
    // The referrer is the value of the line's referrer field; a line of no
    // known layout yields nothing.
    bool on = false;
    // With `on`: a line whose user agent is a crawler's yields nothing.
    bool noCrawlers = false;
    // Which user agents are crawlers'; null: none is.
    const CrawlerCheck* crawlers = nullptr;
    bool operator==(const FieldRules&) const = default;
};

// What a line read by its fields adds to the statistics, in one byte: its
// layout and what became of it. 0 for a line read by the written rules.
namespace field_note {
inline constexpr std::uint8_t kLayoutMask = 0x07;  // the line's LogLayout
inline constexpr std::uint8_t kRead = 0x08;        // the line was read by its fields
inline constexpr std::uint8_t kNoReferrer = 0x10;  // of a known layout, with no referrer
inline constexpr std::uint8_t kSelf = 0x20;        // its referrer is of the own domain
inline constexpr std::uint8_t kCrawler = 0x40;     // its user agent is a crawler's
inline constexpr std::uint8_t kLeftOut = 0x80;     // a crawler's line, left out for that
inline LogLayout LayoutOf(std::uint8_t note) {
    return static_cast<LogLayout>(note & kLayoutMask);
}
}  // namespace field_note
static_assert(kLogLayoutCount <= field_note::kLayoutMask + 1);

struct LineMatch {
    LineKind kind = LineKind::None;
    Cut cut;                        // with kind Spam or Link: the referrer in the line
    TypeCode type = TypeCode::HTM;  // with kind Link: the code of the line's remainder
    // A line read by its fields: its note (field_note), and with kind Spam
    // or Link the referrer, which may lie outside the line (a decoded JSON
    // string, valid until the next line is read); `cut` is then unused.
    std::uint8_t note = 0;
    std::string_view text;

    // The referrer of a line of kind Spam or Link.
    std::string_view referrerIn(std::string_view line) const {
        return note != 0 ? text : line.substr(cut.position, cut.length);
    }
};

// What one thread keeps from line to line while it reads lines by their
// fields: the reader, the W3C fields in force at the next line, and the
// user agents it has judged.
struct FieldScratch {
    FieldReader reader;
    W3cFields w3c;
    std::string host;  // working space of the host cut
    // User agent -> crawler's, for the check in `judgedBy`; cleared when it
    // grows past a limit or the check changes.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return static_cast<std::size_t>(HashText(s));
        }
    };
    std::unordered_map<std::string, bool, Hash, std::equal_to<>> judged;
    const CrawlerCheck* judgedBy = nullptr;
};

// The W3C fields in force after the lines of `bytes` (whole lines, split
// as LineReader splits them), those in force before them being `w3c`:
// the last "#Fields:" directive among them, if any, else `w3c`. A
// byte-order mark counts before the first line when `atFileStart`.
W3cFields W3cFieldsAfter(std::string_view bytes, W3cFields w3c, bool atFileStart);

// The options a line is matched with, held by value so that they can be
// handed to other threads and outlive the surroundings' views: the own
// domain (prepared for searching), the referrer rules and the spam check
// (null hides nothing).
class MatchOptions {
public:
    MatchOptions() = default;
    MatchOptions(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam,
                 const FieldRules& fields = {});

    // True when these options are those given: a line matched with them
    // needs no second look.
    bool same(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam,
              const FieldRules& fields = {}) const {
        return rules_.https == rules.https && rules_.quoted == rules.quoted && spam_ == spam &&
               fields_ == fields && ownDomain == domain_.text();
    }

    // True when lines are read by their fields: matchFields(), not match().
    bool readsFields() const { return fields_.on; }
    // The match of a line read by its fields (without its line end), with
    // the thread's `scratch`, whose W3C fields it follows and updates.
    // The referrer is the line's referrer field as LogFields.h reads it;
    // none where that is "-" or empty (kNoReferrer), where its host is the
    // own domain or under it (kSelf), or where the user agent is a
    // crawler's and crawlers are left out (kLeftOut). The type code is that
    // of the referrer's text.
    LineMatch matchFields(std::string_view line, FieldScratch& scratch) const;

    // The line's fate under these options. `scratch` is working space; the
    // cut's position and length index into `line`. `readable`: how many
    // bytes from the line's start may be read (more than its size where
    // other lines follow in memory; they change nothing, but spare a copy).
    LineMatch match(std::string_view line, std::string& scratch, std::size_t readable = 0) const;

    // True when a stretch of lines can be matched from one pass over it:
    // scanBlock(), then matchMasked() for each line (with an own domain, on
    // processors LineMasks runs on).
    bool matchesWholeLines() const { return masks_; }
    // The masks of `limit` bytes from `data` (BlockMasks::scan()).
    void scanBlock(BlockMasks& masks, const char* data, std::size_t limit,
                   std::size_t readable) const;
    // The match of a line whose masks are known, as match() gives it.
    LineMatch matchMasked(std::string_view line, const LineBits& masks, std::string& scratch) const;

private:
    // match() for a line short enough for one pass of LineMasks.
    LineMatch matchByMasks(std::string_view line, std::string& scratch, std::size_t readable) const;

    // With fields_.on: whether `host` (lower case, no trailing dot) is the
    // own domain or a host under it.
    bool ownHost(std::string_view host) const;
    bool crawler(std::string_view userAgent, FieldScratch& scratch) const;

    FoldedNeedle domain_;
    std::string ownHost_;  // the own domain as a host: lower case, no trailing dot
    FieldRules fields_;
    LineMasks::Needle needle_;  // the own domain's tests for LineMasks
    bool masks_ = false;        // short lines are matched by matchByMasks
    ReferrerRules rules_;
    const SpamCheck* spam_ = nullptr;
};

}  // namespace tallowby
