#include "RowFormats.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/match/ShownText.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsCsvSpecial(char c) {
    return c == '"' || c == ',' || c == '\n' || c == '\r';
}

// What CSV makes of a field: whether it must be quoted, and how many quotes
// it holds (each is written twice).
struct CsvShape {
    bool quoted = false;
    std::size_t quotes = 0;
};

// A field is looked at sixteen bytes at a time, all four special bytes at
// once: one pass over a referrer instead of one memchr per special byte.
// `countQuotes` off: stops at the first special byte (the count is then not
// known).
CsvShape ShapeOf(std::string_view field, bool countQuotes) {
    CsvShape shape;
    const char* p = field.data();
    const char* const end = p + field.size();
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i quotes = _mm_cmpeq_epi8(bytes, quote);
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(quotes, _mm_cmpeq_epi8(bytes, comma)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)));
        if (_mm_movemask_epi8(hits) != 0) {
            shape.quoted = true;
            if (!countQuotes) {
                return shape;
            }
            shape.quotes += static_cast<std::size_t>(
                __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(quotes))));
        }
    }
#endif
    for (; p < end; ++p) {
        if (IsCsvSpecial(*p)) {
            shape.quoted = true;
            if (!countQuotes) {
                return shape;
            }
            shape.quotes += *p == '"' ? 1 : 0;
        }
    }
    return shape;
}

bool NeedsQuotes(std::string_view field) {
    return ShapeOf(field, false).quoted;
}

// Writes `field` as CSV from `to`, which has room for it; returns the end.
char* WriteCsvField(char* to, std::string_view field, const CsvShape& shape) {
    if (!shape.quoted) {
        if (!field.empty()) {  // an empty cell may have no bytes at all
            std::memcpy(to, field.data(), field.size());
        }
        return to + field.size();
    }
    *to++ = '"';
    const char* p = field.data();
    const char* const end = p + field.size();
    for (std::size_t left = shape.quotes; left > 0; --left) {
        const char* q =
            static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
        const auto n = static_cast<std::size_t>(q + 1 - p);
        std::memcpy(to, p, n);
        to += n;
        *to++ = '"';
        p = q + 1;
    }
    std::memcpy(to, p, static_cast<std::size_t>(end - p));
    to += end - p;
    *to++ = '"';
    return to;
}

// A row whose cells are all shorter than this is written into the buffer
// in one step; a longer one cell by cell, a long cell handed on in pieces.
constexpr std::size_t kShortRow = 4096;

// A byte a JSON string holds as it is, in a run of such bytes.
bool IsPlainJson(unsigned char c) {
    return c - 0x20u < 0x60u && c != '"' && c != '\\';
}

// The rows [from, to) of a block, clipped to a table of `rows` rows.
struct RowRange {
    std::size_t from;
    std::size_t to;
};
RowRange Clip(const RowBlock& block, std::size_t rows) {
    const std::size_t to = std::min(block.to, rows);
    return {std::min(block.from, to), to};
}

// Calls write(next()) for each row of `range` in order while the bytes held
// in `out` and the row's last cell (the referrer, the site: the long one)
// fit the block's budget; `next` gives the cells of one row after another
// from range.from on, their views valid until its next call. Returns the
// first row not written.
template <typename Next, typename Write>
std::size_t ForEachRow(const RowRange& range, std::size_t budget, const TextOutput& out, Next next,
                       Write write) {
    if (budget == RowBlock::kUnbounded) {
        for (std::size_t at = range.from; at < range.to; ++at) {
            write(next());
        }
        return range.to;
    }
    for (std::size_t at = range.from; at < range.to; ++at) {
        const ResultCells cells = next();
        if (out.held() + cells.referrer.size() > budget) {
            return at;
        }
        write(cells);
    }
    return range.to;
}

// ForEachRow over the entries of `list` in its order.
template <typename Write>
std::size_t ForEachListRow(const WorkList& list, bool typeCodes, const RowBlock& block,
                           const TextOutput& out, Write write) {
    const RowRange range = Clip(block, list.size());
    WorkList::Reader reader = list.reader(range.from);
    ClicksBuffer buffer;
    return ForEachRow(
        range, block.budget, out,
        [&reader, typeCodes, &buffer] { return ResultCellsOf(reader.next(), typeCodes, buffer); },
        write);
}

