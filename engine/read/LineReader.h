#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"
#include "LongLine.h"

namespace tallowby {

// Splits a byte stream into lines. A line ends at CR, at LF, or at a CR LF
// pair (one line end); the terminator is not part of the line. A last line
// without a terminator is still a line; an empty input has no lines. Lines up
// to `maxLine` bytes are returned whole; a longer one ends the reading as a
// failure, since no text log holds such a line (a disk image or a file of
// zeros does) and holding it could exhaust memory. A line longer than a
// block is gathered as a LongLine: one over the limit costs the limit and a
// block at most, one of zeros nothing.
class LineReader {
public:
    static constexpr std::size_t kDefaultBlock = 1 << 20;
    static constexpr std::size_t kMaxLine = std::size_t{1} << 30;

    explicit LineReader(ByteSource& source, std::size_t blockSize = kDefaultBlock,
                        std::size_t maxLine = kMaxLine);
    // Reads the lines of bytes already in memory, without copying them: the
    // views next() returns point into `bytes`, which must outlive the reader.
    explicit LineReader(std::string_view bytes, std::size_t maxLine = kMaxLine);

    // How many bytes at the front of `bytes` are whole lines, each with its
    // line end, so that reading them alone gives the same lines as reading
    // them with whatever follows: everything up to the last LF, or up to a
    // later CR that is not the last byte (a CR at the very end may be the
    // first half of a CR LF). 0 when no such line end is there.
    static std::size_t WholeLines(std::string_view bytes);

    // The block for a file of `fileSize` bytes: the whole file and one byte
    // (so its end is seen in one read), at least 4 KB, at most the default
    // block. A small file then costs no zeroed megabyte; a file that grows,
    // or reports no size (procfs), just takes more reads.
    static std::size_t BlockFor(std::uint64_t fileSize);

    // True when no line is left: the input is exhausted, or a read failed
    // before the next line could be completed, or the next line is longer
    // than the limit (failed() tells which).
    bool atEnd();
    // Reads the next line into `line`. The view stays valid until the next
    // call of next() or atEnd(). Returns false when atEnd() would be true.
    bool next(std::string_view& line);

    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    // Bytes consumed from the source so far.
    std::size_t bytesRead() const { return bytesRead_; }

private:
    bool fill();        // reads more; false at end of input or on error
    bool gatherLong();  // fill() for a line longer than the block
    std::size_t findNext(char c, std::size_t& cached, std::size_t& searched);

    bool tooLong(std::size_t length);  // fails the reader when length > maxLine_

    ByteSource* source_;  // null: the lines of bytes in memory
    std::size_t blockSize_;
    std::size_t maxLine_;
    std::vector<char> buffer_;
    const char* data_;  // the bytes read: buffer_'s, long_'s, or those in memory
    LongLine long_;
    bool inLong_ = false;    // data_ lies in long_: a long line and what followed it
    std::size_t begin_ = 0;  // first unconsumed byte
    std::size_t end_ = 0;    // one past the last valid byte
    // Cached positions of the next CR and LF at or after begin_ (end_ = none).
    std::size_t nextCr_;
    std::size_t nextLf_;
    // How far the buffer has been searched for each terminator.
    std::size_t crSearched_ = 0;
    std::size_t lfSearched_ = 0;
    bool skipLf_ = false;  // the last line ended with CR: a following LF belongs to it
    bool eof_ = false;
    bool failed_ = false;
    std::string error_;
    std::size_t bytesRead_ = 0;
};

}  // namespace tallowby
