#include "FileHelpers.h"

#include <cstring>
#include <memory>

#include "Compression.h"
#include "LineEnds.h"
#include "LineReader.h"

namespace tallowby {

namespace {

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
        previousCr = end[-1] == kCr;
        open = end[-1] != kCr && end[-1] != kLf;
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
