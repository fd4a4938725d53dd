#include "ChunkedLines.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <system_error>

#include "LineEnds.h"
#include "ThreadPlacement.h"

namespace tallowby {

namespace {
// A variant of the chunk the list does not hold yet.
constexpr WorkList::VariantId kNotLooked = WorkList::kNoVariant;
}  // namespace

ChunkedLines::ChunkedLines(ByteSource& source, unsigned threads, std::size_t block,
                           std::size_t maxLine, const MatchOptions& options,
                           const std::uint64_t* mark)
    : source_(source),
      block_(std::max<std::size_t>(block, 1)),
      maxLine_(maxLine),
      mark_(mark),
      direct_(threads <= 1),
      threads_(threads),
      latest_(std::make_shared<const MatchOptions>(options)),
      published_(latest_),
      // A few chunks per thread in flight: enough to keep every thread busy
      // while the scanning thread takes lines, little memory.
      maxChunks_(2 * std::size_t{threads} + 2),
      // Teaching the matching threads the list's ids costs them more than
      // it saves the scanning thread while that thread has time to spare;
      // with a few threads or more its lookups would hold all of them up.
      learning_(threads >= kLearningThreads),
      long_(block_, maxLine_) {
    if (direct_) {
        reader_.emplace(source_, block_, maxLine_);
    }
}

void ChunkedLines::startHelpers() {
    // Only once there is a second chunk: an input of one chunk starts none.
    helpersStarted_ = true;
    helpers_.reserve(threads_ - 1);  // a started thread is never left without a place
    try {
        for (unsigned i = 1; i < threads_; ++i) {
            helpers_.push_back(StartOffThisCore([this] { helperLoop(); }));
        }
    } catch (const std::system_error&) {
        // Fewer helpers than asked: the scanning thread matches what they leave.
    }
}

ChunkedLines::~ChunkedLines() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : helpers_) {
        t.join();
    }
}

void ChunkedLines::helperLoop() {
    Matcher matcher;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ending_) {
        if (Chunk* waiting = firstWaiting()) {
            work(*waiting, lock, matcher);
        } else {
            queued_.wait(lock);
        }
    }
}

ChunkedLines::Chunk* ChunkedLines::firstWaiting() {
    for (const std::unique_ptr<Chunk>& c : chunks_) {
        if (c->state == Chunk::Waiting) {
            return c.get();
        }
    }
    return nullptr;
}

void ChunkedLines::work(Chunk& chunk, std::unique_lock<std::mutex>& lock, Matcher& matcher) {
    chunk.state = Chunk::Working;
    chunk.options = published_;
    // The ids added since this thread last looked, taken while the lock is held.
    const std::size_t upTo = std::min(learned_.size(), KnownIds::kMaxVariants);
    const std::size_t from = std::min(matcher.learnedUpTo, upTo);
    matcher.inbox.assign(learned_.begin() + static_cast<std::ptrdiff_t>(from),
                         learned_.begin() + static_cast<std::ptrdiff_t>(upTo));
    matcher.learnedUpTo = upTo;
    lock.unlock();
    try {
        matcher.known.learn(matcher.inbox.data(), matcher.inbox.size());
        chunk.batch.match(std::string_view(chunk.text, chunk.size), maxLine_, *chunk.options,
                          matcher.scratch, matcher.known);
    } catch (const std::exception&) {  // bad_alloc, length_error
        chunk.batch.fail("Not enough memory");
    }
    lock.lock();
    chunk.state = Chunk::Done;
    done_.notify_all();
}

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
    const std::size_t carried =
        inPlace_ == InPlace::Yes ? carriedInPlace_.size() : carry_.size();
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