// ForEachRow over `sites` in their order.
template <typename Write>
std::size_t ForEachSiteRow(const std::vector<Site>& sites, const RowBlock& block,
                           const TextOutput& out, Write write) {
    const RowRange range = Clip(block, sites.size());
    std::size_t at = range.from;
    CountBuffer pages;
    CountBuffer clicks;
    return ForEachRow(
        range, block.budget, out,
        [&sites, &at, &pages, &clicks] { return SiteCellsOf(sites[at++], pages, clicks); }, write);
}

// The keys of the cells of a results row and of a sites row, in JSON.
constexpr std::string_view kRowNames[3] = {"\"type\":", ",\"clicks\":", ",\"referrer\":"};
constexpr std::string_view kSiteNames[3] = {"\"pages\":", ",\"clicks\":", ",\"site\":"};

}  // namespace

void AppendCsvHeader(std::string& out) {
    out += "Type,Clicks,Referrer\n";
}

void AppendCsvField(TextOutput& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out.write(field);
        return;
    }
    out.buffer() += '"';
    // Copy the runs between quotes whole; each quote is written twice.
    std::size_t from = 0;
    for (std::size_t quote; (quote = field.find('"', from)) != std::string_view::npos;
         from = quote + 1) {
        out.write(field.substr(from, quote + 1 - from));
        out.buffer() += '"';
    }
    out.write(field.substr(from));
    out.buffer() += '"';
}

void AppendCsvField(std::string& out, std::string_view field) {
    TextOutput text(out);
    AppendCsvField(text, field);
}

void AppendCsvRow(TextOutput& out, const ResultCells& row) {
    if (row.typeCode.size() + row.clicks.size() + row.referrer.size() < kShortRow) {
        const CsvShape type = ShapeOf(row.typeCode, true);
        const CsvShape clicks = ShapeOf(row.clicks, true);
        const CsvShape referrer = ShapeOf(row.referrer, true);
        const auto size = [](std::string_view field, const CsvShape& shape) {
            return field.size() + (shape.quoted ? shape.quotes + 2 : 0);
        };
        std::string& buffer = out.buffer();
        const std::size_t at = buffer.size();
        buffer.resize(at + size(row.typeCode, type) + size(row.clicks, clicks) +
                      size(row.referrer, referrer) + 3);
        char* to = buffer.data() + at;
        to = WriteCsvField(to, row.typeCode, type);
        *to++ = ',';
        to = WriteCsvField(to, row.clicks, clicks);
        *to++ = ',';
        to = WriteCsvField(to, row.referrer, referrer);
        *to = '\n';
        out.spill();
        return;
    }
    AppendCsvField(out, row.typeCode);
    out.buffer() += ',';
    AppendCsvField(out, row.clicks);
    out.buffer() += ',';
    AppendCsvField(out, row.referrer);
    out.buffer() += '\n';
    out.spill();
}

void AppendCsvRow(TextOutput& out, const ReferrerEntry& row) {
    AppendCsvRow(out, ResultCells{row.typeCode, row.clicks, row.referrer});
}

void AppendCsvRows(TextOutput& out, const WorkList& list, bool typeCodes) {
    AppendCsvRows(out, list, typeCodes, RowBlock{0, list.size(), RowBlock::kUnbounded});
}

std::size_t AppendCsvRows(TextOutput& out, const WorkList& list, bool typeCodes,
                          const RowBlock& block) {
    return ForEachListRow(list, typeCodes, block, out,
                          [&out](const ResultCells& row) { AppendCsvRow(out, row); });
}

void AppendSiteCsvHeader(TextOutput& out) {
    out.buffer() += "Pages,Clicks,Site\n";
}

std::size_t AppendSiteCsvRows(TextOutput& out, const std::vector<Site>& sites,
                              const RowBlock& block) {
    return ForEachSiteRow(sites, block, out,
                          [&out](const ResultCells& row) { AppendCsvRow(out, row); });
}

void AppendCsvRow(std::string& out, const ReferrerEntry& row) {
    TextOutput text(out);
    AppendCsvRow(text, row);
}

