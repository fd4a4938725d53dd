// Reading and checking a partial result. A file handed to --merge may be
// anything: it is judged by its first and last bytes before its body is
// read, its body is checksummed before anything of it is kept, and what is
// kept grows only with what its entries declare and the file holds.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "OffsetValueCode.h"
#include "Partial.h"
#include "PartialLayout.h"

namespace tallowby {

namespace {

constexpr std::size_t kBlock = 1 << 16;

bool Fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

// Exactly `n` bytes from `offset`, or false with the reason in `error`.
bool ReadExactly(const PartialReadAt& file, char* to, std::size_t n, std::uint64_t offset,
                 std::string& error) {
    while (n > 0) {
        std::string why;
        const std::ptrdiff_t got = file(to, n, offset, why);
        if (got < 0) {
            return Fail(error, "read error: " + why);
        }
        if (got == 0) {
            return Fail(error, "truncated");  // it shrank while it was read
        }
        to += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::uint64_t LittleEndian(const char* bytes, int width) {
    std::uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return v;
}

// The bytes of [offset, end) of a file in order, through one block.
class BodyReader {
public:
    BodyReader(const PartialReadAt& file, std::uint64_t offset, std::uint64_t end)
        : file_(file), offset_(offset), end_(end) {}

    std::uint64_t left() const { return end_ - offset_ + (held_ - at_); }
    // After a false: true when the body ended first (the caller knows
    // which of its structures ran over), false when a read failed, which
    // error() then tells.
    bool runsOver() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool u8(std::uint8_t& v) { return number(1, v); }
    bool u32(std::uint32_t& v) { return number(4, v); }
    bool u64(std::uint64_t& v) { return number(8, v); }
    // Appends the next `n` bytes to `out` (a string or a vector of char).
    template <typename Bytes>
    bool text(std::size_t n, Bytes& out) {
        if (n > left()) {
            return false;
        }
        while (n > 0) {
            if (at_ == held_ && !fill()) {
                return false;
            }
            const std::size_t piece = std::min(n, held_ - at_);
            out.insert(out.end(), block_.get() + at_, block_.get() + at_ + piece);
            at_ += piece;
            n -= piece;
        }
        return true;
    }

private:
    template <typename T>
    bool number(int width, T& v) {
        if (held_ - at_ >= static_cast<std::size_t>(width)) {
            v = static_cast<T>(LittleEndian(block_.get() + at_, width));
            at_ += static_cast<std::size_t>(width);
            return true;
        }
        char bytes[8];
        for (int i = 0; i < width; ++i) {
            if (at_ == held_ && !fill()) {
                return false;
            }
            bytes[i] = block_[at_++];
        }
        v = static_cast<T>(LittleEndian(bytes, width));
        return true;
    }
    bool fill() {
        if (offset_ == end_) {
            return false;
        }
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, end_ - offset_));
        if (!ReadExactly(file_, block_.get(), n, offset_, error_)) {
            return false;
        }
        offset_ += n;
        at_ = 0;
        held_ = n;
        return true;
    }

    const PartialReadAt& file_;
    std::uint64_t offset_;
    const std::uint64_t end_;
    std::unique_ptr<char[]> block_{new char[kBlock]};
    std::size_t at_ = 0;
    std::size_t held_ = 0;
    std::string error_;
};

// The head and the tail: what a file must show before its body is read.
// On success `stored` is the checksum the file carries.
bool CheckEnds(const PartialReadAt& file, std::uint64_t size, std::uint32_t& stored,
               std::string& error) {
    char head[sizeof kMagic + 4];
    const auto magicSeen = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof kMagic));
    if (size == 0) {
        return Fail(error, "not a partial result");
    }
    if (!ReadExactly(file, head, magicSeen, 0, error)) {
        return false;
    }
    if (std::memcmp(head, kMagic, magicSeen) != 0) {
        return Fail(error, "not a partial result");
    }
    if (size < sizeof head) {
        return Fail(error, "truncated");
    }
    if (!ReadExactly(file, head + sizeof kMagic, 4, sizeof kMagic, error)) {
        return false;
    }
    const auto version = static_cast<std::uint32_t>(LittleEndian(head + sizeof kMagic, 4));
    if (version != kPartialVersion) {
        return Fail(error, "format version " + std::to_string(version) +
                               " is not supported (this program reads version " +
                               std::to_string(kPartialVersion) + ")");
    }
    char tail[kTrailerBytes];
    if (size < kHeadBytes + 8 + kTrailerBytes) {
        return Fail(error, "truncated");
    }
    if (!ReadExactly(file, tail, sizeof tail, size - sizeof tail, error)) {
        return false;
    }
    if (std::memcmp(tail + 4, kEndMark, sizeof kEndMark) != 0) {
        return Fail(error, "truncated");
    }
    stored = static_cast<std::uint32_t>(LittleEndian(tail, 4));
    return true;
}

