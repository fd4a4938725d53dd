#include "SpamList.h"

#include <cstring>

#include "engine/match/ReferrerHost.h"
#include "engine/match/TextFold.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

// The text of resources/referrer-spam.hosts, compiled in by the build.
extern const char* const kBuiltinSpamList;

namespace {

// FNV-1a over the folded bytes, taken from the last byte to the first: the
// running value at the start of each label is the hash of that suffix, so
// every parent domain of a host is looked up from one pass.
constexpr std::uint64_t kOffset = 14695981039346656037ull;
constexpr std::uint64_t kPrime = 1099511628211ull;

// A list file is read in blocks of this size, whatever its lines.
constexpr std::size_t kReadBlock = std::size_t{1} << 16;
constexpr const char* kTooManyHosts = "more hosts than one list can hold (4 GB of them)";

inline std::size_t FilterBit(std::uint64_t h) {
    return static_cast<std::size_t>(h >> 48);
}

inline void SetBit(std::vector<std::uint64_t>& filter, std::uint64_t h) {
    filter[FilterBit(h) >> 6] |= std::uint64_t{1} << (FilterBit(h) & 63);
}

inline bool HasBit(const std::vector<std::uint64_t>& filter, std::uint64_t h) {
    return (filter[FilterBit(h) >> 6] >> (FilterBit(h) & 63) & 1) != 0;
}

// A hash of the folded bytes of `text`, eight at a time: the quick first
// test of every host, so it must cost next to nothing.
std::uint64_t WordHash(std::string_view text) {
    constexpr std::uint64_t kMul = 0x9e3779b97f4a7c15ull;
    const char* p = text.data();
    const std::size_t n = text.size();
    auto load64 = [](const char* at) {
        std::uint64_t w;
        std::memcpy(&w, at, 8);
        return w;
    };
    auto load32 = [](const char* at) {
        std::uint32_t w;
        std::memcpy(&w, at, 4);
        return std::uint64_t{w};
    };
    std::uint64_t h = n * kMul;
    auto mix = [&h](std::uint64_t word) {
        h = (h ^ FoldedWord(word)) * kMul;
        h ^= h >> 29;
    };
    // Fixed-size loads only, overlapping at the end: no call to memcpy.
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8) {
            mix(load64(p + i));
        }
        mix(load64(p + n - 8));
    } else if (n >= 4) {
        mix(load32(p) << 32 | load32(p + n - 4));
    } else if (n > 0) {
        mix(std::uint64_t{static_cast<unsigned char>(p[0])} << 16 |
            std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
            static_cast<unsigned char>(p[n - 1]));
    }
    return h;
}

// The last two labels of `host` (all of it when it has fewer).
std::string_view LastTwoLabels(std::string_view host) {
    const std::size_t last = host.rfind('.');
    if (last == std::string_view::npos || last == 0) {
        return host;
    }
    const std::size_t before = host.rfind('.', last - 1);
    return before == std::string_view::npos ? host : host.substr(before + 1);
}

inline std::uint64_t Step(std::uint64_t h, char c) {
    return (h ^ FoldByte(static_cast<unsigned char>(c))) * kPrime;
}

