#include "Partial.h"

#include "OffsetValueCode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <utility>

namespace tallowby {

namespace {

constexpr char kMagic[8] = {'T', 'L', 'B', 'Y', 'P', 'A', 'R', 'T'};
constexpr char kEndMark[8] = {'T', 'L', 'B', 'Y', 'E', 'N', 'D', '\n'};
constexpr std::uint32_t kFlagCollapsed = 1;
constexpr std::uint32_t kFlagIncomplete = 2;
// Magic, version, flags, five counters, option count.
constexpr std::size_t kHeadBytes = 8 + 4 + 4 + 5 * 8 + 4;
constexpr std::size_t kTrailerBytes = 4 + 8;  // checksum, end mark
constexpr std::size_t kEntryFixedBytes = 8 + 8 + 1 + 1 + 4;
// No figure of a real scan comes near this, and sums of many stay far from
// overflowing.
constexpr std::int64_t kMaxFigure = std::int64_t{1} << 56;
constexpr std::size_t kChunk = 1 << 16;

// CRC-32 as zlib's crc32() computes it (reflected polynomial 0xEDB88320),
// so a reader in another language checks it with its standard library.
// Eight bytes a step with eight tables: the checksum must not be what
// reading a partial waits for.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

const CrcTables& Tables() {
    static const CrcTables tables = [] {
        CrcTables t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i) {
            for (std::size_t k = 1; k < 8; ++k) {
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
            }
        }
        return t;
    }();
    return tables;
}

std::uint32_t UpdateCrc(std::uint32_t crc, std::string_view bytes) {
    const CrcTables& t = Tables();
    crc = ~crc;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t lo = crc ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                        std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        crc = t[7][lo & 0xff] ^ t[6][(lo >> 8) & 0xff] ^ t[5][(lo >> 16) & 0xff] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; n > 0; ++p, --n) {
        crc = t[0][(crc ^ *p) & 0xff] ^ (crc >> 8);
    }
    return ~crc;
}

void PutU32(std::string& out, std::uint32_t v) {
    char bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
    out.append(bytes, 4);
}

void PutU64(std::string& out, std::uint64_t v) {
    char bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
    out.append(bytes, 8);
}

// Encodes in pieces, handing each full piece to `emit` with the checksum
// kept up to date, so a large list never stands whole in memory twice.
class Encoder {
public:
    explicit Encoder(std::function<bool(std::string_view)> emit) : emit_(std::move(emit)) {
        buffer_.reserve(kChunk + 1024);
    }
    std::string& buffer() { return buffer_; }
    bool flushIfFull() { return buffer_.size() < kChunk || flush(); }
    bool flush() {
        crc_ = UpdateCrc(crc_, buffer_);
        const bool ok = emit_(buffer_);
        buffer_.clear();
        return ok;
    }
    bool finish() {
        if (!flush()) {
            return false;
        }
        PutU32(buffer_, crc_);
        buffer_.append(kEndMark, sizeof kEndMark);
        const bool ok = emit_(buffer_);
        buffer_.clear();
        return ok;
    }

private:
    std::function<bool(std::string_view)> emit_;
    std::string buffer_;
    std::uint32_t crc_ = 0;
};

bool Encode(const PartialSummary& summary, const WorkList& list, Encoder& enc) {
    std::string& out = enc.buffer();
    out.append(kMagic, sizeof kMagic);
    PutU32(out, kPartialVersion);
    PutU32(out, (summary.collapsed ? kFlagCollapsed : 0) |
                    (summary.inputsIncomplete ? kFlagIncomplete : 0));
    const ScanCounters& c = summary.counters;
    for (const std::int64_t figure :
         {c.filesDone, c.linesScanned, c.linksFound, c.duplicatesRemoved, summary.spamHidden}) {
        PutU64(out, static_cast<std::uint64_t>(figure));
    }
    PutU32(out, static_cast<std::uint32_t>(summary.options.size()));
    for (const std::string& option : summary.options) {
        PutU32(out, static_cast<std::uint32_t>(option.size()));
        out += option;
    }
    // Entries in work-list order, so a merge of many partials is one pass
    // over all of them side by side.
    PutU64(out, list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const WorkList::Item item = list.at(i);
        PutU64(out, static_cast<std::uint64_t>(list.arrival(i)));
        PutU64(out, static_cast<std::uint64_t>(item.count));
        out += static_cast<char>(item.type);
        out += static_cast<char>(item.bot ? 1 : 0);
        PutU32(out, static_cast<std::uint32_t>(item.referrer.size()));
        out.append(item.referrer);
        if (!enc.flushIfFull()) {
            return false;
        }
    }
    return enc.finish();
}

