#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace re2 {
class RE2;
}

namespace tallowby {

// Where a visitor came from. Search, social and AI come from the lists;
// spam from the spam list; website is every other referring host.
enum class SourceClass : std::uint8_t { Search, Social, Ai, Website, Spam };

// "search", "social", "ai", "website" or "spam".
std::string_view SourceClassName(SourceClass sourceClass);

// Where a search engine writes what was searched for, tried in order: a
// query parameter's name, or a regular expression whose first capture group
// is searched for in the address's path and query.
struct KeywordParam {
    std::string name;                         // when `pattern` is null
    std::shared_ptr<const re2::RE2> pattern;  // null for a name
};

// One configuration of a search engine (an engine may have several).
struct SearchConfig {
    std::vector<KeywordParam> params;
    std::vector<std::string> charsets;  // tried, in order, for keywords that are not UTF-8
    std::string backlink;               // the search's address on the engine, "{k}" for
                                        // the keywords; empty when the list gives none
};

// The lists of search engines, social networks and AI assistants, indexed
// so that a host costs a few hash lookups whatever the lists hold.
//
// An entry ("www.google.com", "google.{}", "{}.bing.com/images/search",
// "x.com/i/grok") matches a host that is its host or ends with it at a label
// boundary; "{}" stands for any one label, and a "{}" that ends the entry
// also for a two-label ending "com.X", "org.X", "net.X", "co.X", "it.X" or
// "edu.X". An entry with a path matches only addresses whose path is that
// path or continues it with "/". Of the entries that match, one with a path
// wins over one without; then the one with more labels; then AI assistant
// over search engine over social network; then the first in its file.
//
// Immutable once built: may be read from several threads at once.
class SourceLists {
public:
    // The files, as --sources finds them in a folder, and the lists' texts.
    static constexpr std::string_view kSearchEnginesFile = "SearchEngines.yml";
    static constexpr std::string_view kSocialsFile = "Socials.yml";
    static constexpr std::string_view kAiAssistantsFile = "AIAssistants.yml";
    struct Texts {
        std::string_view searchEngines;
        std::string_view socials;
        std::string_view aiAssistants;
    };

    // Empty lists: every host is a website.
    SourceLists();
    ~SourceLists();
    SourceLists(SourceLists&&) noexcept;
    SourceLists& operator=(SourceLists&&) noexcept;
    SourceLists(const SourceLists&) = delete;
    SourceLists& operator=(const SourceLists&) = delete;

    // Reads the three lists from their YAML texts. On a text that is not
    // YAML, or not of the lists' shape, or a keyword pattern that is no
    // regular expression, returns nullopt and sets `error` to the file's
    // name, the line and the reason. Never throws.
    static std::optional<SourceLists> FromYaml(const Texts& texts, std::string& error);
    // The lists built into the program (resources/sources/), read on first use.
    static const SourceLists& Builtin();

    // What the lists say of an address.
    struct Match {
        SourceClass sourceClass = SourceClass::Website;
        std::string_view source;               // the entry's name; empty for a website
        std::uint32_t sourceId = kNoSource;    // the same as a number, below sourceCount()
        const SearchConfig* search = nullptr;  // the entry's configuration, for search engines
    };
    static constexpr std::uint32_t kNoSource = ~std::uint32_t{0};

    // The entries that match a host, for finding the winner of each of its
    // addresses without looking at the host again.
    struct HostCandidates {
        std::uint32_t best = kNoEntry;        // the winner among entries without a path
        std::vector<std::uint32_t> withPath;  // those with a path, the winner first
        bool none() const { return best == kNoEntry && withPath.empty(); }
    };
    // `host` in lower case, as BrowserHost gives it; none for an empty host.
    HostCandidates candidatesOf(std::string_view host) const;
    // The entry that wins for an address of that host with path `path`
    // (from its "/" up to "?" or "#"; may be empty). The views and the
    // configuration stay valid as long as the lists.
    Match winner(const HostCandidates& candidates, std::string_view path) const;
    Match match(std::string_view host, std::string_view path) const {
        return winner(candidatesOf(host), path);
    }

    std::size_t entryCount() const { return entries_.size(); }
    std::size_t sourceCount() const { return sources_.size(); }

private:
    static constexpr std::uint32_t kNoEntry = ~std::uint32_t{0};
    class Reading;

    struct Source {
        std::string name;
        SourceClass sourceClass;
    };
    struct Entry {
        std::vector<std::string> labels;  // left to right; "{}" stands for any one
        std::string path;                 // empty: none
        bool endsInAny = false;           // the last label is "{}"
        std::uint32_t source = 0;
        std::uint32_t config = kNoEntry;  // into configs_, for search engines
        std::uint32_t rank = 0;           // the place in the ranking: lower wins
    };
    // Gives each entry its place in the ranking (`fileOrder`: each one's
    // place in its file), then files it in the indexes.
    void rank(const std::vector<std::uint32_t>& fileOrder);
    void index();
    bool matches(const Entry& entry, const std::vector<std::string_view>& hostLabels) const;
    void collect(std::uint32_t id, HostCandidates& found) const;

    std::vector<Source> sources_;
    std::vector<Entry> entries_;
    std::vector<SearchConfig> configs_;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    using Index =
        std::unordered_map<std::string, std::vector<std::uint32_t>, TextHash, std::equal_to<>>;
    // Entries by the labels that end them after their last "{}" (the one
    // that ends an entry left out), joined with "."; the entries whose last
    // label is "{}" apart, as the host is looked up without its ending.
    Index byEnding_;
    Index byEndingBeforeAny_;
    std::vector<std::uint32_t> unindexed_;  // no fixed label to index them by
    // A label of every indexed entry (of its labels but "{}", the one fewest
    // entries hold): a host holding none of them matches no indexed entry,
    // found with a lookup per label.
    std::unordered_set<std::string, TextHash, std::equal_to<>> anchors_;
};

}  // namespace tallowby
