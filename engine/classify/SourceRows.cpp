#include "SourceRows.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <unordered_map>

#include "engine/match/ReferrerHost.h"
#include "engine/match/TextFold.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>()(text);
    }
};

constexpr std::size_t kNoRow = ~std::size_t{0};

// Calls rowOf(referrer, index) once for each distinct referrer of `list`,
// and count(row, clicks, first) for every entry: `row` is what rowOf gave
// for its text, `first` true on the text's first entry. Equal texts share
// their bytes in the list, and texts equal but for letter case stand
// together in its order, so a text is known again by its bytes' address
// among the texts of its group.
template <typename RowOf, typename Count>
void ForEachDistinctReferrer(const WorkList& list, RowOf rowOf, Count count) {
    struct Known {
        const char* bytes;
        std::size_t row;
    };
    std::vector<Known> group;                           // the texts met of the group
    std::unordered_map<const char*, std::size_t> many;  // a group of many texts: the rest
    std::string_view groupText;
    for (WorkList::Reader reader = list.reader(); reader.index() < list.size();) {
        const std::size_t index = reader.index();
        const WorkList::Item item = reader.next();
        const std::int64_t clicks = item.count > 0 ? item.count : 1;
        const char* bytes = item.referrer.data();
        if (!group.empty() && group.back().bytes == bytes) {
            count(group.back().row, clicks, false);
            continue;
        }
        if (group.empty() || !EqualsIgnoringCase(item.referrer, groupText)) {
            group.clear();
            if (!many.empty()) {
                many = {};
            }
            groupText = item.referrer;
        }
        std::size_t row = kNoRow;
        bool first = true;
        for (const Known& known : group) {
            if (known.bytes == bytes) {
                row = known.row;
                first = false;
            }
        }
        if (first && !many.empty()) {
            const auto it = many.find(bytes);
            if (it != many.end()) {
                row = it->second;
                first = false;
            }
        }
        if (first) {
            row = rowOf(item.referrer, index);
            if (group.size() < 8) {
                group.push_back({bytes, row});
            } else {
                many.emplace(bytes, row);
            }
        }
        count(row, clicks, first);
    }
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

// Each host met once, with what the lists and the spam list say of it: an
// open-addressing table over the hosts' bytes, kept in blocks that never
// move, so a host costs no allocation of its own.
struct SourceClassifier::HostVerdicts {
    struct Verdict {
        std::string_view host;
        std::string_view spamHost;  // the listed host, when spam (in `listed`)
        std::uint32_t id = 0;       // of the host, or of the listed host when spam
        SourceLists::HostCandidates candidates;
    };
    std::vector<Verdict> verdicts;
    struct Slot {
        std::uint32_t tag = 0;  // the hash's upper half
        std::uint32_t verdict = kFree;
    };
    static constexpr std::uint32_t kFree = ~std::uint32_t{0};
    std::vector<Slot> slots = std::vector<Slot>(1024);
    std::uint32_t last = kFree;  // the verdict of the last call
    // The listed spam hosts met, each once, with their numbers.
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> listed;
    std::uint32_t ids = 0;

    // The verdict of `host`, or kFree, and the slot where it is or would go.
    std::uint32_t find(std::string_view host, std::uint64_t hash, std::size_t& slot) const {
        const std::size_t mask = slots.size() - 1;
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        for (slot = static_cast<std::size_t>(hash) & mask; slots[slot].verdict != kFree;
             slot = (slot + 1) & mask) {
            if (slots[slot].tag == tag && verdicts[slots[slot].verdict].host == host) {
                return slots[slot].verdict;
            }
        }
        return kFree;
    }
    // Adds `verdict` (its host not yet kept) in `slot`, as find() gave it.
    std::uint32_t add(Verdict verdict, std::uint64_t hash, std::size_t slot) {
        verdict.host = keep(verdict.host);
        const auto id = static_cast<std::uint32_t>(verdicts.size());
        verdicts.push_back(std::move(verdict));
        slots[slot] = {static_cast<std::uint32_t>(hash >> 32), id};
        if (2 * verdicts.size() > slots.size()) {  // at most half full
            std::vector<Slot> old(2 * slots.size());
            old.swap(slots);
            for (const Slot& s : old) {
                if (s.verdict != kFree) {
                    std::size_t at = 0;
                    const std::uint64_t h = std::hash<std::string_view>()(verdicts[s.verdict].host);
                    find(verdicts[s.verdict].host, h, at);
                    slots[at] = s;
                }
            }
        }
        return id;
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = kBlock;
    std::string_view keep(std::string_view text) {
        if (text.size() > kBlock - used_) {
            blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, text.size())));
            used_ = 0;
        }
        char* to = blocks_.back().get() + used_;
        std::copy(text.begin(), text.end(), to);
        used_ += text.size();
        return {to, text.size()};
    }
};

