#include "RangeSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Compression.h"
#include "PageSniff.h"

namespace tallowby {

namespace {

// The bytes of a piece that holds no line.
class NothingSource final : public ByteSource {
public:
    std::ptrdiff_t read(char*, std::size_t) override { return 0; }
    std::string error() const override { return {}; }
};

class Range final : public ByteSource {
public:
    Range(std::unique_ptr<PositionalFile> file, std::uint64_t start, std::uint64_t end)
        : file_(std::move(file)), start_(start), limit_(end) {}

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (!started_) {
            if (!lineStartFrom(start_, pos_)) {
                return -1;
            }
            started_ = true;
        }
        if (pos_ >= limit_ && !limitFinal_) {
            // The line that holds the byte before the end runs on to its end.
            std::uint64_t stop = 0;
            if (!lineStartFrom(limit_, stop)) {
                return -1;
            }
            limit_ = std::max(limit_, stop);
            limitFinal_ = true;
        }
        if (pos_ >= limit_ || capacity == 0) {
            return 0;
        }
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(capacity, limit_ - pos_));
        const std::ptrdiff_t n = file_->readAt(buffer, want, pos_);
        if (n < 0) {
            error_ = file_->error();
            return -1;
        }
        pos_ += static_cast<std::uint64_t>(n);
        if (n == 0) {
            limit_ = pos_;  // the file ended early
            limitFinal_ = true;
        }
        return n;
    }
    std::string error() const override { return error_; }

private:
    // The byte at `offset`, or -1 beyond the end; false on a read error.
    bool byteAt(std::uint64_t offset, int& byte) {
        char c = 0;
        const std::ptrdiff_t n = file_->readAt(&c, 1, offset);
        if (n < 0) {
            error_ = file_->error();
            return false;
        }
        byte = n == 0 ? -1 : static_cast<unsigned char>(c);
        return true;
    }

    // The first line start at or after `offset` (the end of the file when
    // no line starts there).
    bool lineStartFrom(std::uint64_t offset, std::uint64_t& found) {
        if (offset == 0) {
            found = 0;
            return true;
        }
        int before = 0;
        if (!byteAt(offset - 1, before)) {
            return false;
        }
        if (before == -1 || before == '\n') {
            found = offset;
            return true;
        }
        if (before == '\r') {
            int next = 0;
            if (!byteAt(offset, next)) {
                return false;
            }
            found = next == '\n' ? offset + 1 : offset;
            return true;
        }
        // Inside a line: find its end.
        char block[4096];
        std::uint64_t at = offset;
        for (;;) {
            const std::ptrdiff_t n = file_->readAt(block, sizeof block, at);
            if (n < 0) {
                error_ = file_->error();
                return false;
            }
            if (n == 0) {
                found = at;
                return true;
            }
            for (std::ptrdiff_t i = 0; i < n; ++i) {
                if (block[i] == '\n') {
                    found = at + static_cast<std::uint64_t>(i) + 1;
                    return true;
                }
                if (block[i] == '\r') {
                    return lineStartFrom(at + static_cast<std::uint64_t>(i) + 1, found);
                }
            }
            at += static_cast<std::uint64_t>(n);
        }
    }

    std::unique_ptr<PositionalFile> file_;
    std::uint64_t start_;
    std::uint64_t limit_;
    std::uint64_t pos_ = 0;
    bool started_ = false;
    bool limitFinal_ = false;
    std::string error_;
};

}  // namespace

std::unique_ptr<ByteSource> RangeSource(std::unique_ptr<PositionalFile> file, std::uint64_t start,
                                        std::uint64_t end) {
    return std::make_unique<Range>(std::move(file), start, end);
}

}  // namespace tallowby

namespace tallowby {

std::unique_ptr<ByteSource> RangeFileSystem::openRead(const std::string& path, std::string& error) {
    if (path != path_) {
        return inner_.openRead(path, error);
    }
    std::unique_ptr<PositionalFile> file = OpenPositionalFile(path, error);
    if (!file) {
        return nullptr;
    }
    // A compressed file's bytes have no line starts to cut at: all its lines
    // count as beginning at offset 0, so the piece that holds offset 0 reads
    // the whole file and every other piece, an empty one from 0 too, reads
    // nothing. The pieces of a file still give each line exactly once.
    char head[kPageSniffBytes];
    const std::ptrdiff_t got = file->readAt(head, sizeof head, 0);
    const std::string_view first(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (SniffCompression(first) != Compression::None) {
        if (PieceHoldsStart(start_, end_)) {
            return inner_.openRead(path, error);
        }
        return std::make_unique<NothingSource>();
    }
    // A page of the program's own is passed over by every piece alike: each
    // reads it from its start, where the scan tells it apart.
    if (LooksLikeOwnPage(first)) {
        return inner_.openRead(path, error);
    }
    return RangeSource(std::move(file), start_, end_);
}

}  // namespace tallowby
