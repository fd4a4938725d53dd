#include "CrawlerList.h"

#include <re2/re2.h>
#include <re2/set.h>
#include <simdjson.h>

#include <new>
#include <utility>

namespace tallowby {

// The bytes of resources/crawlers/crawler-user-agents.json, compiled in by
// the build in pieces.
extern const std::string_view kBuiltinCrawlerList[];
extern const std::size_t kBuiltinCrawlerListPieces;

namespace {

constexpr const char* kNotAList =
    "not a crawler list (expected a JSON array of objects with a \"pattern\")";

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// `pattern` with the escapes of JavaScript and Python that RE2 writes
// otherwise: "\uXXXX" as "\x{XXXX}", Python's "\Z" (the end of the text)
// as "\z". Every other escape stays as written.
std::string InRe2Syntax(std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size() + 8);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '\\' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        const char next = pattern[++i];
        if (next == 'u' && i + 4 < pattern.size() && IsHex(pattern[i + 1]) &&
            IsHex(pattern[i + 2]) && IsHex(pattern[i + 3]) && IsHex(pattern[i + 4])) {
            out.append("\\x{").append(pattern.substr(i + 1, 4)).append("}");
            i += 4;
        } else if (next == 'Z') {
            out += "\\z";
        } else {
            out += '\\';
            out += next;
        }
    }
    return out;
}

// Adds `pattern` to `set`, as written or else as InRe2Syntax() writes it.
// False, with the matcher's reason for the pattern as written, when
// neither is taken; an empty pattern, which would match every agent, never is.
bool Add(RE2::Set& set, std::string_view pattern, std::string& reason) {
    if (pattern.empty()) {
        reason = "an empty pattern matches every agent";
        return false;
    }
    if (set.Add(re2::StringPiece(pattern.data(), pattern.size()), &reason) >= 0) {
        return true;
    }
    const std::string rewritten = InRe2Syntax(pattern);
    return rewritten != pattern && set.Add(rewritten, nullptr) >= 0;
}

RE2::Options PatternOptions() {
    RE2::Options options;  // UTF-8, case as written, Perl classes (\d, \s)
    options.set_max_mem(CrawlerList::kMemory);
    options.set_never_capture(true);
    options.set_log_errors(false);  // reasons come back as values
    return options;
}

}  // namespace

struct CrawlerList::Patterns {
    RE2::Set set{PatternOptions(), RE2::UNANCHORED};
};

CrawlerList::CrawlerList() = default;
CrawlerList::CrawlerList(CrawlerList&&) noexcept = default;
CrawlerList& CrawlerList::operator=(CrawlerList&&) noexcept = default;
CrawlerList::~CrawlerList() = default;

const CrawlerList& CrawlerList::Builtin() {
    static const CrawlerList list = [] {
        std::string bytes;
        for (std::size_t i = 0; i < kBuiltinCrawlerListPieces; ++i) {
            bytes.append(kBuiltinCrawlerList[i]);
        }
        std::string error;
        std::optional<CrawlerList> read = FromJson(bytes, error);
        // Never empty in a release: the tests read the built-in list whole.
        return read ? std::move(*read) : CrawlerList();
    }();
    return list;
}

std::optional<CrawlerList> CrawlerList::FromJson(std::string_view bytes, std::string& error) {
    try {
        simdjson::dom::parser parser;
        const simdjson::padded_string json(bytes.data(), bytes.size());
        simdjson::dom::array entries;
        if (const auto code = parser.parse(json).get(entries)) {
            error = std::string(kNotAList) + ": " +
                    (code == simdjson::INCORRECT_TYPE ? "the JSON is not an array"
                                                      : simdjson::error_message(code));
            return std::nullopt;
        }
        CrawlerList list;
        list.patterns_ = std::make_unique<Patterns>();
        RE2::Set& set = list.patterns_->set;
        std::string firstReason;
        std::size_t entry = 0;
        for (const simdjson::dom::element element : entries) {
            ++entry;
            std::string_view pattern;
            if (element["pattern"].get_string().get(pattern)) {
                error = std::string(kNotAList) + ": entry " + std::to_string(entry) +
                        " has no \"pattern\" string";
                return std::nullopt;
            }
            std::string reason;
            if (Add(set, pattern, reason)) {
                ++list.size_;
            } else {
                if (list.leftOut_.empty()) {
                    firstReason = "\"" + std::string(pattern) + "\": " + reason;
                }
                list.leftOut_.emplace_back(pattern);
            }
        }
        if (list.size_ == 0) {
            error = entry == 0 ? "no pattern in the crawler list"
                               : "no usable pattern in the crawler list (" + std::to_string(entry) +
                                     " left out; the first, " + firstReason + ")";
            return std::nullopt;
        }
        if (!set.Compile()) {
            error = "the crawler list's " + std::to_string(list.size_) +
                    " patterns need more memory than they may take (" +
                    std::to_string(kMemory >> 20) + " MB)";
            return std::nullopt;
        }
        return list;
    } catch (const std::bad_alloc&) {
        error = "out of memory reading the crawler list";
        return std::nullopt;
    }
}

bool CrawlerList::isCrawler(std::string_view userAgent) const {
    if (userAgent.empty() || !patterns_) {
        return false;
    }
    // No list of which patterns matched: the search stops at the first.
    return patterns_->set.Match(re2::StringPiece(userAgent.data(), userAgent.size()), nullptr);
}

}  // namespace tallowby
