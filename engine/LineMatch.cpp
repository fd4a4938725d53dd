#include "LineMatch.h"

#include "SpamList.h"

namespace tallowby {

MatchOptions::MatchOptions(std::string_view ownDomain, const ReferrerRules& rules,
                           const SpamList* spam)
    : domain_(ownDomain), rules_(rules), spam_(spam) {}

LineMatch MatchOptions::match(std::string_view line, std::string& scratch) const {
    LineMatch result;
    // The address search first: most lines end there, and the own domain
    // is looked for only in lines that could yield a referrer.
    const std::size_t scheme = FindAddress(line, rules_);
    if (scheme == std::string_view::npos || domain_.findIn(line) != std::string_view::npos) {
        return result;
    }
    CutReferrerAt(line, scheme, result.cut, rules_);
    if (spam_ != nullptr &&
        spam_->matchesReferrer(line.substr(result.cut.position, result.cut.length))) {
        result.kind = LineKind::Spam;
        return result;
    }
    result.kind = LineKind::Link;
    result.type = TypeCodeOfRemainder(line, result.cut, scratch);
    return result;
}

}  // namespace tallowby
