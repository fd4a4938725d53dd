#include "ChunkBatch.h"

#include <algorithm>
#include <memory>

#include "engine/match/LineMasks.h"
#include "engine/read/LineEnds.h"
#include "engine/read/LineReader.h"
#include "engine/tally/TextSlots.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

void ChunkBatch::match(std::string_view bytes, std::size_t maxLine, const MatchOptions& options,
                       std::string& scratch, const KnownIds& known, FieldScratch& fields,
                       const W3cFields& w3c) {
    listTexts_.clear();
    notes_.clear();
    copies_.clear();
    listVariants_.clear();
    outcomes_.clear();
    texts_.clear();
    firstVariant_.clear();
    nextVariant_.clear();
    variants_.clear();
    failed_ = false;
    error_.clear();
    // A table for about one distinct referrer per 512 bytes, at most half
    // full: a chunk's referrers repeat, and a small table stays in the
    // cache. It is kept from chunk to chunk; intern() grows it when a chunk
    // needs more.
    const std::size_t want = std::max<std::size_t>(
        256, std::size_t{1} << (64 - __builtin_clzll(bytes.size() / 256 + 1)));
    if (slots_.size() < want) {
        slots_.assign(want, 0);
    } else {
        std::fill(slots_.begin(), slots_.end(), 0);
    }
    auto take = [&](std::string_view line, const LineMatch& m) {
        std::uint32_t outcome = kNoLink;
        if (m.kind == LineKind::Spam) {
            outcome = kSpam;
        } else if (m.kind == LineKind::Link) {
            outcome =
                variantFor(intern(line.substr(m.cut.position, m.cut.length)), m.type, m.cut.bot);
        }
        outcomes_.push_back(outcome);
    };
    const char* const end = bytes.data() + bytes.size();
    if (options.readsFields()) {
        fields.w3c = w3c;
        LineReader reader(bytes, maxLine);
        std::string_view line;
        while (reader.next(line)) {
            const LineMatch m = options.matchFields(line, fields);
            notes_.push_back(m.note);
            std::uint32_t outcome = kNoLink;
            if (m.kind == LineKind::Spam) {
                outcome = kSpam;
            } else if (m.kind == LineKind::Link) {
                // A decoded value lies outside the chunk: kept as a copy.
                const bool inChunk = m.text.data() >= bytes.data() && m.text.data() < end;
                outcome = variantFor(intern(m.text, !inChunk), m.type, false);
            }
            outcomes_.push_back(outcome);
        }
        if (reader.failed()) {
            failed_ = true;
            error_ = reader.error();
        }
    } else if (options.matchesWholeLines() && maxLine >= BlockMasks::kBytes) {
        // The chunk is read in stretches of whole lines: one pass marks a
        // stretch's bytes and line ends, then each line in it is matched
        // from the marks. A line that runs past its stretch starts the
        // next; one longer than a stretch is taken as a LineReader takes
        // it. Either way the line end (CR, LF or CR LF) is passed over by
        // LineReader's rule.
        if (!masks_) {
            masks_ = std::make_unique<BlockMasks>();
        }
        BlockMasks& masks = *masks_;
        const char* p = bytes.data();
        while (p < end) {
            const auto left = static_cast<std::size_t>(end - p);
            const std::size_t limit = std::min(left, BlockMasks::kBytes);
            options.scanBlock(masks, p, limit, left);
            std::size_t at = 0;  // where the next line starts
            while (at < limit) {
                std::size_t lineEnd = masks.endFrom(at);
                if (lineEnd == std::string_view::npos) {
                    if (limit < left) {
                        break;  // the line goes on past the stretch
                    }
                    lineEnd = left;  // the chunk's last line, without a line end
                }
                const std::string_view line(p + at, lineEnd - at);
                take(line, options.matchMasked(line, masks.line(at, line.size()), scratch));
                at = lineEnd;
                if (at < left) {
                    at += p[at] == kCr && at + 1 < left && p[at + 1] == kLf ? 2 : 1;
                }
            }
            if (at == 0) {
                // A line longer than a stretch.
                LineReader one(std::string_view(p, left), maxLine);
                std::string_view line;
                if (!one.next(line)) {
                    if (one.failed()) {
                        failed_ = true;
                        error_ = one.error();
                    }
                    break;
                }
                take(line, options.match(line, scratch, left));
                at = line.size();
                if (at < left) {
                    at += p[at] == kCr && at + 1 < left && p[at + 1] == kLf ? 2 : 1;
                }
            }
            p += at;
        }
    } else {
        LineReader reader(bytes, maxLine);
        std::string_view line;
        while (reader.next(line)) {
            // The chunk's later bytes may be read: they spare the match a copy.
            take(line, options.match(line, scratch, static_cast<std::size_t>(end - line.data())));
        }
        if (reader.failed()) {
            failed_ = true;
            error_ = reader.error();
        }
    }
    // The ids the work list gave to the chunk's texts and variants, as far
    // as this thread has learned them, found once per distinct text.
    knownEntries_.resize(texts_.size());
    known.findAll(texts_.data(), texts_.size(), knownEntries_.data());
    listTexts_.resize(texts_.size());
    for (std::size_t t = 0; t < texts_.size(); ++t) {
        const std::uint32_t entry = knownEntries_[t];
        listTexts_[t] = entry == KnownIds::kUnknown ? WorkList::kNoText : known.textOf(entry);
    }
    listVariants_.resize(variants_.size());
    for (std::size_t v = 0; v < variants_.size(); ++v) {
        const std::uint32_t entry = knownEntries_[variants_[v].text];
        listVariants_[v] = entry == KnownIds::kUnknown
                               ? WorkList::kNoVariant
                               : known.variantOf(entry, variants_[v].type, variants_[v].bot);
    }
}

