#pragma once

#include <cstddef>
#include <functional>
#include <limits>

#include "output/TextOutput.h"

namespace tallowby {

// A part of a long output's rows: those numbered [from, to). A row is
// appended only while the bytes held in the output's buffer, with the
// row's longest cell counted in, stay within `budget`: a part formatted
// away from the output never holds more than about that much, and a very
// long cell is left for the output itself, which hands it on in pieces.
struct RowBlock {
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
    std::size_t from = 0;
    std::size_t to = 0;
    std::size_t budget = kUnbounded;
};

// Appends the rows of `block` to `out` exactly as they stand in the output
// of all the rows (a separator before a row that is not the first, say),
// and returns the number of the first row not appended: block.to, or an
// earlier one where the budget stopped it.
using FormatRowBlock = std::function<std::size_t(TextOutput& out, const RowBlock& block)>;

// Writes the rows [0, rows) to `out` in order, through `format`. With
// `threads` above 1 (0: one per core) and enough rows, other threads format
// blocks of rows into buffers of their own while this one formats some
// and hands all of them to `out` in order: the bytes are those of one
// format(out, {0, rows}) call. `format` is then called on several threads
// at once, and whatever it reads must not change meanwhile. At most a few
// blocks per thread are held at a time. Once `out` fails, no more rows are
// formatted. Returns out.ok().
bool WriteRowBlocks(TextOutput& out, std::size_t rows, unsigned threads,
                    const FormatRowBlock& format);

// The figures WriteRowBlocks works with: rows per block, and fewer rows
// than kRowsOnThreadsFrom are all formatted on the calling thread (starting
// a thread would cost more than it saves).
inline constexpr std::size_t kRowsPerBlock = 4096;
inline constexpr std::size_t kRowsOnThreadsFrom = 16384;
inline constexpr std::size_t kBlockBudget = std::size_t{1} << 21;

}  // namespace tallowby
