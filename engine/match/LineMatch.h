#pragma once

#include <string>
#include <string_view>

#include "LineMasks.h"
#include "Rules.h"
#include "SpamCheck.h"

namespace tallowby {

// What a scan does with one line: no referrer (no address, or the own
// domain is mentioned), a referrer of a known spam host (hidden), or a
// referrer for the work list.
enum class LineKind : unsigned char { None, Spam, Link };

struct LineMatch {
    LineKind kind = LineKind::None;
    Cut cut;                        // with kind Spam or Link: the referrer in the line
    TypeCode type = TypeCode::HTM;  // with kind Link: the code of the line's remainder
};

// The options a line is matched with, held by value so that they can be
// handed to other threads and outlive the surroundings' views: the own
// domain (prepared for searching), the referrer rules and the spam check
// (null hides nothing).
class MatchOptions {
public:
    MatchOptions() = default;
    MatchOptions(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam);

    // True when these options are those given: a line matched with them
    // needs no second look.
    bool same(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam) const {
        return rules_.https == rules.https && rules_.quoted == rules.quoted && spam_ == spam &&
               ownDomain == domain_.text();
    }

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

    FoldedNeedle domain_;
    LineMasks::Needle needle_;  // the own domain's tests for LineMasks
    bool masks_ = false;        // short lines are matched by matchByMasks
    ReferrerRules rules_;
    const SpamCheck* spam_ = nullptr;
};

}  // namespace tallowby
