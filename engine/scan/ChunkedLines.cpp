#include "ChunkedLines.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "engine/tally/ThreadPlacement.h"

namespace tallowby {

namespace {
// A variant of the chunk the list does not hold yet.
constexpr WorkList::VariantId kNotLooked = WorkList::kNoVariant;
}  // namespace

ChunkedLines::ChunkedLines(ByteSource& source, unsigned threads, std::size_t block,
                           std::size_t maxLine, const MatchOptions& options,
                           const std::uint64_t* mark, const W3cFields& w3c, bool followW3c)
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
    fields_.w3c = w3c;
    readW3c_ = w3c;
    followW3c_ = followW3c;
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
                          matcher.scratch, matcher.known, matcher.fields, chunk.w3c);
    } catch (const std::exception&) {  // bad_alloc, length_error
        chunk.batch.fail("Not enough memory");
    }
    lock.lock();
    chunk.state = Chunk::Done;
    done_.notify_all();
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
                              matcher_.scratch, matcher_.known, matcher_.fields, chunk.w3c);
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
                                                 const ReferrerRules& rules, const SpamCheck* spam,
                                                 const FieldRules& fields) {
    if (!latest_->same(ownDomain, rules, spam, fields)) {
        latest_ = std::make_shared<const MatchOptions>(ownDomain, rules, spam, fields);
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
        resplitW3c_ = current_->w3c;
    }
    while (resplitAt_ < next_) {
        if (resplitAt_ > 0 && !line_.empty() && line_[0] == '#') {
            resplitW3c_ = W3cFieldsAfter(line_, resplitW3c_, false);
        }
        resplit_->next(line_);
        ++resplitAt_;
    }
    return line_;
}

void ChunkedLines::matchHere(const MatchOptions& options, std::string_view line) {
    if (options.readsFields()) {
        match_ = options.matchFields(line, fields_);
        return;
    }
    match_ = options.match(line, scratch_);
    // Lines read by the written rules still follow the W3C directives, for
    // a later line read by its fields.
    if (direct_ && !line.empty() && line[0] == '#') {
        fields_.w3c = W3cFieldsAfter(line, fields_.w3c, false);
    }
}

std::uint8_t ChunkedLines::note() const {
    if (direct_ || rematched_) {
        return match_.note;
    }
    return current_->batch.note(next_ - 1);
}

LineKind ChunkedLines::kindWith(std::string_view ownDomain, const ReferrerRules& rules,
                                const SpamCheck* spam, const FieldRules& fields) {
    const MatchOptions& options = currentOptions(ownDomain, rules, spam, fields);
    if (direct_) {
        matchHere(options, line_);
        return match_.kind;
    }
    if (current_->options == latest_) {
        rematched_ = false;
        return current_->batch.kind(next_ - 1);
    }
    // Matched ahead with options since changed: this line is matched again.
    rematched_ = true;
    const std::string_view line = currentLine();
    fields_.w3c = resplitW3c_;
    matchHere(options, line);
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
        return list.append(match_.referrerIn(line_), match_.type, match_.cut.bot);
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
                                           const SpamCheck* spam, const FieldRules& fields,
                                           WorkList& list, FieldCounts& counts, std::size_t limit) {
    Taken taken;
    if (direct_ || atEnd() ||
        &currentOptions(ownDomain, rules, spam, fields) != current_->options.get()) {
        return taken;
    }
    Chunk& chunk = *current_;
    const ChunkBatch& batch = chunk.batch;
    const std::size_t lines = next_ + std::min(limit, batch.lines() - next_);
    markOfCurrent_ = chunk.mark;
    while (next_ < lines) {
        const std::size_t line = next_++;
        ++taken.lines;
        if (const std::uint8_t note = batch.note(line)) {
            counts.add(note);
        }
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
