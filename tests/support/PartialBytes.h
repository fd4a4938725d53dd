#pragma once

// A partial result's bytes written out plainly, field by field as
// docs/partial-format.md lays them out, so tests can craft files that no
// scan writes (contradictory counters, a declared size the file does not
// have) with a checksum that is right.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallowby::testing {

struct PlainEntry {
    std::uint64_t position = 0;
    std::uint64_t count = 0;  // 0 unless the partial is collapsed
    std::uint8_t type = 31;   // HTM
    std::uint8_t bot = 0;
    std::string referrer;
};

struct PlainPartial {
    std::uint32_t flags = 0;  // bit 0: collapsed
    // Files done, lines scanned, links found, duplicates removed, spam hidden.
    std::vector<std::uint64_t> counters = {0, 0, 0, 0, 0};
    std::vector<std::string> options;
    std::vector<PlainEntry> entries;
};

// The file's bytes, with its checksum and end mark.
std::string PlainPartialBytes(const PlainPartial& partial);

// CRC-32 computed bit by bit, as the format's documentation gives it.
std::uint32_t PlainCrc32(std::string_view bytes);

// `bytes` with a fresh checksum, so only a change made to them shows.
std::string Resealed(std::string bytes);

}  // namespace tallowby::testing