// Bounds-checked little-endian reading of the checked body.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}
    bool u32(std::uint32_t& v) {
        if (left() < 4)
            return false;
        v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
        }
        at_ += 4;
        return true;
    }
    bool u64(std::uint64_t& v) {
        if (left() < 8)
            return false;
        v = 0;
        for (int i = 7; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
        }
        at_ += 8;
        return true;
    }
    bool u8(std::uint8_t& v) {
        if (left() < 1)
            return false;
        v = static_cast<std::uint8_t>(bytes_[at_++]);
        return true;
    }
    bool text(std::size_t n, std::string_view& v) {
        if (left() < n)
            return false;
        v = bytes_.substr(at_, n);
        at_ += n;
        return true;
    }
    std::size_t left() const { return bytes_.size() - at_; }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool Fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

}  // namespace

Partial::Partial(const Partial& other)
    : summary(other.summary), bytes(other.bytes), entries(other.entries), arrivals(other.arrivals) {
    const auto from = reinterpret_cast<std::uintptr_t>(other.bytes.data());
    for (PartialEntry& e : entries) {
        const auto at = reinterpret_cast<std::uintptr_t>(e.referrer.data());
        if (at >= from && at - from + e.referrer.size() <= other.bytes.size()) {
            e.referrer = std::string_view(bytes.data() + (at - from), e.referrer.size());
        }
    }
}

Partial& Partial::operator=(const Partial& other) {
    if (this != &other) {
        *this = Partial(other);
    }
    return *this;
}

