#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FileSystem.h"

namespace tallowby {

// The failure of a line longer than `maxLine` bytes: "Line longer than N bytes".
std::string LineTooLongText(std::size_t maxLine);
// The failure of a line the system has no memory for.
inline constexpr const char* kLineTooLongForMemory = "Line too long to hold in memory";

// Memory that grows where it lies: the system moves its pages to a larger
// place rather than the bytes being copied, so a line of a gigabyte is
// never held twice while it grows, and pages not yet written cost nothing.
// Empty until the first reserve(); gives its memory back when destroyed.
class GrowingMemory {
public:
    GrowingMemory() = default;
    ~GrowingMemory() { reset(); }
    GrowingMemory(GrowingMemory&& other) noexcept;
    GrowingMemory& operator=(GrowingMemory&& other) noexcept;
    GrowingMemory(const GrowingMemory&) = delete;
    GrowingMemory& operator=(const GrowingMemory&) = delete;

    char* data() const { return data_; }
    std::size_t capacity() const { return capacity_; }
    // Makes room for at least `bytes`, keeping the bytes held; data() may
    // change. False, with nothing changed, when the system has no memory.
    bool reserve(std::size_t bytes);
    void reset();

private:
    char* data_ = nullptr;
    std::size_t capacity_ = 0;
};

// A line longer than a block, gathered a stretch at a time until it ends.
// Its bytes are held in GrowingMemory that grows to the line limit and one
// block more, never further, so a line over the limit costs that much at
// most whatever it comes from. Zero bytes after the last other byte are
// only counted, and written out when another byte comes or the line is
// taken whole: a run of NUL bytes of any length costs no memory, and a hole
// in a sparse file (ByteSource::skipZeros) is passed over unread. Such a
// hole is what a log rotated by copying and truncating keeps when its
// writer goes on at its old offset.
class LongLine {
public:
    LongLine(std::size_t block, std::size_t maxLine);

    // Starts a line with its first bytes (copied), which hold no line end but
    // may close with a CR; `position` is where they end in the input. False
    // when there is no memory for them.
    bool begin(std::string_view first, std::uint64_t position);
    bool active() const { return active_; }

    // What one step() did.
    struct Step {
        enum Kind {
            Bytes,     // a stretch came that is not all zeros: held from `from` on
            Zeros,     // only zeros came (counted), or a hole was passed over
            End,       // the input ended (the line has no line end)
            Failed,    // a read failed: the source's error() says why
            TooLong,   // the line is over the limit; nothing was read
            NoMemory,  // no memory for the stretch
        } kind = Zeros;
        std::size_t from = 0;           // Bytes: where the stretch starts in data()
        std::size_t got = 0;            // Bytes, Zeros: the stretch's length
        const char* inPlace = nullptr;  // taken in place: where the stretch lies in the source
        std::uint64_t consumed = 0;     // input passed over, read or taken
    };
    // Passes over a hole, then reads a stretch of up to a block: with take()
    // when `inPlace` (the caller releases what it no longer needs), else with
    // read(). A line end may only be in a Bytes stretch, or just before it
    // (a CR that closed the bytes held).
    Step step(ByteSource& source, bool inPlace);

    // The bytes written out so far; size() counts the zeros after them too.
    const char* data() const { return memory_.data() + offset_; }
    std::size_t held() const { return held_; }
    std::uint64_t size() const { return held_ + zeros_; }
    // The line's length: size() without a CR that closes the bytes held
    // (it ends the line, whatever follows it).
    std::uint64_t length() const;
    bool closedByCr() const;
    // Writes out the counted zeros, so that data() holds size() bytes.
    // False when there is no memory for them.
    bool settle();
    // Keeps only the first `bytes` (at most size()).
    void truncate(std::uint64_t bytes);
    // Hands over the memory (data() lies in it) and ends the line.
    GrowingMemory handOver();
    // Ends the line and gives its memory back.
    void clear();

private:
    bool room(std::size_t bytes);  // at least `bytes` after data()

    const std::size_t block_;
    const std::size_t maxLine_;
    GrowingMemory memory_;
    std::size_t offset_ = 0;  // where data() starts in memory_ (the reads' place)
    std::size_t held_ = 0;
    std::uint64_t zeros_ = 0;
    bool active_ = false;
};

}  // namespace tallowby