SourceClassifier::SourceClassifier(const SourceLists& lists, const SpamList* spam)
    : lists_(lists), spam_(spam), hosts_(std::make_unique<HostVerdicts>()) {}

SourceClassifier::~SourceClassifier() = default;

ReferrerSource SourceClassifier::classify(std::string_view referrer) {
    const std::string_view host = BrowserHost(referrer, scratch_);
    // Referrers come mostly in the work list's order, where those of one
    // host stand together: the host before is tried first.
    std::uint32_t known = hosts_->last;
    if (known == HostVerdicts::kFree || hosts_->verdicts[known].host != host) {
        const std::uint64_t hash = std::hash<std::string_view>()(host);
        std::size_t slot = 0;
        known = hosts_->find(host, hash, slot);
        if (known == HostVerdicts::kFree) {
            HostVerdicts::Verdict verdict;
            verdict.host = host;
            const std::string_view listed =
                spam_ != nullptr ? spam_->listedHostOf(host) : std::string_view();
            if (!listed.empty()) {
                const auto spamHost = hosts_->listed.try_emplace(std::string(listed), hosts_->ids);
                hosts_->ids += spamHost.second ? 1 : 0;
                verdict.spamHost = spamHost.first->first;
                verdict.id = spamHost.first->second;
            } else {
                verdict.id = hosts_->ids++;
                verdict.candidates = lists_.candidatesOf(host);
            }
            known = hosts_->add(std::move(verdict), hash, slot);
        }
        hosts_->last = known;
    }
    const HostVerdicts::Verdict& verdict = hosts_->verdicts[known];
    ReferrerSource result;
    result.hostId = verdict.id;
    if (!verdict.spamHost.empty()) {
        result.sourceClass = SourceClass::Spam;
        result.source = verdict.spamHost;
        return result;
    }
    if (verdict.candidates.none()) {
        result.source = verdict.host;
        return result;
    }
    // The path and query end where a fragment starts, or where the
    // address cut from a log line carries on with what followed it there.
    std::string_view rest = AfterAuthority(referrer);
    rest = rest.substr(0, rest.find_first_of(" \t\"#"));
    if (rest.empty() || rest.front() != '/') {
        pathAndQuery_.assign("/").append(rest);
        rest = pathAndQuery_;
    }
    const SourceLists::Match match =
        lists_.winner(verdict.candidates, rest.substr(0, rest.find('?')));
    if (match.sourceId == SourceLists::kNoSource) {
        result.source = verdict.host;
        return result;
    }
    result.sourceClass = match.sourceClass;
    result.source = match.source;
    result.sourceId = match.sourceId;
    result.search = match.search;
    result.pathAndQuery = rest;
    return result;
}

std::vector<SourceRow> GroupBySource(const WorkList& list, const SourceLists& lists,
                                     const SpamList* spam) {
    SourceClassifier classifier(lists, spam);
    std::vector<SourceRow> rows;
    std::vector<std::size_t> rowOfSource(lists.sourceCount(), kNoRow);
    std::vector<std::size_t> rowOfHost;  // websites and spam
    ForEachDistinctReferrer(
        list,
        [&](std::string_view referrer, std::size_t index) {
            const ReferrerSource source = classifier.classify(referrer);
            std::size_t* row = nullptr;
            if (source.sourceId != SourceLists::kNoSource) {
                row = &rowOfSource[source.sourceId];
            } else {
                if (source.hostId >= rowOfHost.size()) {
                    rowOfHost.resize(std::max<std::size_t>(source.hostId + 1, 2 * rowOfHost.size()),
                                     kNoRow);
                }
                row = &rowOfHost[source.hostId];
            }
            if (*row == kNoRow) {
                *row = rows.size();
                rows.push_back({source.sourceClass, std::string(source.source), 0, 0, index});
            }
            return *row;
        },
        [&rows](std::size_t row, std::int64_t clicks, bool first) {
            rows[row].clicks += clicks;
            rows[row].pages += first ? 1 : 0;
        });
    return rows;
}

