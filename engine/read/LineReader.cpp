#include "LineReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "LineEnds.h"

namespace tallowby {

namespace {
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
}

LineReader::LineReader(ByteSource& source, std::size_t blockSize, std::size_t maxLine)
    : source_(&source),
      blockSize_(std::max<std::size_t>(blockSize, 1)),
      maxLine_(maxLine),
      long_(blockSize_, maxLine_) {
    // Room before the first read for its place (ReadPlace), and as much
    // again for the unfinished line moved to the front before each later one.
    buffer_.resize(blockSize_ + kReadSlack);
    data_ = ReadPlace(buffer_.data(), 0);
    nextCr_ = nextLf_ = kNone;
}

LineReader::LineReader(std::string_view bytes, std::size_t maxLine)
    : source_(nullptr),
      blockSize_(bytes.size()),
      maxLine_(maxLine),
      data_(bytes.data()),
      long_(0, maxLine) {
    end_ = bytes.size();
    bytesRead_ = bytes.size();
    eof_ = true;  // nothing more to read: fill() has nothing to do
    nextCr_ = nextLf_ = kNone;
}

std::size_t LineReader::WholeLines(std::string_view bytes) {
    const char* const data = bytes.data();
    std::size_t size = bytes.size();
    if (size > 0 && data[size - 1] == kCr) {
        --size;  // its LF may still come
    }
    if (size == 0) {
        return 0;
    }
    // The last LF, then a CR after it if there is one.
    const void* lf = memrchr(data, kLf, size);
    const std::size_t from =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : 0;
    const void* cr = from < size ? memrchr(data + from, kCr, size - from) : nullptr;
    if (cr) {
        return static_cast<std::size_t>(static_cast<const char*>(cr) - data) + 1;
    }
    return from;
}

std::size_t LineReader::BlockFor(std::uint64_t fileSize) {
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(fileSize + 1, std::uint64_t{4096}, kDefaultBlock));
}

bool LineReader::fill() {
    if (eof_ || failed_) {
        return false;
    }
    if (inLong_ && begin_ == 0) {
        return gatherLong();  // the long line has not ended yet
    }
    if (begin_ > 0) {
        // Move the unfinished line to the front, so that the read after it
        // starts at its place (ReadPlace); cached positions move with it.
        // After a long line, what followed it (less than a block) comes back
        // from the long line's memory, which is then given back.
        std::size_t shift = begin_;
        char* const to = ReadPlace(buffer_.data() + (end_ - begin_), bytesRead_) - (end_ - begin_);
        std::memmove(to, data_ + begin_, end_ - begin_);
        data_ = to;
        end_ -= shift;
        begin_ = 0;
        if (inLong_) {
            inLong_ = false;
            long_.clear();
        }
        if (nextCr_ != kNone)
            nextCr_ = nextCr_ >= shift ? nextCr_ - shift : kNone;
        if (nextLf_ != kNone)
            nextLf_ = nextLf_ >= shift ? nextLf_ - shift : kNone;
        crSearched_ = crSearched_ >= shift ? crSearched_ - shift : 0;
        lfSearched_ = lfSearched_ >= shift ? lfSearched_ - shift : 0;
    }
    if (end_ >= blockSize_) {
        // A block or more of one unfinished line: it goes on as a long line.
        if (tooLong(end_)) {
            return false;
        }
        if (!long_.begin(std::string_view(data_, end_), bytesRead_)) {
            failed_ = true;
            error_ = kLineTooLongForMemory;
            return false;
        }
        inLong_ = true;
        data_ = long_.data();
        end_ = long_.held();  // without the zeros it ends with, which are counted
        crSearched_ = lfSearched_ = end_;
        return gatherLong();
    }
    const auto used = static_cast<std::size_t>(data_ - buffer_.data()) + end_;
    std::ptrdiff_t n = source_->read(buffer_.data() + used, buffer_.size() - used);
    if (n < 0) {
        failed_ = true;
        error_ = source_->error();
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += static_cast<std::size_t>(n);
    bytesRead_ += static_cast<std::size_t>(n);
    return true;
}

bool LineReader::gatherLong() {
    for (;;) {
        const LongLine::Step step = long_.step(*source_, false);
        bytesRead_ += static_cast<std::size_t>(step.consumed);
        switch (step.kind) {
            case LongLine::Step::Zeros:
                continue;
            case LongLine::Step::Bytes:
                // The bytes before the stretch hold no line end.
                data_ = long_.data();
                end_ = long_.held();
                crSearched_ = lfSearched_ = step.from;
                nextCr_ = nextLf_ = kNone;
                return true;
            case LongLine::Step::End:
                eof_ = true;
                if (tooLong(long_.size())) {
                    return false;
                }
                if (!long_.settle()) {
                    failed_ = true;
                    error_ = kLineTooLongForMemory;
                    return false;
                }
                data_ = long_.data();
                end_ = long_.held();
                return false;
            case LongLine::Step::Failed:
                failed_ = true;
                error_ = source_->error();
                return false;
            case LongLine::Step::TooLong:
                tooLong(long_.size());
                return false;
            case LongLine::Step::NoMemory:
                failed_ = true;
                error_ = kLineTooLongForMemory;
                return false;
        }
    }
}

std::size_t LineReader::findNext(char c, std::size_t& cached, std::size_t& searched) {
    if (cached != kNone && cached >= begin_) {
        return cached;
    }
    // Nothing cached at or after begin_: search what has not been searched yet.
    std::size_t from = std::max(begin_, searched);
    const void* hit = from < end_ ? std::memchr(data_ + from, c, end_ - from) : nullptr;
    cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data_) : kNone;
    // Only the bytes before a hit are known to hold no other one.
    searched = hit ? cached + 1 : end_;
    return cached;
}

bool LineReader::tooLong(std::size_t length) {
    if (length <= maxLine_) {
        return false;
    }
    failed_ = true;
    error_ = LineTooLongText(maxLine_);
    return true;
}

bool LineReader::atEnd() {
    if (failed_) {
        return true;
    }
    for (;;) {
        if (begin_ < end_) {
            if (skipLf_) {
                skipLf_ = false;
                if (data_[begin_] == kLf) {
                    ++begin_;
                    continue;
                }
            }
            return false;
        }
        if (!fill()) {
            return true;
        }
    }
}

bool LineReader::next(std::string_view& line) {
    if (atEnd()) {
        return false;
    }
    for (;;) {
        // The first CR or LF ends the line (LineEnds.h); an LF right after
        // a CR belongs to the same end.
        std::size_t cr = findNext(kCr, nextCr_, crSearched_);
        std::size_t lf = findNext(kLf, nextLf_, lfSearched_);
        std::size_t term = std::min(cr, lf);
        if (term != kNone) {
            if (tooLong(term - begin_)) {
                return false;
            }
            line = std::string_view(data_ + begin_, term - begin_);
            begin_ = term + 1;
            if (data_[term] == kCr) {
                if (begin_ < end_) {
                    if (data_[begin_] == kLf) {
                        ++begin_;
                    }
                } else {
                    skipLf_ = true;  // the LF, if any, is in the next block
                }
            }
            return true;
        }
        if (!fill()) {
            if (failed_ || tooLong(end_ - begin_)) {
                return false;  // an unfinished line before a read error is not a line
            }
            line = std::string_view(data_ + begin_, end_ - begin_);
            begin_ = end_;
            return true;
        }
    }
}

}  // namespace tallowby