std::uint64_t SuffixHash(std::string_view host) {
    std::uint64_t h = kOffset;
    for (std::size_t i = host.size(); i > 0; --i) {
        h = Step(h, host[i - 1]);
    }
    return h;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

// Splits the bytes of a list into hosts as they arrive, in pieces of any
// size, and lists each: what a host line holds is never kept beyond
// kLongestHost bytes.
class SpamList::Reading {
public:
    explicit Reading(SpamList& list) : list_(list) {}

    // Takes the next bytes. False when the list cannot hold another host.
    bool feed(std::string_view bytes) {
        const char* const base = bytes.data();
        const char* const stop = base + bytes.size();
        const char* at = base;
        const char* nextLf = nullptr;  // the next LF at or after `at`, or `stop`
        while (at < stop) {
            if (nextLf == nullptr || nextLf < at) {
                const void* lf = std::memchr(at, '\n', static_cast<std::size_t>(stop - at));
                nextLf = lf != nullptr ? static_cast<const char*>(lf) : stop;
            }
            const void* cr = std::memchr(at, '\r', static_cast<std::size_t>(nextLf - at));
            const char* end = cr != nullptr ? static_cast<const char*>(cr) : nextLf;
            take(std::string_view(at, static_cast<std::size_t>(end - at)));
            if (end == stop) {
                break;
            }
            if (!endLine()) {
                return false;
            }
            at = end + 1;
        }
        return true;
    }

    // Ends the last line, which may have no line end.
    bool finish() { return endLine(); }

private:
    // The bytes of the current line in `part`.
    void take(std::string_view part) {
        if (comment_ || overlong_) {
            return;
        }
        if (!started_) {
            while (!part.empty() && Blank(part.front())) {
                part.remove_prefix(1);
            }
            if (part.empty()) {
                return;
            }
            started_ = true;
            comment_ = part.front() == '#';
            if (comment_) {
                return;
            }
        }
        const std::size_t room = kLongestHost - host_.size();
        host_.append(part.substr(0, room));
        // Beyond the room, only what trimming drops may follow.
        if (part.size() > room && part.find_first_not_of(" \t.", room) != std::string_view::npos) {
            overlong_ = true;
        }
    }

    bool endLine() {
        bool ok = true;
        if (overlong_) {
            ++list_.skipped_;
        } else {
            while (!host_.empty() && (Blank(host_.back()) || host_.back() == '.')) {
                host_.pop_back();
            }
            if (!comment_ && !host_.empty()) {
                for (char& c : host_) {
                    c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
                }
                ok = list_.add(host_);
            }
        }
        host_.clear();
        started_ = comment_ = overlong_ = false;
        return ok;
    }

    SpamList& list_;
    std::string host_;       // the line so far, from its first byte that is not blank
    bool started_ = false;   // a byte that is not blank seen on this line
    bool comment_ = false;   // and the first was "#"
    bool overlong_ = false;  // more than kLongestHost bytes before its trailing blanks and dots
};

SpamList::SpamList()
    : slots_(16),
      mask_(15),
      shift_(60),
      filter_(std::size_t{1} << 10),
      pairFilter_(std::size_t{1} << 10) {}

SpamList SpamList::FromText(std::string_view text) {
    SpamList list;
    Reading reading(list);
    // A text in memory is far below what a list can hold.
    reading.feed(text);
    reading.finish();
    return list;
}

const SpamList& SpamList::Builtin() {
    static const SpamList list = FromText(kBuiltinSpamList);
    return list;
}

std::optional<SpamList> SpamList::FromBlocks(const BlockSource& next, std::string& error) {
    SpamList list;
    Reading reading(list);
    const std::unique_ptr<char[]> block(new char[kReadBlock]);
    for (;;) {
        const std::ptrdiff_t n = next(block.get(), kReadBlock, error);
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (!reading.feed(std::string_view(block.get(), static_cast<std::size_t>(n)))) {
            error = kTooManyHosts;
            return std::nullopt;
        }
    }
    if (!reading.finish()) {
        error = kTooManyHosts;
        return std::nullopt;
    }
    return list;
}

std::string_view SpamList::hostAt(std::uint32_t id) const {
    const char* at = blocks_[id / kBlock].get() + id % kBlock;
    return std::string_view(at + 1, static_cast<unsigned char>(at[0]));
}

void SpamList::place(std::uint64_t hash, std::uint32_t id) {
    std::size_t slot = home(hash);
    while (slots_[slot].id != kFree) {
        slot = (slot + 1) & mask_;
    }
    slots_[slot] = Slot{static_cast<std::uint32_t>(hash >> 32), id};
}

void SpamList::grow() {
    const std::size_t size = slots_.size() * 2;
    std::vector<Slot>().swap(slots_);  // the old table goes first: it is not read
    slots_.resize(size);
    mask_ = size - 1;
    --shift_;
    // The hosts are placed again in the order they lie, so they are read
    // from memory front to back.
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const char* const block = blocks_[b].get();
        const std::size_t used = b + 1 == blocks_.size() ? blockUsed_ : kBlock;
        for (std::size_t at = 0; at < used && block[at] != 0;
             at += 1 + static_cast<unsigned char>(block[at])) {
            const std::uint32_t id = static_cast<std::uint32_t>(b * kBlock + at);
            place(SuffixHash(hostAt(id)), id);
        }
    }
}

