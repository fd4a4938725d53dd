#include "SpamList.h"

#include <cstring>
#include <memory>
#include <unordered_set>

#include "FileSystem.h"
#include "LineReader.h"
#include "ReferrerHost.h"
#include "TextFold.h"

namespace tallowby {

// The text of resources/referrer-spam.hosts, compiled in by the build.
extern const char* const kBuiltinSpamList;

namespace {

// FNV-1a over the folded bytes, taken from the last byte to the first: the
// running value at the start of each label is the hash of that suffix, so
// every parent domain of a host is looked up from one pass.
constexpr std::uint64_t kOffset = 14695981039346656037ull;
constexpr std::uint64_t kPrime = 1099511628211ull;

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

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '.')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

SpamList::SpamList() {
    buildTable();
}

SpamList SpamList::FromText(std::string_view text) {
    SpamList list;
    std::unordered_set<std::string> seen;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view host = Trimmed(text.substr(from, end - from));
        if (!host.empty() && host.front() != '#') {
            std::string folded(host);
            for (char& c : folded) {
                c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
            }
            if (seen.insert(folded).second) {
                list.hosts_.push_back(std::move(folded));
            }
        }
        from = end + 1;
    }
    list.buildTable();
    return list;
}

const SpamList& SpamList::Builtin() {
    static const SpamList list = FromText(kBuiltinSpamList);
    return list;
}

std::optional<SpamList> SpamList::Load(FileSystem& fs, const std::string& path,
                                       std::string& error) {
    const FileStatus status = fs.status(path);
    if (status.kind != FileKind::Regular) {
        error = status.kind == FileKind::Directory ? "Is a directory"
                : status.kind == FileKind::Other   ? "Not a regular file"
                : status.error.empty()             ? "No such file or directory"
                                                   : status.error;
        return std::nullopt;
    }
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return std::nullopt;
    }
    LineReader reader(*source);
    std::string text;
    std::string_view line;
    while (!reader.atEnd()) {
        if (reader.next(line)) {
            text.append(line);
            text += '\n';
        }
    }
    if (reader.failed()) {
        error = reader.error();
        return std::nullopt;
    }
    return FromText(text);
}

void SpamList::buildTable() {
    std::size_t size = 16;
    while (size < hosts_.size() * 4) {
        size *= 2;
    }
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    filter_.assign(std::size_t{1} << 10, 0);
    pairFilter_.assign(std::size_t{1} << 10, 0);
    oneLabelHosts_ = false;
    for (std::size_t i = 0; i < hosts_.size(); ++i) {
        const std::uint64_t h = SuffixHash(hosts_[i]);
        std::size_t slot = h & mask_;
        while (slots_[slot].host != 0) {
            slot = (slot + 1) & mask_;
        }
        slots_[slot] = Slot{h, static_cast<std::uint32_t>(i + 1)};
        SetBit(filter_, h);
        SetBit(pairFilter_, WordHash(LastTwoLabels(hosts_[i])));
        oneLabelHosts_ = oneLabelHosts_ || hosts_[i].find('.') == std::string::npos;
    }
}

bool SpamList::listed(std::uint64_t hash, std::string_view host, std::size_t from) const {
    for (std::size_t slot = hash & mask_; slots_[slot].host != 0; slot = (slot + 1) & mask_) {
        if (slots_[slot].hash == hash &&
            EqualsIgnoringCase(hosts_[slots_[slot].host - 1], host.substr(from))) {
            return true;
        }
    }
    return false;
}

bool SpamList::matchesHost(std::string_view host) const {
    if (hosts_.empty() || host.empty()) {
        return false;
    }
    if (!oneLabelHosts_ && !HasBit(pairFilter_, WordHash(LastTwoLabels(host)))) {
        return false;
    }
    std::uint64_t h = kOffset;
    for (std::size_t i = host.size(); i > 0; --i) {
        h = Step(h, host[i - 1]);
        if (i > 1 && host[i - 2] != '.') {
            continue;
        }
        if (HasBit(filter_, h) && listed(h, host, i - 1)) {
            return true;
        }
    }
    return false;
}

bool SpamList::matchesReferrer(std::string_view referrer) const {
    std::string scratch;
    return matchesHost(BrowserHost(referrer, scratch));
}

}  // namespace tallowby
