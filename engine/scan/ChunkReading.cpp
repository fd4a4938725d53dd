// The reading side of ChunkedLines: the calling thread cuts the input into
// chunks of whole lines, taken where the source's bytes lie or copied, and
// gathers a line longer than a block on its own (LongLine).
#include <algorithm>
#include <cstring>
#include <exception>

#include "ChunkedLines.h"
#include "engine/read/LineEnds.h"

namespace tallowby {

std::size_t ChunkedLines::gather(std::size_t want, std::ptrdiff_t first, bool& ended, bool& failed,
                                 const std::function<std::ptrdiff_t(std::size_t)>& more) {
    std::size_t got = 0;
    for (std::ptrdiff_t n = first;; n = more(got)) {
        if (n < 0) {
            failed = true;
            readError_ = source_.error();
            break;
        }
        if (n == 0) {
            ended = true;
            break;
        }
        got += static_cast<std::size_t>(n);
        position_ += static_cast<std::uint64_t>(n);
        if (got >= want) {
            break;
        }
    }
    return got;
}

bool ChunkedLines::takeInPlace(std::string_view& all, bool& ended, bool& failed) {
    // The unfinished line after the last chunk lies just before the next
    // bytes: a chunk starts there. A line longer than a block comes in
    // takes that double, as reads do.
    const std::size_t carried = carriedInPlace_.size();
    const std::size_t want = std::max(block_, carried);
    const char* at = nullptr;
    const std::ptrdiff_t first = source_.take(at, want);
    if (first == ByteSource::kNotInPlace) {
        return false;  // only ever on the first take: the source copies
    }
    inPlace_ = InPlace::Yes;
    const char* const start = carried > 0 ? carriedInPlace_.data() : at;
    const std::size_t got = gather(want, first, ended, failed,
                                   [&](std::size_t got) { return source_.take(at, want - got); });
    all = std::string_view(start, carried + got);
    if (cutAt_ == ByteSource::kNotCut) {
        cutAt_ = source_.cutAt();
    }
    if (cutAt_ != ByteSource::kNotCut && cutAt_ <= position_) {
        ended = true;  // cut short: nothing after this is read (endsAtCut() ends the lines)
    }
    return true;
}

std::unique_ptr<ChunkedLines::Chunk> ChunkedLines::spareChunk() {
    if (spare_.empty()) {
        return std::make_unique<Chunk>();
    }
    std::unique_ptr<Chunk> chunk = std::move(spare_.back());
    spare_.pop_back();
    return chunk;
}

bool ChunkedLines::readChunk() {
    if (long_.active()) {
        return readLong();
    }
    std::unique_ptr<Chunk> chunk = spareChunk();
    std::string_view all;
    bool ended = false;
    bool failed = false;
    if (inPlace_ == InPlace::No || !takeInPlace(all, ended, failed)) {
        inPlace_ = InPlace::No;
        if (!readCopied(*chunk, all, ended, failed)) {
            return false;
        }
    }
    return queueChunk(std::move(chunk), all, ended, failed);
}

bool ChunkedLines::readCopied(Chunk& chunk, std::string_view& all, bool& ended, bool& failed) {
    // A line longer than a block comes in reads that double, so it is
    // copied a few times, not once per block. The carried bytes go just
    // before the place the reads start (ReadPlace).
    const std::size_t carried = carry_.size();
    const std::size_t want = std::max(block_, carried);
    if (chunk.capacity < carried + want + kReadSlack) {
        // With room for a carried line of up to a sixteenth of a block, so
        // that the buffers go round the chunks without being made afresh
        // (every new page of one costs the kernel a fault).
        const std::size_t capacity = std::max(carried, want / 16) + want + kReadSlack;
        try {
            chunk.bytes.reset(new char[capacity]);  // not zeroed
            chunk.capacity = capacity;
        } catch (const std::exception&) {
            inputEnded_ = readFailed_ = true;
            readError_ = "Line too long to hold in memory";
            return false;
        }
    }
    char* const target = ReadPlace(chunk.bytes.get() + carried, position_);
    char* const bytes = target - carried;
    if (carried > 0) {
        std::memcpy(bytes, carry_.data(), carried);
    }
    auto read = [&](std::size_t got) { return source_.read(target + got, want - got); };
    const std::size_t got = gather(want, read(0), ended, failed, read);
    all = std::string_view(bytes, carried + got);
    return true;
}

bool ChunkedLines::queueChunk(std::unique_ptr<Chunk> chunk, std::string_view all, bool ended,
                              bool failed) {
    chunk->text = all.data();
    chunk->start = position_ - all.size();  // `all` ends where the reading stands
    const std::size_t carried = inPlace_ == InPlace::Yes ? carriedInPlace_.size() : carry_.size();
    std::size_t whole;
    if (failed) {
        // What a LineReader keeps before a read error: lines with their
        // ends, a final CR being a whole line end.
        whole = !all.empty() && all.back() == kCr ? all.size() : LineReader::WholeLines(all);
        inputEnded_ = readFailed_ = true;
    } else if (ended) {
        whole = all.size();  // a last line needs no line end
        inputEnded_ = true;
    } else {
        // The bytes carried hold no line end, but for a CR that closes them:
        // the search starts there.
        const std::size_t from = carried > 0 ? carried - 1 : 0;
        const std::size_t ends = LineReader::WholeLines(all.substr(from));
        whole = ends == 0 ? 0 : from + ends;
        if (whole == 0) {
            // No line end in a block or more: a long line, gathered on its own.
            spare_.push_back(std::move(chunk));
            carry_.clear();
            carriedInPlace_ = {};
            longStart_ = position_ - all.size();
            if (!long_.begin(all, position_)) {
                inputEnded_ = readFailed_ = true;
                readError_ = kLineTooLongForMemory;
            }
            return !inputEnded_;
        }
    }
    if (inPlace_ == InPlace::Yes) {
        carriedInPlace_ = inputEnded_ ? std::string_view() : all.substr(whole);
    } else if (inputEnded_) {
        carry_.clear();
    } else {
        carry_.assign(all.substr(whole));
    }
    if (whole == 0) {
        spare_.push_back(std::move(chunk));
        return !inputEnded_;
    }
    chunk->inSource = inPlace_ == InPlace::Yes;
    enqueue(std::move(chunk), whole);
    return !inputEnded_;
}

bool ChunkedLines::readLong() {
    const bool inPlace = inPlace_ == InPlace::Yes;
    const LongLine::Step step = long_.step(source_, inPlace);
    position_ += step.consumed;
    if (step.inPlace != nullptr) {
        // The stretch is copied or counted: once no chunk before it waits,
        // its pages may go (the bytes after the line's end stay).
        bool idle;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            idle = chunks_.empty() && !current_;
        }
        if (idle) {
            source_.release(step.inPlace + (step.kind == LongLine::Step::Zeros ? step.got : 0));
        }
    }
    if (inPlace && step.kind != LongLine::Step::Failed) {
        // A file cut short while mapped ends where it now ends (endsAtCut()).
        if (cutAt_ == ByteSource::kNotCut) {
            cutAt_ = source_.cutAt();
        }
        if (cutAt_ != ByteSource::kNotCut && cutAt_ <= position_) {
            long_.truncate(cutAt_ > longStart_ ? cutAt_ - longStart_ : 0);
            inputEnded_ = true;
            return queueLong(0, step, true);
        }
    }
    switch (step.kind) {
        case LongLine::Step::Zeros:
            return true;
        case LongLine::Step::Bytes: {
            // Only the stretch can hold a line end, or the CR just before it.
            const std::size_t from = step.from - 1;
            const std::size_t ends =
                LineReader::WholeLines(std::string_view(long_.data() + from, long_.held() - from));
            return ends == 0 || queueLong(from + ends, step, false);
        }
        case LongLine::Step::End:
            inputEnded_ = true;
            return queueLong(0, step, true);
        case LongLine::Step::Failed:
            // What a LineReader keeps before a read error: a line its CR ended.
            inputEnded_ = readFailed_ = true;
            readError_ = source_.error();
            return queueLong(long_.closedByCr() ? long_.held() : 0, step, false);
        case LongLine::Step::TooLong:
            inputEnded_ = readFailed_ = true;
            readError_ = LineTooLongText(maxLine_);
            break;
        case LongLine::Step::NoMemory:
            inputEnded_ = readFailed_ = true;
            readError_ = kLineTooLongForMemory;
            break;
    }
    long_.clear();
    return false;
}

