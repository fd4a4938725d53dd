#include "RowCells.h"

#include <algorithm>
#include <charconv>

namespace tallowby {

namespace {

constexpr std::array<const char*, kTypeCodeCount> kNames = {
    "JPG", "ZIP", "MSI", "GIF", "ASP", "PHP", "PNG", "PDF", "TAR", "TXT", "AIF",
    "AVI", "MOV", "MP3", "MPG", "RM",  "SWF", "WAV", "WMF", "EPS", "PPT", "PSD",
    "PCT", "TIF", "RTF", "SEA", "SIT", "SML", "SVG", "XLS", "EXE", "HTM", "BOT",
};

}  // namespace

const char* TypeCodeName(TypeCode code) {
    auto i = static_cast<std::size_t>(code);
    return i < kNames.size() ? kNames[i] : "HTM";
}

std::string_view CountDigits(std::int64_t count, CountBuffer& buffer) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    const std::size_t zeros = count >= 0 && length < 7 ? 7 - length : 0;
    std::fill_n(buffer.data(), zeros, '0');
    std::copy(static_cast<const char*>(digits), end, buffer.data() + zeros);
    return std::string_view(buffer.data(), zeros + length);
}

std::string CountDigits(std::int64_t count) {
    CountBuffer buffer;
    return std::string(CountDigits(count, buffer));
}

std::string CountPrefix(std::int64_t count) {
    return CountDigits(count) + '|';
}

std::string EntryText(const WorkList::Item& item) {
    if (item.count <= 0) {
        return std::string(item.referrer);
    }
    std::string result = CountPrefix(item.count);
    result.append(item.referrer);
    return result;
}

ResultCells ResultCellsOf(const WorkList::Item& item, bool typeCodes, ClicksBuffer& buffer) {
    ResultCells cells;
    if (typeCodes) {
        cells.typeCode = item.bot ? TypeCodeName(TypeCode::BOT) : TypeCodeName(item.type);
    }
    if (item.count > 0) {
        cells.clicks = CountDigits(item.count, buffer);
    }
    cells.referrer = item.referrer;
    return cells;
}

ResultCells SiteCellsOf(const Site& site, CountBuffer& pages, CountBuffer& clicks) {
    return ResultCells{CountDigits(site.entries, pages), CountDigits(site.clicks, clicks),
                       site.host};
}

std::vector<ReferrerEntry> BuildResultRows(const WorkList& list, bool typeCodes) {
    return BuildResultRows(list, typeCodes, 0, list.size());
}

std::vector<ReferrerEntry> BuildResultRows(const WorkList& list, bool typeCodes, std::size_t from,
                                           std::size_t count) {
    std::vector<ReferrerEntry> rows;
    from = std::min(from, list.size());
    count = std::min(count, list.size() - from);
    rows.reserve(count);
    ClicksBuffer buffer;
    for (std::size_t i = from; i < from + count; ++i) {
        const ResultCells cells = ResultCellsOf(list.at(i), typeCodes, buffer);
        rows.push_back(ReferrerEntry{std::string(cells.typeCode), std::string(cells.clicks),
                                     std::string(cells.referrer)});
    }
    return rows;
}

}  // namespace tallowby