bool ChunkedLines::nextChunk() {
    if (current_) {
        if (current_->inSource) {
            source_.release(current_->text + current_->size);
        }
        current_->longBytes.reset();
        spare_.push_back(std::move(current_));
    }
    resplit_.reset();
    readAhead();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!added_.empty()) {
        if (learning_ && learned_.size() < KnownIds::kMaxVariants) {
            learned_.insert(learned_.end(), added_.begin(), added_.end());
        }
        added_.clear();
    }
    if (chunks_.empty()) {
        return false;
    }
    Chunk& front = *chunks_.front();
    while (front.state != Chunk::Done) {
        // Rather than wait, match a chunk nobody has started.
        if (Chunk* waiting = firstWaiting()) {
            work(*waiting, lock, matcher_);
        } else {
            done_.wait(lock);
        }
    }
    current_ = std::move(chunks_.front());
    chunks_.pop_front();
    lock.unlock();
    next_ = 0;
    current_->looked = false;
    if (inPlace_ == InPlace::Yes && endsAtCut(*current_)) {
        current_->longBytes.reset();
        spare_.push_back(std::move(current_));
        return false;
    }
    return true;
}

bool ChunkedLines::endsAtCut(Chunk& chunk) {
    // The file was cut short: as a reading that came to its end there
    // would have, nothing after it is taken.
    if (cutAt_ == ByteSource::kNotCut) {
        cutAt_ = source_.cutAt();
        if (cutAt_ == ByteSource::kNotCut) {
            return false;
        }
    }
    if (chunk.start >= cutAt_) {
        inputEnded_ = true;
        return true;
    }
    if (chunk.start + chunk.size > cutAt_) {
        // Its bytes past the end may have read as zeros: matched again up
        // to the end, its last line without a line end.
        chunk.size = static_cast<std::size_t>(cutAt_ - chunk.start);
        try {
            chunk.batch.match(std::string_view(chunk.text, chunk.size), maxLine_, *chunk.options,
                              matcher_.scratch, matcher_.known);
        } catch (const std::exception&) {
            chunk.batch.fail("Not enough memory");
        }
    }
    return false;
}

bool ChunkedLines::atEnd() {
    if (direct_) {
        if (!reader_->atEnd()) {
            return false;
        }
        if (reader_->failed() && !failed_) {
            failed_ = true;
            error_ = reader_->error();
        }
        return true;
    }
    for (;;) {
        if (failed_) {
            return true;
        }
        if (current_) {
            if (next_ < current_->batch.lines()) {
                return false;
            }
            if (current_->batch.failed()) {
                failed_ = true;
                error_ = current_->batch.error();
                return true;
            }
        }
        if (!nextChunk()) {
            if (readFailed_) {
                failed_ = true;
                error_ = readError_;
            }
            return true;
        }
    }
}

bool ChunkedLines::next() {
    if (direct_) {
        return reader_->next(line_) || !atEnd();
    }
    if (atEnd()) {
        return false;
    }
    ++next_;
    markOfCurrent_ = current_->mark;
    return true;
}

const MatchOptions& ChunkedLines::currentOptions(std::string_view ownDomain,
                                                 const ReferrerRules& rules, const SpamList* spam) {
    if (!latest_->same(ownDomain, rules, spam)) {
        latest_ = std::make_shared<const MatchOptions>(ownDomain, rules, spam);
        if (!direct_) {
            std::lock_guard<std::mutex> lock(mutex_);
            published_ = latest_;
        }
    }
    return *latest_;
}

std::string_view ChunkedLines::currentLine() {
    if (!resplit_) {
        resplit_.emplace(std::string_view(current_->text, current_->size), maxLine_);
        resplitAt_ = 0;
    }
    while (resplitAt_ < next_) {
        resplit_->next(line_);
        ++resplitAt_;
    }
    return line_;
}

LineKind ChunkedLines::kindWith(std::string_view ownDomain, const ReferrerRules& rules,
                                const SpamList* spam) {
    const MatchOptions& options = currentOptions(ownDomain, rules, spam);
    if (direct_) {
        match_ = options.match(line_, scratch_);
        return match_.kind;
    }
    if (current_->options == latest_) {
        rematched_ = false;
        return current_->batch.kind(next_ - 1);
    }
    // Matched ahead with options since changed: this line is matched again.
    rematched_ = true;
    match_ = options.match(currentLine(), scratch_);
    return match_.kind;
}

