#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FileSystem.h"

namespace tallowby {

// The bytes of the lines of `file` that begin at an offset in [start, end):
// from the first line start at or after `start` to the first line start at
// or after `end`. A line starts at offset 0 and after each line end (LF, CR,
// or CR LF as one end), as LineReader splits them. Cutting a file at any
// offsets and reading the pieces in order gives each line exactly once.
std::unique_ptr<ByteSource> RangeSource(std::unique_ptr<PositionalFile> file, std::uint64_t start,
                                        std::uint64_t end);

// Whether the piece [start, end) holds a file's first byte: it starts at 0
// and is not empty. An empty piece holds nothing, not even the start of an
// empty file.
inline bool PieceHoldsStart(std::uint64_t start, std::uint64_t end) {
    return start == 0 && end > 0;
}

// Whether the piece [start, end) finishes a file of `size` bytes: it holds
// the file's last byte or, for an empty file, its start. Of pieces cut one
// after the other, exactly one does, so the pieces count the file once.
inline bool PieceFinishesFile(std::uint64_t size, std::uint64_t start, std::uint64_t end) {
    return size == 0 ? PieceHoldsStart(start, end) : start < size && end >= size;
}

}  // namespace tallowby

namespace tallowby {

// A file system in which the one path `path` reads as RangeSource of its
// lines in `range` of the real file; everything else goes to `inner`. A
// compressed file (told by its first bytes) is read whole, through `inner`,
// by the piece that holds its start, and reads as empty in any other piece.
// A page of the program's own (LooksLikeOwnPage) is read whole by every
// piece, so that each one passes over it as a scan of the whole file does.
class RangeFileSystem final : public FileSystem {
public:
    RangeFileSystem(FileSystem& inner, std::string path, std::uint64_t start, std::uint64_t end)
        : inner_(inner), path_(std::move(path)), start_(start), end_(end) {}

    FileStatus status(const std::string& path) override { return inner_.status(path); }
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        return inner_.openReplace(path, error);
    }

private:
    FileSystem& inner_;
    std::string path_;
    std::uint64_t start_;
    std::uint64_t end_;
};

}  // namespace tallowby
