#include "FileHelpers.h"

#include <cstring>
#include <memory>

#include "LineReader.h"

namespace tallowby {

std::int64_t CountFileLines(const std::string& path, FileSystem& fs) {
    // Only ordinary files are read: a FIFO or a device could block or never end.
    const FileStatus st = fs.status(path);
    if (st.kind != FileKind::Regular) {
        return 0;
    }
    std::string error;
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return 0;
    }
    // Counts line ends without splitting lines: every LF that does not close
    // a CR LF pair, every CR, and a last line without a terminator.
    // Left uninitialised: only what is read is touched.
    const std::size_t blockSize = LineReader::BlockFor(st.size);
    const std::unique_ptr<char[]> block(new char[blockSize]);
    std::int64_t lines = 0;
    bool previousCr = false;  // the byte before the block was CR
    bool open = false;        // bytes seen since the last line end
    for (;;) {
        std::ptrdiff_t n = source->read(block.get(), blockSize);
        if (n <= 0) {
            break;  // end of input, or a read error: the lines counted so far
        }
        const char* data = block.get();
        const char* end = data + n;
        std::int64_t lf = 0;
        for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', end - p)));
             ++p) {
            ++lf;
        }
        std::int64_t cr = 0;
        std::int64_t crlf = 0;
        for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\r', end - p)));
             ++p) {
            ++cr;
            if (p + 1 < end && p[1] == '\n') {
                ++crlf;
            }
        }
        if (previousCr && data[0] == '\n') {
            ++crlf;
        }
        lines += lf + cr - crlf;
        previousCr = end[-1] == '\r';
        open = end[-1] != '\r' && end[-1] != '\n';
    }
    return lines + (open ? 1 : 0);
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