std::string EncodePartial(const PartialSummary& summary, const WorkList& list) {
    std::string bytes;
    Encoder enc([&bytes](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
    Encode(summary, list, enc);
    return bytes;
}

bool DecodePartial(std::string bytes, Partial& out, std::string& error) {
    out = Partial{};
    out.bytes = std::move(bytes);
    const std::string_view all = out.bytes;
    const std::size_t magicSeen = std::min(all.size(), sizeof kMagic);
    if (all.compare(0, magicSeen, std::string_view(kMagic, magicSeen)) != 0 || all.empty()) {
        return Fail(error, "not a partial result");
    }
    if (all.size() < sizeof kMagic + 4) {
        return Fail(error, "truncated");
    }
    std::uint32_t version = 0;
    Cursor head(all.substr(sizeof kMagic));
    head.u32(version);
    if (version != kPartialVersion) {
        return Fail(error, "format version " + std::to_string(version) +
                               " is not supported (this program reads version " +
                               std::to_string(kPartialVersion) + ")");
    }
    if (all.size() < kHeadBytes + 8 + kTrailerBytes ||
        all.substr(all.size() - sizeof kEndMark) != std::string_view(kEndMark, sizeof kEndMark)) {
        return Fail(error, "truncated");
    }
    const std::string_view body = all.substr(0, all.size() - kTrailerBytes);
    std::uint32_t stored = 0;
    Cursor(all.substr(body.size(), 4)).u32(stored);
    if (UpdateCrc(0, body) != stored) {
        return Fail(error, "corrupt (checksum mismatch)");
    }

    Cursor in(body.substr(sizeof kMagic + 4));
    PartialSummary& s = out.summary;
    std::uint32_t flags = 0;
    in.u32(flags);
    if ((flags & ~(kFlagCollapsed | kFlagIncomplete)) != 0) {
        return Fail(error, "corrupt (unknown flags)");
    }
    s.collapsed = (flags & kFlagCollapsed) != 0;
    s.inputsIncomplete = (flags & kFlagIncomplete) != 0;
    std::int64_t* figures[] = {&s.counters.filesDone, &s.counters.linesScanned,
                               &s.counters.linksFound, &s.counters.duplicatesRemoved,
                               &s.spamHidden};
    for (std::int64_t* figure : figures) {
        std::uint64_t v = 0;
        in.u64(v);
        if (v > static_cast<std::uint64_t>(kMaxFigure)) {
            return Fail(error, "corrupt (a counter is out of range)");
        }
        *figure = static_cast<std::int64_t>(v);
    }
    std::uint32_t optionCount = 0;
    in.u32(optionCount);
    for (std::uint32_t i = 0; i < optionCount; ++i) {
        std::uint32_t length = 0;
        std::string_view option;
        if (!in.u32(length) || !in.text(length, option)) {
            return Fail(error, "corrupt (options run past the end)");
        }
        s.options.emplace_back(option);
    }
    std::uint64_t entryCount = 0;
    if (!in.u64(entryCount) || entryCount > in.left() / kEntryFixedBytes) {
        return Fail(error, "corrupt (entry count does not fit the file)");
    }
    out.entries.reserve(entryCount);
    std::int64_t arrivals = 0;
    std::int64_t lastPosition = -1;
    for (std::uint64_t i = 0; i < entryCount; ++i) {
        std::uint64_t position = 0;
        std::uint64_t count = 0;
        std::uint8_t type = 0;
        std::uint8_t bot = 0;
        std::uint32_t length = 0;
        std::string_view referrer;
        if (!in.u64(position) || !in.u64(count) || !in.u8(type) || !in.u8(bot) || !in.u32(length) ||
            !in.text(length, referrer)) {
            return Fail(error, "corrupt (entries run past the end)");
        }
        if (type >= kTypeCodeCount || bot > 1) {
            return Fail(error, "corrupt (bad type code)");
        }
        if (s.collapsed ? (count < 1 || count > static_cast<std::uint64_t>(kMaxFigure))
                        : count != 0) {
            return Fail(error, "corrupt (bad click count)");
        }
        if (position > static_cast<std::uint64_t>(kMaxFigure)) {
            return Fail(error, "corrupt (a position lies beyond the entries)");
        }
        std::uint64_t code = kCodeEqual;
        const bool first = out.entries.empty();
        if (!CodeAgainst(first ? std::string_view() : out.entries.back().referrer, referrer,
                         code) ||
            (!first && code == kCodeEqual &&
             out.entries.back().position >= static_cast<std::int64_t>(position))) {
            return Fail(error, "corrupt (entries out of order)");
        }
        lastPosition = std::max(lastPosition, static_cast<std::int64_t>(position));
        arrivals += s.collapsed ? static_cast<std::int64_t>(count) : 1;
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
    out.arrivals = arrivals;
    return true;
}

PartialFileResult WritePartial(FileSystem& fs, const std::string& path,
                               const PartialSummary& summary, const WorkList& list) {
    PartialFileResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
        }
        Encoder enc(
            [&sink](std::string_view piece) { return piece.empty() || sink->write(piece); });
        if (!Encode(summary, list, enc) || !sink->commit()) {
            result.error = sink->error();
            return result;  // the sink removes its temporary file
        }
        result.ok = true;
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

PartialFileResult ReadPartial(FileSystem& fs, const std::string& path, Partial& out) {
    PartialFileResult result;
    try {
        const FileStatus st = fs.status(path);
        if (st.kind != FileKind::Regular) {
            result.error = st.kind == FileKind::Missing
                               ? (st.error.empty() ? "No such file or directory" : st.error)
                               : "not a regular file";
            return result;
        }
        std::unique_ptr<ByteSource> source = fs.openRead(path, result.error);
        if (!source) {
            return result;
        }
        // Room for the whole file at once (and a byte more, to see its end
        // without growing), so its bytes are never moved while reading.
        std::string bytes;
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(st.size, 1u << 30)) + 1);
        std::size_t used = 0;
        for (;;) {
            if (bytes.size() == used) {
                bytes.resize(bytes.size() * 2);
            }
            const std::ptrdiff_t n = source->read(bytes.data() + used, bytes.size() - used);
            if (n < 0) {
                result.error = "read error: " + source->error();
                return result;
            }
            if (n == 0) {
                break;
            }
            used += static_cast<std::size_t>(n);
        }
        bytes.resize(used);
        result.ok = DecodePartial(std::move(bytes), out, result.error);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace tallowby
