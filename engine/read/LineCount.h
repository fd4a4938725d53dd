#pragma once

// A file's lines counted ahead of its scan, for the progress bar: by the
// line rule the scan reads with, without splitting lines.

#include <cstdint>
#include <functional>
#include <string>

#include "FileSystem.h"

namespace tallowby {

// The number of lines the scan will read from the file (the line rule of
// LineReader), uncapped. 0 when the file cannot be opened; the lines counted
// so far when reading fails part-way. The file is closed before it returns.
std::int64_t CountFileLines(const std::string& path, FileSystem& fs = RealFileSystem());
// The same, calling `afterBlock` after each block read (a megabyte or less),
// so a caller can keep a window alive through a file of gigabytes.
std::int64_t CountFileLines(const std::string& path, FileSystem& fs,
                            const std::function<void()>& afterBlock);

// How the progress bar measures a file before its scan. A plain file is
// measured in lines (as CountFileLines). A compressed one (see Compression.h)
// cannot be without decompressing it twice, so it is measured in its
// compressed bytes and the scan reports the compressed bytes consumed.
struct ProgressMeasure {
    std::int64_t units = 0;
    bool compressedBytes = false;
};
// Opens the file once. 0 units when it cannot be opened; `afterBlock` as for
// CountFileLines.
// A file of `splitFrom` bytes or more, where the file system reads at
// offsets and the machine has a second core, has its second half counted
// on another thread meanwhile (`afterBlock` still comes on the calling
// thread only).
inline constexpr std::uint64_t kCountSplitFrom = std::uint64_t{8} << 20;
ProgressMeasure MeasureForProgress(const std::string& path, FileSystem& fs,
                                   const std::function<void()>& afterBlock,
                                   std::uint64_t splitFrom = kCountSplitFrom);

}  // namespace tallowby