// The checksum of the body, [0, end), read in blocks and kept nowhere.
bool BodyChecksum(const PartialReadAt& file, std::uint64_t end, std::uint32_t& crc,
                  std::string& error) {
    std::unique_ptr<char[]> block(new char[kBlock]);
    crc = 0;
    for (std::uint64_t at = 0; at < end;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, end - at));
        if (!ReadExactly(file, block.get(), n, at, error)) {
            return false;
        }
        crc = PartialCrc(crc, std::string_view(block.get(), n));
        at += n;
    }
    return true;
}

// The figures of a scan hang together: the duplicates removed are links
// found, and the links found and the lines hidden as spam are lines scanned.
bool CountersAgree(const PartialSummary& s) {
    const ScanCounters& c = s.counters;
    return c.duplicatesRemoved <= c.linksFound && c.linksFound + s.spamHidden <= c.linesScanned;
}

// The field counts after the options: each figure in range, no more lines
// read by their fields than lines scanned, the files named.
bool ReadFieldCounts(BodyReader& in, PartialSummary& s, std::string& error) {
    FieldCounts& f = s.counters.fields;
    std::vector<std::int64_t*> figures;
    for (std::int64_t& layout : f.layouts) {
        figures.push_back(&layout);
    }
    figures.insert(figures.end(),
                   {&f.noReferrer, &f.selfReferrals, &f.crawlers, &f.crawlersLeftOut});
    for (std::int64_t* figure : figures) {
        std::uint64_t v = 0;
        if (!in.u64(v)) {
            return Fail(error, in.runsOver() ? "corrupt (field counts run past the end)"
                                             : in.error());
        }
        if (v > static_cast<std::uint64_t>(kMaxFigure)) {
            return Fail(error, "corrupt (a counter is out of range)");
        }
        *figure = static_cast<std::int64_t>(v);
    }
    if (f.lines() > s.counters.linesScanned || f.crawlersLeftOut > f.crawlers ||
        f.noReferrer + f.selfReferrals + f.crawlersLeftOut > f.knownLayoutLines()) {
        return Fail(error, "corrupt (the counters contradict each other)");
    }
    std::uint32_t files = 0;
    if (!in.u32(files) || files > in.left() / 4) {
        return Fail(error, "corrupt (field counts run past the end)");
    }
    for (std::uint32_t i = 0; i < files; ++i) {
        std::uint32_t length = 0;
        std::string file;
        if (!in.u32(length) || !in.text(length, file)) {
            return Fail(error, in.runsOver() ? "corrupt (field counts run past the end)"
                                             : in.error());
        }
        f.filesOfNoKnownLayout.push_back(std::move(file));
    }
    return true;
}

// The head's fields after the version, and the options.
bool ReadSummary(BodyReader& in, PartialSummary& s, std::string& error) {
    // The file is long enough for the head: only a read error stops these.
    std::uint32_t flags = 0;
    if (!in.u32(flags)) {
        return Fail(error, in.error());
    }
    if ((flags & ~(kFlagCollapsed | kFlagIncomplete | kFlagFieldCounts)) != 0) {
        return Fail(error, "corrupt (unknown flags)");
    }
    s.collapsed = (flags & kFlagCollapsed) != 0;
    s.inputsIncomplete = (flags & kFlagIncomplete) != 0;
    std::int64_t* figures[] = {&s.counters.filesDone, &s.counters.linesScanned,
                               &s.counters.linksFound, &s.counters.duplicatesRemoved,
                               &s.spamHidden};
    for (std::int64_t* figure : figures) {
        std::uint64_t v = 0;
        if (!in.u64(v)) {
            return Fail(error, in.error());
        }
        if (v > static_cast<std::uint64_t>(kMaxFigure)) {
            return Fail(error, "corrupt (a counter is out of range)");
        }
        *figure = static_cast<std::int64_t>(v);
    }
    if (!CountersAgree(s)) {
        return Fail(error, "corrupt (the counters contradict each other)");
    }
    std::uint32_t optionCount = 0;
    if (!in.u32(optionCount)) {
        return Fail(error, in.error());
    }
    if (optionCount > kMaxOptions) {
        return Fail(error, "corrupt (too many options)");
    }
    for (std::uint32_t i = 0; i < optionCount; ++i) {
        std::uint32_t length = 0;
        std::string option;
        if (!in.u32(length) || !in.text(length, option)) {
            return Fail(error, in.runsOver() ? "corrupt (options run past the end)" : in.error());
        }
        s.options.push_back(std::move(option));
    }
    return (flags & kFlagFieldCounts) == 0 || ReadFieldCounts(in, s, error);
}