void ChunkBatch::fail(std::string reason) {
    outcomes_.clear();
    notes_.clear();
    texts_.clear();
    variants_.clear();
    listTexts_.clear();
    listVariants_.clear();
    failed_ = true;
    error_ = std::move(reason);
}

std::uint32_t ChunkBatch::intern(std::string_view text, bool copy) {
    const std::uint64_t hash = WorkList::Hash(text);
    if (TextSlotsFull(slots_, texts_.size())) {
        RebuildTextSlots(slots_, slots_.size() * 2, static_cast<std::uint32_t>(texts_.size()),
                         [this](std::uint32_t id) { return texts_[id].hash; });
    }
    const TextPlace place =
        FindTextSlot(slots_, hash, text, [this](std::uint32_t id) { return texts_[id].bytes; });
    if (place.found) {
        return place.index;
    }
    const auto id = static_cast<std::uint32_t>(texts_.size());
    if (copy) {
        text = copies_.emplace_back(text);
    }
    texts_.push_back(Text{text, hash});
    firstVariant_.push_back(kNoLink);
    slots_[place.slot] = TextSlot(hash, id);
    return id;
}

std::uint32_t ChunkBatch::variantFor(std::uint32_t text, TypeCode type, bool bot) {
    // A text's lines nearly always share one code and flag: the chain is
    // one variant long, and rarely more than a few.
    std::uint32_t last = kNoLink;  // the variant whose chain link is followed
    for (std::uint32_t v = firstVariant_[text]; v != kNoLink; v = nextVariant_[v]) {
        if (variants_[v].type == type && variants_[v].bot == bot) {
            return v;
        }
        last = v;
    }
    const auto id = static_cast<std::uint32_t>(variants_.size());
    variants_.push_back(Variant{text, type, bot});
    nextVariant_.push_back(kNoLink);
    (last == kNoLink ? firstVariant_[text] : nextVariant_[last]) = id;
    return id;
}

}  // namespace tallowby
