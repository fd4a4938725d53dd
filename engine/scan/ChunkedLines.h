#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ChunkBatch.h"
#include "engine/match/LineMatch.h"
#include "engine/read/FileSystem.h"
#include "engine/read/LineReader.h"
#include "engine/read/LongLine.h"
#include "engine/tally/KnownIds.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

// The lines of one input, matched ahead on several threads and handed out
// in order, one at a time, as a LineReader hands them out.
//
// The calling thread (the scanning thread) does all the reading: it cuts
// the input into chunks of whole lines (LineReader::WholeLines) and queues
// them; helper threads, and the calling thread when it waits, match the
// chunks with the options published last; the calling thread takes the
// lines in order. A line's outcome is asked for with the options the
// surroundings hold for it now: when they differ from those the line was
// matched with, it is matched again on the calling thread, and the new
// options are published for the chunks not yet started. So the lines
// handed out, their outcomes and the failures are those of a LineReader
// over the same source matched line by line; only the reading runs ahead,
// by a few chunks (and no further while a line longer than a block builds up).
// Such a line is gathered as a LongLine and makes a chunk of its own memory
// with the whole lines after it, whatever the source. (The reading side is
// in ChunkReading.cpp.)
//
// With one thread there are no helpers, no chunks and no reading ahead: a
// LineReader over the source, each line matched when asked.
class ChunkedLines {
public:
    // `threads`: how many threads match (the calling thread among them),
    // at least 1. `block`: the bytes read at a time (a chunk holds about as
    // many). `maxLine`: LineReader's line limit. `mark`, if not null, is
    // read whenever a chunk has been read; mark() hands its value out with
    // the chunk's lines. The source is read on the calling thread only and
    // must outlive this object; so must `options.spam`.
    // `w3c`: the W3C fields in force where the source starts. `followW3c`:
    // the chunks note the W3C fields in force where each starts, for lines
    // read by their fields (now, or after the options change); without it
    // no chunk is searched for directives.
    ChunkedLines(ByteSource& source, unsigned threads, std::size_t block, std::size_t maxLine,
                 const MatchOptions& options, const std::uint64_t* mark = nullptr,
                 const W3cFields& w3c = {}, bool followW3c = true);
    ~ChunkedLines();
    ChunkedLines(const ChunkedLines&) = delete;
    ChunkedLines& operator=(const ChunkedLines&) = delete;

    // As LineReader: no line left (the input ended, or failed before the
    // next line: failed() and error() tell).
    bool atEnd();
    // Moves to the next line. False when atEnd() would be true.
    bool next();
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }

    // The current line's kind under the options the surroundings hold now.
    LineKind kindWith(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam,
                      const FieldRules& fields = {});
    // The current line's note (field_note) from its last kindWith().
    std::uint8_t note() const;
    // Appends the current line's referrer (its kind was Link) to `list`,
    // the same list for every line. False when the list is full.
    bool appendTo(WorkList& list);
    // What takeRest() took.
    struct Taken {
        std::size_t lines = 0;  // the lines handed out, the last one included
        std::size_t spam = 0;
        std::size_t links = 0;  // appended to the list
        bool full = false;      // the last line's referrer found the list full
    };
    // Hands out every line left in the current chunk (at most `limit`) at
    // once and appends their referrers to `list`, as next(), kindWith() and
    // appendTo() would line by line, when those options are the ones the
    // chunk was matched with; otherwise (options changed since, or one
    // thread) takes nothing. Stops after a line whose referrer found the
    // list full. The notes of the lines taken are added to `counts`.
    Taken takeRest(std::string_view ownDomain, const ReferrerRules& rules, const SpamCheck* spam,
                   const FieldRules& fields, WorkList& list, FieldCounts& counts,
                   std::size_t limit = SIZE_MAX);
    // The value of *mark when the current line was read (0 without a mark).
    std::uint64_t mark() const { return direct_ ? (mark_ ? *mark_ : 0) : markOfCurrent_; }