void AppendJsonString(TextOutput& output, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    // The escaped text goes on in blocks of input, each handed on before
    // the next: a long cell never stands escaped whole in memory.
    constexpr std::size_t kBlock = 1 << 14;
    std::string& out = output.buffer();
    out += '"';
    std::size_t i = 0;
    std::size_t blockEnd = 0;
    while (i < text.size()) {
        if (i >= blockEnd) {
            output.spill();
            blockEnd = i + kBlock;
        }
        // Printable ASCII other than " and \ goes out as it is: most of a
        // referrer is, and a run is copied at once rather than byte by byte.
        const std::size_t runEnd = std::min(text.size(), blockEnd);
        std::size_t run = i;
        while (run < runEnd && IsPlainJson(static_cast<unsigned char>(text[run]))) {
            ++run;
        }
        if (run > i) {
            out.append(text, i, run - i);
            i = run;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t invalid = 0;
            const std::size_t n = Utf8Sequence(text.substr(i), invalid);
            if (n > 0) {
                out.append(text, i, n);
                i += n;
            } else {
                out += kReplacement;
                i += invalid;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    output.spill();
}

void AppendJsonString(std::string& out, std::string_view text) {
    TextOutput output(out);
    AppendJsonString(output, text);
}

void JsonResultsWriter::begin() {
    out_.buffer() += "{\"rows\":[";
    first_ = true;
}

void JsonResultsWriter::row(const ReferrerEntry& row) {
    this->row(ResultCells{row.typeCode, row.clicks, row.referrer});
}

void JsonResultsWriter::rows(const WorkList& list, bool typeCodes) {
    ForEachListRow(list, typeCodes, RowBlock{0, list.size(), RowBlock::kUnbounded}, out_,
                   [this](const ResultCells& cells) { row(cells); });
}

std::size_t JsonResultsWriter::rows(const WorkList& list, bool typeCodes, const RowBlock& block) {
    if (block.from > 0) {
        startAt(block.from);
    }
    return ForEachListRow(list, typeCodes, block, out_,
                          [this](const ResultCells& cells) { row(cells); });
}

std::size_t JsonResultsWriter::siteRows(const std::vector<Site>& sites, const RowBlock& block) {
    if (block.from > 0) {
        startAt(block.from);
    }
    return ForEachSiteRow(sites, block, out_, [this](const ResultCells& cells) { siteRow(cells); });
}

void JsonResultsWriter::row(const ResultCells& row) {
    object(kRowNames, row);
}

void JsonResultsWriter::siteRow(const ResultCells& cells) {
    object(kSiteNames, cells);
}

void JsonResultsWriter::object(const std::string_view (&names)[3], const ResultCells& cells) {
    out_.buffer() += first_ ? "{" : ",{";
    first_ = false;
    out_.buffer() += names[0];
    AppendJsonString(out_, cells.typeCode);
    out_.buffer() += names[1];
    AppendJsonString(out_, cells.clicks);
    out_.buffer() += names[2];
    AppendJsonString(out_, cells.referrer);
    out_.buffer() += '}';
}

void JsonResultsWriter::end(const ScanCounters& c, bool spamHidden, bool fields) {
    std::string& out = out_.buffer();
    out += "],\"stats\":{";
    const char* separator = "";
    for (const StatisticsFigure& figure : StatisticsFigures(c)) {
        out += separator;
        out += '"';
        out += figure.key;
        out += "\":";
        AppendNumber(out, figure.value);
        separator = ",";
    }
    if (spamHidden) {
        out += ",\"spamHidden\":";
        AppendNumber(out, c.spamHidden);
    }
    if (fields) {
        appendFields(c.fields);
    }
    out_.buffer() += "}}\n";
    out_.spill();
}

void JsonResultsWriter::appendFields(const FieldCounts& f) {
    // The layouts by LogLayout, every one written, 0 or not.
    static constexpr std::string_view kLayoutKeys[kLogLayoutCount] = {
        "unknown", "combined", "vhostCombined", "s3", "common", "w3c", "json", "directive"};
    std::string& out = out_.buffer();
    out += ",\"fields\":{\"layouts\":{";
    for (std::size_t i = 0; i < std::size(kLayoutKeys); ++i) {
        out += i == 0 ? "\"" : ",\"";
        out += kLayoutKeys[i];
        out += "\":";
        AppendNumber(out, f.layouts[i]);
    }
    const StatisticsFigure figures[] = {
        {f.layouts[static_cast<std::size_t>(LogLayout::Unknown)], {}, "noKnownLayout"},
        {f.noReferrer, {}, "noReferrer"},
        {f.selfReferrals, {}, "selfReferrals"},
        {f.crawlers, {}, "crawlers"},
        {f.crawlersLeftOut, {}, "crawlersLeftOut"},
    };
    out += '}';
    for (const StatisticsFigure& figure : figures) {
        out += ",\"";
        out += figure.key;
        out += "\":";
        AppendNumber(out, figure.value);
    }
    out += ",\"filesOfNoKnownLayout\":[";
    for (std::size_t i = 0; i < f.filesOfNoKnownLayout.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        AppendJsonString(out_, f.filesOfNoKnownLayout[i]);
    }
    out_.buffer() += "]}";
}

}  // namespace tallowby
