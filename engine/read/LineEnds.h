#pragma once

// Where lines end, for everything that reads or counts lines: at LF, at CR,
// or at CR LF, which is one end, also when a read falls between its CR and
// its LF. A last line without an end is a line too.

#include <cstdint>

namespace tallowby {

inline constexpr char kCr = '\r';
inline constexpr char kLf = '\n';

// True when the byte `c` ends a line, given whether the byte before it was a
// CR: every CR does, and an LF unless it closes a CR LF pair (that end was
// its CR).
constexpr bool EndsLine(char c, bool afterCr) {
    return c == kCr || (c == kLf && !afterCr);
}

// The line ends in [p, end) by that rule; `previousCr` tells whether the
// byte before p was a CR. 0 for an empty range. The widest steps the
// processor has are taken, unless `steps` names one, so that tests run each
// on any machine: Wide (32 bytes; only where the processor has AVX2),
// Narrow (16 bytes) or Plain (a byte at a time, as every step's tail is
// counted). Without vector steps (not x86-64) every kind counts as Plain.
enum class CountSteps { Widest, Wide, Narrow, Plain };
std::int64_t CountLineEnds(const char* p, const char* end, bool previousCr,
                           CountSteps steps = CountSteps::Widest);

}  // namespace tallowby
