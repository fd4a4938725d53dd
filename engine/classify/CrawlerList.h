#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/CrawlerCheck.h"

namespace tallowby {

// A list of crawlers' user agents: regular expressions, each matched
// anywhere in a user agent, letter case as written (as the list's own
// JavaScript and Python users search with them). All of them are tried in
// one pass over the agent, by one automaton built from the whole list; it
// grows as agents are matched, up to kMemory bytes. Asking from several
// threads at once is safe.
class CrawlerList final : public CrawlerCheck {
public:
    // What the patterns' automaton may take, compiled program and the
    // states it builds together; beyond it, the states are dropped and built
    // again. The built-in list compiles in 2 MB and its states stay near
    // 10 MB over 100,000 distinct agents: room for a list several times as
    // long.
    static constexpr std::int64_t kMemory = std::int64_t{16} << 20;

    // The list built into the program (resources/crawlers/crawler-user-agents.json),
    // read at the first call; later calls, from any thread, return the same.
    static const CrawlerList& Builtin();
    // Reads a list in the format of that file: a JSON array of objects, each
    // with a "pattern" string (other members are ignored). A pattern the
    // matcher cannot take as written, nor with the escapes it lacks written
    // its way ("\uXXXX", Python's "\Z"), is left out and counted in leftOut(),
    // and so is an empty one; the others still apply. On failure returns
    // nullopt and sets `error` to the reason: bytes that are not such an
    // array, an array without a usable pattern, or patterns needing more
    // than kMemory.
    static std::optional<CrawlerList> FromJson(std::string_view bytes, std::string& error);

    CrawlerList(CrawlerList&&) noexcept;
    CrawlerList& operator=(CrawlerList&&) noexcept;
    ~CrawlerList() override;

    // True when one of the patterns matches somewhere in `userAgent`. An
    // empty agent is nobody's: false.
    bool isCrawler(std::string_view userAgent) const override;

    // The number of patterns in use.
    std::size_t size() const { return size_; }
    // The patterns left out, as the list writes them, in its order.
    const std::vector<std::string>& leftOut() const { return leftOut_; }
    std::size_t patternsLeftOut() const { return leftOut_.size(); }

private:
    struct Patterns;

    CrawlerList();

    std::unique_ptr<Patterns> patterns_;
    std::size_t size_ = 0;
    std::vector<std::string> leftOut_;
};

}  // namespace tallowby