bool ChunkedLines::queueLong(std::size_t whole, const LongLine::Step& last, bool toTheEnd) {
    if (toTheEnd) {
        // The line runs to the end of the input: its zeros are written out.
        if (long_.length() > maxLine_) {
            readFailed_ = true;
            readError_ = LineTooLongText(maxLine_);
            long_.clear();
            return false;
        }
        if (!long_.settle()) {
            readFailed_ = true;
            readError_ = kLineTooLongForMemory;
            long_.clear();
            return false;
        }
        whole = long_.held();
    }
    if (whole == 0) {
        long_.clear();
        return !inputEnded_;
    }
    // What follows the whole lines goes on as a chunk's start does: where
    // the source handed it out, or copied.
    const std::string_view rest(long_.data() + whole, long_.held() - whole);
    if (inputEnded_) {
        carriedInPlace_ = {};
        carry_.clear();
    } else if (inPlace_ == InPlace::Yes) {
        carriedInPlace_ = std::string_view(last.inPlace + (whole - last.from), rest.size());
    } else {
        carry_.assign(rest);
    }
    std::unique_ptr<Chunk> chunk = spareChunk();
    chunk->text = long_.data();
    chunk->start = longStart_;
    chunk->inSource = false;
    chunk->longBytes = long_.handOver();
    enqueue(std::move(chunk), whole);
    return !inputEnded_;
}

void ChunkedLines::enqueue(std::unique_ptr<Chunk> chunk, std::size_t whole) {
    chunk->size = whole;
    chunk->mark = mark_ ? *mark_ : 0;
    // The W3C fields its lines start with; its own directives count from
    // the next chunk on.
    if (followW3c_) {
        chunk->w3c = readW3c_;
        readW3c_ =
            W3cFieldsAfter(std::string_view(chunk->text, whole), readW3c_, chunk->start == 0);
    }
    chunk->state = Chunk::Waiting;
    chunk->options.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chunks_.push_back(std::move(chunk));
    }
    if (!helpersStarted_ && ++chunksRead_ > 1) {
        startHelpers();
    }
    queued_.notify_one();
}

void ChunkedLines::readAhead() {
    while (!inputEnded_) {
        std::size_t queued;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queued = chunks_.size();
        }
        if (queued >= maxChunks_) {
            return;
        }
        readChunk();
        // A line longer than a block yields no chunk: while one builds up,
        // the lines before it are taken first, as a LineReader would (a
        // Stop inside the long line then finds them counted).
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued > 0 && chunks_.size() == queued) {
            return;
        }
    }
}

}  // namespace tallowby
