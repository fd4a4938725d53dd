#include "FileHelpers.h"

#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Compression.h"
#include "LineReader.h"

namespace tallowby {

namespace {

// Line ends in [p, end): every CR, and every LF that does not close a CR LF
// pair; `previousCr` tells whether the byte before p was a CR.
std::int64_t CountLineEnds(const char* p, const char* end, bool previousCr) {
    std::int64_t lines = 0;
    if (p < end) {
        lines += *p == '\r' || (*p == '\n' && !previousCr);
        ++p;
    }
#if defined(__SSE2__)
    // Sixteen bytes at a time, each compared with the byte before it too.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
        if ((crs | lfs) == 0) {
            continue;
        }
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
        const auto pairs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(before, cr)));
        lines += __builtin_popcount(crs) + __builtin_popcount(lfs & ~pairs);
    }
#endif
    for (; p < end; ++p) {
        lines += *p == '\r' || (*p == '\n' && p[-1] != '\r');
    }
    return lines;
}

// Counts the file's lines; with `sniff`, a file whose first block starts
// with a compression magic number is measured by its size instead.
ProgressMeasure Measure(const std::string& path, FileSystem& fs,
                        const std::function<void()>& afterBlock, bool sniff) {
    // Only ordinary files are read: a FIFO or a device could block or never end.
    const FileStatus st = fs.status(path);
    if (st.kind != FileKind::Regular) {
        return {};
    }
    std::string error;
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return {};
    }
    // Counts line ends without splitting lines: every LF that does not close
    // a CR LF pair, every CR, and a last line without a terminator.
    // A block the size of the file, up to a megabyte, left uninitialised: a
    // small file costs no megabyte. A file that grows, or reports no size
    // (procfs), just takes more reads.
    const std::size_t blockSize = LineReader::BlockFor(st.size);
    const std::unique_ptr<char[]> block(new char[blockSize]);
    std::int64_t lines = 0;
    bool previousCr = false;  // the byte before the block was CR
    bool open = false;        // bytes seen since the last line end
    for (bool first = true;; first = false) {
        std::ptrdiff_t n = source->read(block.get(), blockSize);
        if (n <= 0) {
            break;  // end of input, or a read error: the lines counted so far
        }
        if (first && sniff &&
            SniffCompression(std::string_view(block.get(), static_cast<std::size_t>(n))) !=
                Compression::None) {
            return {static_cast<std::int64_t>(st.size), true};
        }
        const char* data = block.get();
        const char* end = data + n;
        lines += CountLineEnds(data, end, previousCr);
        previousCr = end[-1] == '\r';
        open = end[-1] != '\r' && end[-1] != '\n';
        if (afterBlock) {
            afterBlock();
        }
    }
    return {lines + (open ? 1 : 0), false};
}

}  // namespace

std::int64_t CountFileLines(const std::string& path, FileSystem& fs) {
    return CountFileLines(path, fs, {});
}

std::int64_t CountFileLines(const std::string& path, FileSystem& fs,
                            const std::function<void()>& afterBlock) {
    return Measure(path, fs, afterBlock, false).units;
}

ProgressMeasure MeasureForProgress(const std::string& path, FileSystem& fs,
                                   const std::function<void()>& afterBlock) {
    return Measure(path, fs, afterBlock, true);
}

bool FileExists(const std::string& path, FileSystem& fs) {
    std::string name = FileNamePart(path);
    if (name.empty() || name[0] == '.') {
        return false;
    }
    return fs.status(path).kind == FileKind::Regular;
}

std::string FileNamePart(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    if (directory.empty()) {
        return std::string(name);
    }
    std::string path(directory);
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

}  // namespace tallowby
