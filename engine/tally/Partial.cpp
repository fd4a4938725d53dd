#include "Partial.h"

#include <array>
#include <functional>
#include <memory>
#include <utility>

#include "PartialLayout.h"

namespace tallowby {

namespace {

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
        crc_ = PartialCrc(crc_, buffer_);
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
    const FieldCounts& f = summary.counters.fields;
    const bool fields = !(f == FieldCounts{});
    PutU32(out, (summary.collapsed ? kFlagCollapsed : 0) |
                    (summary.inputsIncomplete ? kFlagIncomplete : 0) |
                    (fields ? kFlagFieldCounts : 0));
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
    if (fields) {
        for (const std::int64_t figure : f.layouts) {
            PutU64(out, static_cast<std::uint64_t>(figure));
        }
        for (const std::int64_t figure :
             {f.noReferrer, f.selfReferrals, f.crawlers, f.crawlersLeftOut}) {
            PutU64(out, static_cast<std::uint64_t>(figure));
        }
        PutU32(out, static_cast<std::uint32_t>(f.filesOfNoKnownLayout.size()));
        for (const std::string& file : f.filesOfNoKnownLayout) {
            PutU32(out, static_cast<std::uint32_t>(file.size()));
            out += file;
        }
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

}  // namespace

std::uint32_t PartialCrc(std::uint32_t crc, std::string_view bytes) {
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

bool EncodePartialTo(const PartialSummary& summary, const WorkList& list,
                     const std::function<bool(std::string_view piece)>& write) {
    Encoder enc([&write](std::string_view piece) { return piece.empty() || write(piece); });
    return Encode(summary, list, enc);
}

}  // namespace tallowby
