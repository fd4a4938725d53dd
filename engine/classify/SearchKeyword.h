#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/SourceLists.h"

namespace tallowby {

// Reads what a visitor searched for out of a search engine's address. Keeps
// one converter open per character set it has used: not for use on several
// threads at once (give each thread its own).
class KeywordReader {
public:
    KeywordReader();
    ~KeywordReader();
    KeywordReader(const KeywordReader&) = delete;
    KeywordReader& operator=(const KeywordReader&) = delete;

    // The keyword of an address whose path and query are `pathAndQuery`
    // ("/path?query", no fragment), as `config` finds it: its params are
    // tried in order, and the first that gives a keyword wins. A name takes
    // the value of the first "name=value" pair of the query (split at "&")
    // with exactly that name and a value; a pattern, its first capture
    // group where it is found in `pathAndQuery`. The value is read by
    // keyword(). Empty when no param gives one.
    std::string keywordOf(std::string_view pathAndQuery, const SearchConfig& config);

    // `value` as a keyword: "+" become spaces, "%XX" escapes are decoded;
    // bytes that are not UTF-8 are read in the first of `charsets` that
    // reads them all, else each ill-formed sequence becomes U+FFFD. Then
    // runs of white space become one space, the ends are trimmed and A-Z
    // become a-z. May be empty.
    std::string keyword(std::string_view value, const std::vector<std::string>& charsets);

private:
    // `bytes` read as `charset` into UTF-8 in `out`; false when the set is
    // unknown or does not read every byte.
    bool convert(const std::string& charset, std::string_view bytes, std::string& out);

    struct Converters;
    std::unique_ptr<Converters> converters_;
};

}  // namespace tallowby