std::vector<KeywordRow> GroupByKeyword(const WorkList& list, const SourceLists& lists,
                                       const SpamList* spam) {
    SourceClassifier classifier(lists, spam);
    KeywordReader reader;
    std::vector<KeywordRow> rows;
    // Rows by their engine's number (four bytes) followed by the keyword.
    std::unordered_map<std::string, std::size_t> rowOf;
    ForEachDistinctReferrer(
        list,
        [&](std::string_view referrer, std::size_t index) {
            const ReferrerSource source = classifier.classify(referrer);
            if (source.sourceClass != SourceClass::Search || source.search == nullptr) {
                return kNoRow;
            }
            std::string keyword = reader.keywordOf(source.pathAndQuery, *source.search);
            if (keyword.empty()) {
                return kNoRow;
            }
            std::string key(reinterpret_cast<const char*>(&source.sourceId),
                            sizeof source.sourceId);
            key += keyword;
            const auto [it, added] = rowOf.try_emplace(std::move(key), rows.size());
            if (added) {
                rows.push_back(
                    {std::string(source.source), std::move(keyword), 0, index, source.search});
            }
            return it->second;
        },
        [&rows](std::size_t row, std::int64_t clicks, bool) {
            if (row != kNoRow) {
                rows[row].clicks += clicks;
            }
        });
    return rows;
}

std::vector<ClassClicks> ClicksByClass(const std::vector<SourceRow>& rows, std::size_t top) {
    constexpr SourceClass kClasses[] = {SourceClass::Search, SourceClass::Social, SourceClass::Ai,
                                        SourceClass::Website, SourceClass::Spam};
    std::vector<ClassClicks> classes;
    std::vector<std::vector<const SourceRow*>> members(std::size(kClasses));
    for (const SourceClass sourceClass : kClasses) {
        classes.push_back({sourceClass, 0, {}});
    }
    for (const SourceRow& row : rows) {
        const auto at = static_cast<std::size_t>(row.sourceClass);
        classes[at].clicks += row.clicks;
        members[at].push_back(&row);
    }
    for (std::size_t at = 0; at < classes.size(); ++at) {
        std::vector<const SourceRow*>& of = members[at];
        const auto count = static_cast<std::ptrdiff_t>(std::min(top, of.size()));
        // Ties keep the order of `rows`: the rows' addresses rise with it.
        std::partial_sort(of.begin(), of.begin() + count, of.end(),
                          [](const SourceRow* a, const SourceRow* b) {
                              return a->clicks != b->clicks ? a->clicks > b->clicks : a < b;
                          });
        for (auto it = of.begin(); it != of.begin() + count; ++it) {
            classes[at].top.push_back(**it);
        }
    }
    return classes;
}

const SpamList* SpamListForSources(bool spamHidden) {
    return spamHidden ? nullptr : &SpamList::Builtin();
}

std::string KeywordSearchAddress(const KeywordRow& row, std::string_view firstReferrer) {
    if (row.search == nullptr || row.search->backlink.empty()) {
        return std::string(firstReferrer);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : row.keyword) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    std::string address =
        StartsWithIgnoringCase(firstReferrer, "https://") ? "https://" : "http://";
    address += ReferrerHost(firstReferrer);
    const std::string& backlink = row.search->backlink;
    if (backlink.front() != '/') {
        address += '/';
    }
    for (std::size_t at = 0; at < backlink.size();) {
        if (backlink.compare(at, 3, "{k}") == 0) {
            address += encoded;
            at += 3;
        } else {
            address += backlink[at++];
        }
    }
    return address;
}

}  // namespace tallowby