private:
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
        GrowingMemory longBytes;     // a long line's, given back when the chunk is done
        const char* text = nullptr;  // in `bytes`, `longBytes` or the source: where the lines start
        bool inSource = false;       // `text` lies where the source handed it out in place
        std::size_t size = 0;        // whole lines, each with its line end
        std::uint64_t start = 0;     // where `text` stands in the input
        std::uint64_t mark = 0;
        enum State { Waiting, Working, Done } state = Waiting;
        std::shared_ptr<const MatchOptions> options;  // those it was matched with
        W3cFields w3c;                                // in force where its lines start
        ChunkBatch batch;
        // Per batch variant and text: its id in the work list, all looked
        // up at the chunk's first referrer, those new to it added as they come.
        std::vector<WorkList::VariantId> listIds;
        std::vector<WorkList::TextId> textIds;
        bool looked = false;
    };

    // What each matching thread keeps from chunk to chunk.
    struct Matcher {
        std::string scratch;
        KnownIds known;
        std::size_t learnedUpTo = 0;  // of learned_
        std::vector<KnownIds::Learned> inbox;
        FieldScratch fields;
    };
    void startHelpers();
    void helperLoop();
    void work(Chunk& chunk, std::unique_lock<std::mutex>& lock, Matcher& matcher);
    Chunk* firstWaiting();
    void readAhead();
    bool readChunk();  // false when the input has ended
    // The bytes of the next chunk, with the unfinished line before them, in
    // `all`: where they lie, or read into `chunk`. False when there are none
    // (takeInPlace: the source copies; readCopied: no memory, the input ended).
    bool takeInPlace(std::string_view& all, bool& ended, bool& failed);
    bool readCopied(Chunk& chunk, std::string_view& all, bool& ended, bool& failed);
    bool queueChunk(std::unique_ptr<Chunk> chunk, std::string_view all, bool ended, bool failed);
    // The next step of the long line; queues it with the whole lines after
    // it once it has ended. False when the input has ended.
    bool readLong();
    // `whole`: the bytes of whole lines, or with `toTheEnd` all of them.
    bool queueLong(std::size_t whole, const LongLine::Step& last, bool toTheEnd);
    void enqueue(std::unique_ptr<Chunk> chunk, std::size_t whole);
    std::unique_ptr<Chunk> spareChunk();
    // Reads (or takes) until `want` bytes came, the input ended or a read
    // failed: `first` is what the first step gave, `more(got)` makes the
    // next. Returns the bytes that came.
    std::size_t gather(std::size_t want, std::ptrdiff_t first, bool& ended, bool& failed,
                       const std::function<std::ptrdiff_t(std::size_t)>& more);
    bool nextChunk();  // the next chunk in order, matched; false at the end
    const MatchOptions& currentOptions(std::string_view ownDomain, const ReferrerRules& rules,
                                       const SpamCheck* spam, const FieldRules& fields);
    // The current line matched here with `options` (one thread, or a line
    // matched again).
    void matchHere(const MatchOptions& options, std::string_view line);
    std::string_view currentLine();  // of the current chunk, split again
    void lookUp(Chunk& chunk, WorkList& list);
    bool appendVariantOf(Chunk& chunk, std::uint32_t variant, WorkList& list);

    ByteSource& source_;
    const std::size_t block_;
    const std::size_t maxLine_;
    const std::uint64_t* mark_;
    const bool direct_;
    const unsigned threads_;
    std::string scratch_;                         // the calling thread's working space
    Matcher matcher_;                             // the calling thread's, when it matches a chunk
    std::vector<KnownIds::Learned> added_;        // to learned_ when the chunk is done
    std::shared_ptr<const MatchOptions> latest_;  // the options last seen

    // One thread: the reader and the current line's match.
    std::optional<LineReader> reader_;
    std::string_view line_;
    LineMatch match_;
    // The calling thread's field reading: with one thread the W3C fields
    // follow the lines read; a line matched again starts from its chunk's.
    FieldScratch fields_;
    W3cFields readW3c_;  // the reading side's: in force after the last chunk queued
    bool followW3c_ = true;

    // Several threads.
    std::mutex mutex_;
    std::condition_variable queued_;                 // a chunk waits, or the helpers are to end
    std::condition_variable done_;                   // a chunk was matched
    std::deque<std::unique_ptr<Chunk>> chunks_;      // in input order, under mutex_
    std::shared_ptr<const MatchOptions> published_;  // for chunks not yet started
    // Every variant the scanning thread added to the list, for the matching
    // threads' KnownIds (up to what those hold).
    std::vector<KnownIds::Learned> learned_;
    bool ending_ = false;
    std::vector<std::thread> helpers_;
    bool helpersStarted_ = false;
    std::size_t chunksRead_ = 0;
    std::size_t maxChunks_;
    static constexpr unsigned kLearningThreads = 4;
    const bool learning_;  // added_ goes to learned_
    // The calling thread's side.
    std::vector<std::unique_ptr<Chunk>> spare_;
    enum class InPlace { Unknown, Yes, No } inPlace_ = InPlace::Unknown;
    std::string carry_;                // the unfinished line after the last chunk read
    LongLine long_;                    // a line longer than a block, while it builds up
    std::uint64_t longStart_ = 0;      // where it starts in the input
    std::string_view carriedInPlace_;  // the same where the source's bytes lie
    // Where the input ends when the file was found cut short while its
    // bytes were taken in place (ByteSource::cutAt).
    std::uint64_t cutAt_ = ByteSource::kNotCut;
    bool endsAtCut(Chunk& chunk);
    std::uint64_t position_ = 0;  // bytes read from the source
    bool inputEnded_ = false;
    bool readFailed_ = false;
    std::string readError_;  // why the input ended early, if it did
    std::unique_ptr<Chunk> current_;
    std::size_t next_ = 0;  // the next line of current_ to hand out
    std::uint64_t markOfCurrent_ = 0;
    // lookUp()'s working space.
    std::vector<WorkList::TextKey> textKeys_;
    std::vector<WorkList::VariantKey> variantKeys_;
    std::vector<std::uint32_t> unknown_;
    std::vector<std::uint32_t> found_;
    bool rematched_ = false;             // the current line's match is match_, made here
    std::optional<LineReader> resplit_;  // current_'s lines again, for matching here
    std::size_t resplitAt_ = 0;          // lines resplit_ has handed out
    W3cFields resplitW3c_;               // in force before resplit_'s last line
    bool failed_ = false;
    std::string error_;
};

}  // namespace tallowby
