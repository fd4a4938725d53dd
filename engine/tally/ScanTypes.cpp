#include "ScanTypes.h"

#include "engine/match/LineMatch.h"

namespace tallowby {

void FieldCounts::add(std::uint8_t note) {
    if ((note & field_note::kRead) == 0) {
        return;
    }
    ++layouts[static_cast<std::size_t>(field_note::LayoutOf(note))];
    noReferrer += (note & field_note::kNoReferrer) != 0;
    selfReferrals += (note & field_note::kSelf) != 0;
    crawlers += (note & field_note::kCrawler) != 0;
    crawlersLeftOut += (note & field_note::kLeftOut) != 0;
}

}  // namespace tallowby
