#include "LineMatch.h"

#include <algorithm>
#include <cstring>

#include "ReferrerHost.h"
#include "TextFold.h"

namespace tallowby {

MatchOptions::MatchOptions(std::string_view ownDomain, const ReferrerRules& rules,
                           const SpamCheck* spam, const FieldRules& fields)
    : domain_(ownDomain), fields_(fields), rules_(rules), spam_(spam) {
    if (fields_.on) {
        // The own domain as a host: written as a host, or as an address.
        std::string scratch;
        ownHost_ = ownDomain.find("://") != std::string_view::npos
                       ? std::string(BrowserHost(ownDomain, scratch))
                       : std::string(ownDomain);
        for (char& c : ownHost_) {
            c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
        }
        while (!ownHost_.empty() && ownHost_.back() == '.') {
            ownHost_.pop_back();
        }
    }
    // An empty own domain rejects every line: the plain search settles that at once.
    masks_ = LineMasks::Available() && !ownDomain.empty();
    if (masks_) {
        const auto first = FoldedNeedle::TestFor(static_cast<unsigned char>(ownDomain[0]));
        needle_.otherAt = domain_.rarestWithin(16);
        const auto other =
            FoldedNeedle::TestFor(static_cast<unsigned char>(ownDomain[needle_.otherAt]));
        needle_.first = {first.value, first.fold};
        needle_.other = {other.value, other.fold};
    }
}

namespace {

// True when an address the rules accept starts at `at`, a place where
// LineMasks saw "h" and ":" (in any case).
bool AddressAt(std::string_view line, std::size_t at, const ReferrerRules& rules) {
    constexpr std::string_view http = "http://";
    constexpr std::string_view https = "https://";
    if (at + 8 <= line.size()) {
        // Eight bytes at once, folded: the first seven are "http://", or
        // all eight "https://".
        std::uint64_t word;
        std::memcpy(&word, line.data() + at, 8);
        word = FoldedWord(word);
        std::uint64_t httpWord;
        std::uint64_t httpsWord;
        std::memcpy(&httpWord, "http://", 8);  // with its terminating zero
        std::memcpy(&httpsWord, https.data(), 8);
        constexpr unsigned char kFirstSeven[8] = {255, 255, 255, 255, 255, 255, 255, 0};
        std::uint64_t seven;
        std::memcpy(&seven, kFirstSeven, 8);
        return ((word ^ httpWord) & seven) == 0 || (rules.https && word == httpsWord);
    }
    const std::string_view rest = line.substr(at);
    return StartsWithIgnoringCase(rest, http) ||
           (rules.https && StartsWithIgnoringCase(rest, https));
}

}  // namespace

LineMatch MatchOptions::matchByMasks(std::string_view line, std::string& scratch,
                                     std::size_t readable) const {
    LineMasks masks;
    masks.scan(line, needle_, rules_.https, readable);
    return matchMasked(line, masks.bits(), scratch);
}

void MatchOptions::scanBlock(BlockMasks& masks, const char* data, std::size_t limit,
                             std::size_t readable) const {
    masks.scan(data, limit, readable, needle_, rules_.https);
}

LineMatch MatchOptions::matchMasked(std::string_view line, const LineBits& masks,
                                    std::string& scratch) const {
    LineMatch result;
    constexpr std::size_t npos = std::string_view::npos;
    const std::uint64_t* const schemes = masks.scheme;
    std::size_t p = masks.firstFrom(schemes, 0);
    while (p != npos && !AddressAt(line, p, rules_)) {
        p = masks.firstFrom(schemes, p + 1);
    }
    if (p == npos) {
        return result;
    }
    const std::string_view domain = domain_.text();
    for (std::size_t at = masks.firstFrom(masks.domain, 0);
         at != npos && at + domain.size() <= line.size();
         at = masks.firstFrom(masks.domain, at + 1)) {
        if (EqualsIgnoringCase(line.substr(at, domain.size()), domain)) {
            return result;
        }
    }
    Cut& cut = result.cut;
    if (rules_.quoted && p > 0 && line[p - 1] == '"') {
        CutReferrerAt(line, p, cut, rules_);  // a quoted field: its closing quote decides
    } else {
        cut.position = p;
        if (const std::size_t close = masks.firstFrom(masks.close, p); close != npos) {
            cut.length = close - p;
            // Usually nothing before the address opens a comment.
            if (masks.firstFrom(masks.open, 0) < p) {
                cut.bot = masks.countBefore(masks.open, p) > masks.countBefore(masks.close, p);
            }
        } else if (const std::size_t space = masks.firstFrom(masks.space, p); space != npos) {
            cut.length = space - p + 1;
        } else {
            cut.length = line.size() - p;
        }
    }
    if (spam_ != nullptr && spam_->matchesReferrer(line.substr(cut.position, cut.length))) {
        result.kind = LineKind::Spam;
        return result;
    }
    result.kind = LineKind::Link;
    // Where the referrer recurs after its cut, the remainder must be built:
    // the plain way does that. A recurrence starts with the referrer's
    // scheme, so only the places LineMasks marked are compared; should they
    // cost more than a pass over the line, the plain way takes over too.
    const std::string_view referrer = line.substr(cut.position, cut.length);
    const std::size_t tail = cut.position + cut.length;
    std::size_t budget = line.size() + 64;
    for (std::size_t at = masks.firstFrom(schemes, tail);
         at != npos && at + referrer.size() <= line.size(); at = masks.firstFrom(schemes, at + 1)) {
        if (budget < referrer.size() ||
            std::memcmp(line.data() + at, referrer.data(), referrer.size()) == 0) {
            result.type = TypeCodeOfRemainder(line, cut, scratch);
            return result;
        }
        budget -= referrer.size();
    }
    // The remainder is the head before the cut and the tail after it: the
    // patterns after each dot of either, then those that start in the head
    // and end in the tail (five bytes at most).
    TypeCode best = TypeCode::HTM;
    for (std::size_t dot = masks.firstFrom(masks.dot, 0); dot != npos && best != TypeCode::JPG;
         dot = masks.firstFrom(masks.dot, dot + 1)) {
        if (dot < cut.position) {
            best = TypeCodeAfterDot(line.substr(dot + 1, cut.position - dot - 1), best);
        } else if (dot >= tail) {
            best = TypeCodeAfterDot(line.substr(dot + 1), best);
        }
    }
    const std::size_t h = std::min<std::size_t>(cut.position, 4);
    const char* const headEnd = line.data() + cut.position;
    if (best != TypeCode::JPG && h > 0 && tail < line.size() &&
        (headEnd[-1] == '.' || (h > 1 && headEnd[-2] == '.') || (h > 2 && headEnd[-3] == '.') ||
         (h > 3 && headEnd[-4] == '.'))) {
        char join[8];
        const std::size_t t = std::min<std::size_t>(line.size() - tail, 4);
        std::memcpy(join, line.data() + cut.position - h, h);
        std::memcpy(join + h, line.data() + tail, t);
        best = std::min(best, TypeCodeFor(std::string_view(join, h + t)));
    }
    result.type = best;
    return result;
}

LineMatch MatchOptions::match(std::string_view line, std::string& scratch,
                              std::size_t readable) const {
    if (masks_ && line.size() <= LineMasks::kMaxLine) {
        return matchByMasks(line, scratch, readable);
    }
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

bool MatchOptions::ownHost(std::string_view host) const {
    // An empty own domain names no host: nothing is a self-referral.
    if (ownHost_.empty() || host.size() < ownHost_.size() ||
        host.substr(host.size() - ownHost_.size()) != ownHost_) {
        return false;
    }
    return host.size() == ownHost_.size() || host[host.size() - ownHost_.size() - 1] == '.';
}

bool MatchOptions::crawler(std::string_view userAgent, FieldScratch& scratch) const {
    const CrawlerCheck* check = fields_.crawlers;
    if (check == nullptr || userAgent.empty()) {
        return false;
    }
    if (scratch.judgedBy != check) {
        scratch.judged.clear();
        scratch.judgedBy = check;
    }
    if (const auto seen = scratch.judged.find(userAgent); seen != scratch.judged.end()) {
        return seen->second;
    }
    // Each distinct agent is judged once; a log of endless distinct agents
    // starts the memory over now and then rather than keep them all.
    constexpr std::size_t kMostJudged = 1 << 16;
    if (scratch.judged.size() >= kMostJudged) {
        scratch.judged.clear();
    }
    const bool is = check->isCrawler(userAgent);
    scratch.judged.emplace(userAgent, is);
    return is;
}

LineMatch MatchOptions::matchFields(std::string_view line, FieldScratch& scratch) const {
    LineMatch result;
    const LineFields fields = scratch.reader.read(line, scratch.w3c);
    result.note = static_cast<std::uint8_t>(field_note::kRead | static_cast<int>(fields.layout));
    if (fields.layout == LogLayout::Unknown || fields.layout == LogLayout::Directive) {
        return result;
    }
    std::string_view agent = fields.userAgent;
    std::string unplussed;
    if (fields.layout == LogLayout::W3c && agent.find('+') != std::string_view::npos) {
        // W3C logs write the spaces of an agent as "+".
        unplussed.assign(agent);
        std::replace(unplussed.begin(), unplussed.end(), '+', ' ');
        agent = unplussed;
    }
    if (crawler(agent, scratch)) {
        result.note |= field_note::kCrawler;
    }
    if (fields.referrer.empty()) {
        result.note |= field_note::kNoReferrer;
        return result;
    }
    if (ownHost(BrowserHost(fields.referrer, scratch.host))) {
        result.note |= field_note::kSelf;
        return result;
    }
    if ((result.note & field_note::kCrawler) != 0 && fields_.noCrawlers) {
        result.note |= field_note::kLeftOut;
        return result;
    }
    result.text = fields.referrer;
    if (spam_ != nullptr && spam_->matchesReferrer(fields.referrer)) {
        result.kind = LineKind::Spam;
        return result;
    }
    result.kind = LineKind::Link;
    result.type = TypeCodeFor(fields.referrer);
    return result;
}

W3cFields W3cFieldsAfter(std::string_view bytes, W3cFields w3c, bool atFileStart) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::size_t from = 0;
    while (from < bytes.size()) {
        const void* hash = std::memchr(bytes.data() + from, '#', bytes.size() - from);
        if (hash == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hash) - bytes.data());
        from = at + 1;
        const bool lineStart =
            at == 0 || bytes[at - 1] == '\n' || bytes[at - 1] == '\r' ||
            (atFileStart && at == kByteOrderMark.size() && bytes.substr(0, at) == kByteOrderMark);
        if (!lineStart) {
            continue;
        }
        std::size_t end = at;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') {
            ++end;
        }
        if (auto fields = W3cFields::FromDirective(bytes.substr(at, end - at))) {
            w3c = *fields;
        }
        from = end;
    }
    return w3c;
}

}  // namespace tallowby
