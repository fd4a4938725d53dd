#pragma once

// The sources of referrers and their search keywords worked out the plain
// way, as the yardstick the engine's indexed lists are checked against:
// every entry of the lists is tried on every address, by a regular
// expression made of it. For addresses written plainly (scheme, host, an
// optional port, path and query: no escapes or user information in the
// host, no fragment), and keywords whose bytes that are not UTF-8 either
// read in a listed charset or are lone bytes that never start a sequence.

#include <string>
#include <vector>

namespace tallowby::testing {

struct ReferenceSource {
    std::string sourceClass;  // "search", "social", "ai", "website" or "spam"
    std::string source;
    std::string keyword;  // search engines only; may be empty
};

class ReferenceSourceLists {
public:
    // The texts of SearchEngines.yml, Socials.yml and AIAssistants.yml, and
    // the spam hosts (lower case).
    ReferenceSourceLists(const std::string& searchEngines, const std::string& socials,
                         const std::string& aiAssistants, std::vector<std::string> spamHosts);
    ~ReferenceSourceLists();

    ReferenceSource sourceOf(const std::string& referrer) const;

    // Every entry's host (and path) as the lists write it, in their order,
    // and the names of the query parameters that hold keywords.
    const std::vector<std::string>& hosts() const { return hosts_; }
    const std::vector<std::string>& paramNames() const { return paramNames_; }

    struct Entry;

private:
    std::vector<Entry> entries_;
    std::vector<std::string> spamHosts_;
    std::vector<std::string> hosts_;
    std::vector<std::string> paramNames_;
};

}  // namespace tallowby::testing
