#include "ListFiles.h"

#include <memory>
#include <utility>

namespace tallowby {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 16;

// Why a list whose file is not a regular file cannot be read.
std::string NotReadableReason(const FileStatus& status) {
    return status.kind == FileKind::Directory ? "Is a directory"
           : status.kind == FileKind::Other   ? "Not a regular file"
           : status.error.empty()             ? "No such file or directory"
                                              : status.error;
}

// The status of the list file at `path`; false, with the reason in
// `error`, when it names no regular file.
bool ListFileStatus(FileSystem& fs, const std::string& path, FileStatus& status,
                    std::string& error) {
    status = fs.status(path);
    if (status.kind != FileKind::Regular) {
        error = NotReadableReason(status);
        return false;
    }
    return true;
}

// Reads `source` to its end into `bytes`, or until they hold more than
// `limit` bytes. False, with the reason in `error`, on a read error.
bool ReadAll(ByteSource& source, std::uint64_t limit, std::string& bytes, std::string& error) {
    char block[kReadBlock];
    for (std::ptrdiff_t n; bytes.size() <= limit && (n = source.read(block, sizeof block)) != 0;) {
        if (n < 0) {
            error = "read error: " + source.error();
            return false;
        }
        bytes.append(block, static_cast<std::size_t>(n));
    }
    return true;
}

std::string TooLargeForACrawlerList() {
    return "larger than " + std::to_string(kLargestCrawlerList >> 20) +
           " MB: too large for a crawler list";
}

}  // namespace

std::optional<SpamList> LoadSpamList(FileSystem& fs, const std::string& path, std::string& error) {
    FileStatus status;
    if (!ListFileStatus(fs, path, status, error)) {
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

std::optional<CrawlerList> LoadCrawlerList(FileSystem& fs, const std::string& path,
                                           std::string& error) {
    FileStatus status;
    if (!ListFileStatus(fs, path, status, error)) {
        return std::nullopt;
    }
    if (status.size > kLargestCrawlerList) {
        error = TooLargeForACrawlerList();
        return std::nullopt;
    }
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return std::nullopt;
    }
    std::string bytes;
    if (!ReadAll(*source, kLargestCrawlerList, bytes, error)) {
        return std::nullopt;
    }
    if (bytes.size() > kLargestCrawlerList) {  // it grew since its size was taken
        error = TooLargeForACrawlerList();
        return std::nullopt;
    }
    return CrawlerList::FromJson(bytes, error);
}

std::vector<std::string> SourceListPaths(const std::string& dir) {
    std::string folder = dir;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    std::vector<std::string> paths;
    for (const std::string_view file : {SourceLists::kSearchEnginesFile, SourceLists::kSocialsFile,
                                        SourceLists::kAiAssistantsFile}) {
        paths.push_back(folder + std::string(file));
    }
    return paths;
}

std::optional<SourceLists> LoadSourceLists(FileSystem& fs, const std::string& dir,
                                           std::string& error) {
    const std::vector<std::string> paths = SourceListPaths(dir);
    std::string texts[3];
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const FileStatus status = fs.status(paths[i]);
        std::string why;
        if (status.kind != FileKind::Regular) {
            why = NotReadableReason(status);
        } else if (status.size > kLargestSourceList) {
            why = "larger than " + std::to_string(kLargestSourceList >> 20) + " MB";
        } else if (std::unique_ptr<ByteSource> source = fs.openRead(paths[i], why); !source) {
            why = why.empty() ? "cannot be opened" : why;
        } else if (std::string failed; !ReadAll(*source, kLargestSourceList, texts[i], failed)) {
            why = source->error().empty() ? "read error" : source->error();
        } else if (texts[i].size() > kLargestSourceList) {
            why = "larger than " + std::to_string(kLargestSourceList >> 20) + " MB";
        }
        if (!why.empty()) {
            error = paths[i].substr(paths[i].rfind('/') + 1) + ": " + why;
            return std::nullopt;
        }
    }
    return SourceLists::FromYaml({texts[0], texts[1], texts[2]}, error);
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
        if (ReadAll(*source, ~std::uint64_t{0}, bytes, result.error)) {
            result.ok = DecodePartial(std::move(bytes), out, result.error);
        }
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace tallowby