void ChunkedLines::lookUp(Chunk& chunk, WorkList& list) {
    // The ids the matching thread knew, then what the list holds of the
    // rest, found all together (the lookups overlap their waits on
    // memory); nothing is added here.
    const ChunkBatch& batch = chunk.batch;
    chunk.textIds.resize(batch.texts());
    textKeys_.clear();
    unknown_.clear();
    for (std::uint32_t t = 0; t < batch.texts(); ++t) {
        chunk.textIds[t] = batch.listText(t);
        if (chunk.textIds[t] == WorkList::kNoText) {
            textKeys_.push_back(batch.text(t));
            unknown_.push_back(t);
        }
    }
    found_.resize(unknown_.size());
    list.findTexts(textKeys_.data(), textKeys_.size(), found_.data());
    for (std::size_t k = 0; k < unknown_.size(); ++k) {
        chunk.textIds[unknown_[k]] = found_[k];
    }
    chunk.listIds.resize(batch.variants());
    variantKeys_.clear();
    unknown_.clear();
    for (std::uint32_t v = 0; v < batch.variants(); ++v) {
        chunk.listIds[v] = batch.listVariant(v);
        const ChunkBatch::Variant& variant = batch.variant(v);
        if (chunk.listIds[v] == WorkList::kNoVariant &&
            chunk.textIds[variant.text] != WorkList::kNoText) {
            variantKeys_.push_back({chunk.textIds[variant.text], variant.type, variant.bot});
            unknown_.push_back(v);
        }
    }
    found_.resize(unknown_.size());
    list.findVariants(variantKeys_.data(), variantKeys_.size(), found_.data());
    for (std::size_t k = 0; k < unknown_.size(); ++k) {
        chunk.listIds[unknown_[k]] = found_[k];
    }
    chunk.looked = true;
}

bool ChunkedLines::appendTo(WorkList& list) {
    if (direct_ || rematched_) {
        return list.append(line_.substr(match_.cut.position, match_.cut.length), match_.type,
                           match_.cut.bot);
    }
    return appendVariantOf(*current_, current_->batch.variantOf(next_ - 1), list);
}

bool ChunkedLines::appendVariantOf(Chunk& chunk, std::uint32_t v, WorkList& list) {
    if (!chunk.looked) {
        lookUp(chunk, list);
    }
    WorkList::VariantId& id = chunk.listIds[v];
    if (id == kNotLooked) {
        // New to the list: added now, in line order, as one thread adds it.
        const ChunkBatch::Variant& variant = chunk.batch.variant(v);
        const ChunkBatch::Text& text = chunk.batch.text(variant.text);
        WorkList::TextId& known = chunk.textIds[variant.text];
        WorkList::VariantId found;
        if (known != WorkList::kNoText
                ? !list.variantOfText(known, variant.type, variant.bot, found)
                : !list.variantFor(text.bytes, text.hash, variant.type, variant.bot, found)) {
            return false;
        }
        id = found;
        known = list.textOf(found);  // for the text's other variants in this chunk
        if (learning_)
            added_.push_back(
                {list.textBytes(known), text.hash, known, variant.type, variant.bot, id});
    }
    return list.appendVariant(id);
}

ChunkedLines::Taken ChunkedLines::takeRest(std::string_view ownDomain, const ReferrerRules& rules,
                                           const SpamList* spam, WorkList& list,
                                           std::size_t limit) {
    Taken taken;
    if (direct_ || atEnd() || &currentOptions(ownDomain, rules, spam) != current_->options.get()) {
        return taken;
    }
    Chunk& chunk = *current_;
    const ChunkBatch& batch = chunk.batch;
    const std::size_t lines = next_ + std::min(limit, batch.lines() - next_);
    markOfCurrent_ = chunk.mark;
    while (next_ < lines) {
        const std::size_t line = next_++;
        ++taken.lines;
        switch (batch.kind(line)) {
            case LineKind::None:
                break;
            case LineKind::Spam:
                ++taken.spam;
                break;
            case LineKind::Link:
                if (!appendVariantOf(chunk, batch.variantOf(line), list)) {
                    taken.full = true;
                    return taken;
                }
                ++taken.links;
                break;
        }
    }
    return taken;
}

}  // namespace tallowby