// The entries, checked one by one as they come; their texts go one after
// the other into out.bytes.
bool ReadEntries(BodyReader& in, Partial& out, std::string& error) {
    const bool collapsed = out.summary.collapsed;
    std::uint64_t entryCount = 0;
    if (!in.u64(entryCount) || entryCount > in.left() / kEntryFixedBytes) {
        return Fail(error, "corrupt (entry count does not fit the file)");
    }
    // Room for every text the file can hold besides the entries' fixed
    // fields. Each text is checked against what is left of that room before
    // it is read, so the room never grows and the texts never move.
    const std::uint64_t room = in.left() - entryCount * kEntryFixedBytes;
    out.bytes.reserve(static_cast<std::size_t>(room));
    out.entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entryCount, kBlock)));
    std::int64_t arrivals = 0;
    std::int64_t lastPosition = -1;
    std::string_view previous;
    for (std::uint64_t i = 0; i < entryCount; ++i) {
        std::uint64_t position = 0;
        std::uint64_t count = 0;
        std::uint8_t type = 0;
        std::uint8_t bot = 0;
        std::uint32_t length = 0;
        const std::size_t start = out.bytes.size();
        if (!in.u64(position) || !in.u64(count) || !in.u8(type) || !in.u8(bot) || !in.u32(length) ||
            length > room - start || !in.text(length, out.bytes)) {
            return Fail(error, in.runsOver() ? "corrupt (entries run past the end)" : in.error());
        }
        const std::string_view referrer(out.bytes.data() + start, length);
        if (type >= kTypeCodeCount || bot > 1) {
            return Fail(error, "corrupt (bad type code)");
        }
        if (collapsed ? (count < 1 || count > static_cast<std::uint64_t>(kMaxFigure))
                      : count != 0) {
            return Fail(error, "corrupt (bad click count)");
        }
        if (position > static_cast<std::uint64_t>(kMaxFigure)) {
            return Fail(error, "corrupt (a position lies beyond the entries)");
        }
        std::uint64_t code = kCodeEqual;
        if (!CodeAgainst(previous, referrer, code) ||
            (i > 0 && code == kCodeEqual &&
             out.entries.back().position >= static_cast<std::int64_t>(position))) {
            return Fail(error, "corrupt (entries out of order)");
        }
        previous = referrer;
        lastPosition = std::max(lastPosition, static_cast<std::int64_t>(position));
        arrivals += collapsed ? static_cast<std::int64_t>(count) : 1;
        if (arrivals > kMaxFigure) {
            return Fail(error, "corrupt (click counts out of range)");
        }
        out.entries.push_back(PartialEntry{referrer, static_cast<std::int64_t>(position),
                                           static_cast<std::int64_t>(count),
                                           static_cast<TypeCode>(type), bot == 1, code});
    }
    if (in.left() != 0) {
        return Fail(error, "corrupt (bytes after the last entry)");
    }
    // Every position names one arrival of the partial's own scan.
    if (lastPosition >= arrivals) {
        return Fail(error, "corrupt (a position lies beyond the entries)");
    }
    // Each referring line stands in the entries once: as an entry of its
    // own, or counted in its referrer's clicks, where the duplicates
    // removed are the lines beyond each referrer's first.
    const ScanCounters& c = out.summary.counters;
    if (arrivals != c.linksFound ||
        static_cast<std::int64_t>(entryCount) != c.linksFound - c.duplicatesRemoved) {
        return Fail(error, "corrupt (the counters do not match the entries)");
    }
    out.arrivals = arrivals;
    return true;
}

bool Decode(const PartialReadAt& file, std::uint64_t size, Partial& out, std::string& error) {
    out = Partial{};
    std::uint32_t stored = 0;
    if (!CheckEnds(file, size, stored, error)) {
        return false;
    }
    const std::uint64_t bodyEnd = size - kTrailerBytes;
    std::uint32_t crc = 0;
    if (!BodyChecksum(file, bodyEnd, crc, error)) {
        return false;
    }
    if (crc != stored) {
        return Fail(error, "corrupt (checksum mismatch)");
    }
    BodyReader in(file, sizeof kMagic + 4, bodyEnd);
    return ReadSummary(in, out.summary, error) && ReadEntries(in, out, error);
}

}  // namespace

bool DecodePartial(std::string bytes, Partial& out, std::string& error) {
    const PartialReadAt inMemory = [&bytes](char* to, std::size_t capacity, std::uint64_t offset,
                                            std::string&) -> std::ptrdiff_t {
        if (offset >= bytes.size()) {
            return 0;
        }
        return static_cast<std::ptrdiff_t>(
            bytes.copy(to, capacity, static_cast<std::size_t>(offset)));
    };
    return Decode(inMemory, bytes.size(), out, error);
}

bool DecodePartialAt(const PartialReadAt& readAt, std::uint64_t size, Partial& out,
                     std::string& error) {
    try {
        return Decode(readAt, size, out, error);
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }
}

}  // namespace tallowby