bool SpamList::add(std::string_view host) {
    const std::uint64_t h = SuffixHash(host);
    if (listed(h, host, 0)) {
        return true;
    }
    if ((count_ + 1) * 2 > slots_.size()) {
        grow();
    }
    if (blockUsed_ + 1 + host.size() > kBlock) {
        // Places stay below kFree: the last block is never opened.
        if (blocks_.size() + 1 >= kFree / kBlock) {
            return false;
        }
        if (!blocks_.empty() && blockUsed_ < kBlock) {
            blocks_.back()[blockUsed_] = 0;  // no host has length 0: the block ends here
        }
        blocks_.emplace_back(new char[kBlock]);
        blockUsed_ = 0;
    }
    const std::uint32_t id = static_cast<std::uint32_t>((blocks_.size() - 1) * kBlock + blockUsed_);
    char* const at = blocks_.back().get() + blockUsed_;
    at[0] = static_cast<char>(host.size());
    std::memcpy(at + 1, host.data(), host.size());
    blockUsed_ += 1 + host.size();
    place(h, id);
    ++count_;
    SetBit(filter_, h);
    SetBit(pairFilter_, WordHash(LastTwoLabels(host)));
    oneLabelHosts_ = oneLabelHosts_ || host.find('.') == std::string_view::npos;
    return true;
}

bool SpamList::listed(std::uint64_t hash, std::string_view host, std::size_t from) const {
    const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t slot = home(hash); slots_[slot].id != kFree; slot = (slot + 1) & mask_) {
        if (slots_[slot].tag == tag &&
            EqualsIgnoringCase(hostAt(slots_[slot].id), host.substr(from))) {
            return true;
        }
    }
    return false;
}

std::size_t SpamList::listedFrom(std::string_view host) const {
    if (count_ == 0 || host.empty()) {
        return std::string_view::npos;
    }
    if (!oneLabelHosts_ && !HasBit(pairFilter_, WordHash(LastTwoLabels(host)))) {
        return std::string_view::npos;
    }
    std::uint64_t h = kOffset;
    for (std::size_t i = host.size(); i > 0; --i) {
        h = Step(h, host[i - 1]);
        if (i > 1 && host[i - 2] != '.') {
            continue;
        }
        if (HasBit(filter_, h) && listed(h, host, i - 1)) {
            return i - 1;
        }
    }
    return std::string_view::npos;
}

bool SpamList::matchesHost(std::string_view host) const {
    return listedFrom(host) != std::string_view::npos;
}

std::string_view SpamList::listedHostOf(std::string_view host) const {
    const std::size_t from = listedFrom(host);
    return from == std::string_view::npos ? std::string_view() : host.substr(from);
}

bool SpamList::matchesReferrer(std::string_view referrer) const {
    std::string scratch;
    return matchesHost(BrowserHost(referrer, scratch));
}

std::string SkippedLinesNote(const SpamList* list) {
    if (list == nullptr || list->skippedLines() == 0) {
        return {};
    }
    std::string note = " : ";
    AppendNumber(note, static_cast<std::int64_t>(list->skippedLines()));
    return note + " spam-list lines skipped (longer than " +
           std::to_string(SpamList::kLongestHost) + " bytes)";
}

}  // namespace tallowby
