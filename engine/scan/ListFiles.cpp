#include "ListFiles.h"

#include <memory>
#include <utility>

namespace tallowby {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 16;

}  // namespace

std::optional<SpamList> LoadSpamList(FileSystem& fs, const std::string& path, std::string& error) {
    const FileStatus status = fs.status(path);
    if (status.kind != FileKind::Regular) {
        error = status.kind == FileKind::Directory ? "Is a directory"
                : status.kind == FileKind::Other   ? "Not a regular file"
                : status.error.empty()             ? "No such file or directory"
                                                   : status.error;
        return std::nullopt;
    }
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return std::nullopt;
    }
    return SpamList::FromBlocks(
        [&source](char* to, std::size_t capacity, std::string& why) {
            const std::ptrdiff_t n = source->read(to, capacity);
            if (n < 0) {
                why = source->error();
            }
            return n;
        },
        error);
}

PartialFileResult WritePartial(FileSystem& fs, const std::string& path,
                               const PartialSummary& summary, const WorkList& list) {
    PartialFileResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
        }
        if (!EncodePartialTo(summary, list,
                             [&sink](std::string_view piece) { return sink->write(piece); }) ||
            !sink->commit()) {
            result.error = sink->error();
            return result;  // the sink removes its temporary file
        }
        result.ok = true;
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

PartialFileResult ReadPartial(FileSystem& fs, const std::string& path, Partial& out) {
    PartialFileResult result;
    try {
        const FileStatus st = fs.status(path);
        if (st.kind != FileKind::Regular) {
            result.error = st.kind == FileKind::Missing
                               ? (st.error.empty() ? "No such file or directory" : st.error)
                               : "not a regular file";
            return result;
        }
        std::unique_ptr<PositionalFile> file = fs.openPositional(path, result.error);
        if (file) {
            const PartialReadAt readAt = [&file](char* to, std::size_t capacity,
                                                 std::uint64_t offset,
                                                 std::string& why) -> std::ptrdiff_t {
                const std::ptrdiff_t n = file->readAt(to, capacity, offset);
                if (n < 0) {
                    why = file->error();
                }
                return n;
            };
            result.ok = DecodePartialAt(readAt, st.size, out, result.error);
            return result;
        }
        if (!result.error.empty()) {
            return result;
        }
        // A file system that reads only in order: the whole file, then the
        // same checks on it in memory.
        std::unique_ptr<ByteSource> source = fs.openRead(path, result.error);
        if (!source) {
            return result;
        }
        std::string bytes;
        char block[kReadBlock];
        for (std::ptrdiff_t n; (n = source->read(block, sizeof block)) != 0;) {
            if (n < 0) {
                result.error = "read error: " + source->error();
                return result;
            }
            bytes.append(block, static_cast<std::size_t>(n));
        }
        result.ok = DecodePartial(std::move(bytes), out, result.error);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace tallowby
