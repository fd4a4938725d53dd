#pragma once

// What the writer and the reader of partial results share: the fixed parts
// of the layout in docs/partial-format.md and its checksum. Internal to them.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallowby {

inline constexpr char kMagic[8] = {'T', 'L', 'B', 'Y', 'P', 'A', 'R', 'T'};
inline constexpr char kEndMark[8] = {'T', 'L', 'B', 'Y', 'E', 'N', 'D', '\n'};
inline constexpr std::uint32_t kFlagCollapsed = 1;
inline constexpr std::uint32_t kFlagIncomplete = 2;
// The field counts follow the options (a scan that read lines by their fields).
inline constexpr std::uint32_t kFlagFieldCounts = 4;
// Magic, version, flags, five counters, option count.
inline constexpr std::size_t kHeadBytes = 8 + 4 + 4 + 5 * 8 + 4;
inline constexpr std::size_t kTrailerBytes = 4 + 8;  // checksum, end mark
inline constexpr std::size_t kEntryFixedBytes = 8 + 8 + 1 + 1 + 4;
// No figure of a real scan comes near this, and sums of many stay far from
// overflowing.
inline constexpr std::int64_t kMaxFigure = std::int64_t{1} << 56;
// A scan records a handful of options; a reader takes no more than this.
inline constexpr std::uint32_t kMaxOptions = 256;

// CRC-32 as zlib's crc32(crc, bytes) computes it (reflected polynomial
// 0xEDB88320): 0 to start, then the bytes in as many pieces as wanted.
std::uint32_t PartialCrc(std::uint32_t crc, std::string_view bytes);

}  // namespace tallowby
