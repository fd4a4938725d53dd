#include "SourceRowFormats.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/match/Rules.h"  // StripTypeTags
#include "output/RowCells.h"
#include "output/RowFormats.h"
#include "output/SitesPage.h"

namespace tallowby {

namespace {

template <std::size_t N>
using Cells = std::array<std::string_view, N>;

Cells<4> CellsOf(const SourceRow& row, CountBuffer& pages, CountBuffer& clicks) {
    return {SourceClassName(row.sourceClass), row.source, CountDigits(row.pages, pages),
            CountDigits(row.clicks, clicks)};
}

Cells<3> CellsOf(const KeywordRow& row, CountBuffer& clicks, CountBuffer&) {
    return {row.engine, row.keyword, CountDigits(row.clicks, clicks)};
}

constexpr std::string_view kSourceKeys[] = {"class", "source", "pages", "clicks"};
constexpr std::string_view kKeywordKeys[] = {"engine", "keyword", "clicks"};

template <std::size_t N>
void AppendCsvLine(TextOutput& out, const Cells<N>& cells) {
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) {
            out.buffer() += ',';
        }
        AppendCsvField(out, cells[i]);
    }
    out.buffer() += '\n';
    out.spill();
}

template <std::size_t N>
void AppendJsonObject(TextOutput& out, bool first, const std::string_view (&keys)[N],
                      const Cells<N>& cells) {
    out.buffer() += first ? "{" : ",{";
    for (std::size_t i = 0; i < N; ++i) {
        out.buffer() += i > 0 ? ",\"" : "\"";
        out.buffer() += keys[i];
        out.buffer() += "\":";
        AppendJsonString(out, cells[i]);
    }
    out.buffer() += '}';
}

// Calls write(cells, at) for the rows of `block` in order while the bytes
// held in `out` and the row's longest cell fit the block's budget; returns
// the first row not written.
template <typename Row, typename Write>
std::size_t ForEachRow(const std::vector<Row>& rows, const RowBlock& block, const TextOutput& out,
                       Write write) {
    const std::size_t to = std::min(block.to, rows.size());
    for (std::size_t at = std::min(block.from, to); at < to; ++at) {
        CountBuffer first;
        CountBuffer second;
        const auto cells = CellsOf(rows[at], first, second);
        if (block.budget != RowBlock::kUnbounded) {
            std::size_t longest = 0;
            for (const std::string_view cell : cells) {
                longest = std::max(longest, cell.size());
            }
            if (out.held() + longest > block.budget) {
                return at;
            }
        }
        write(cells, at);
    }
    return to;
}

// Writes `page` to `path` as WriteSitesPage does.
template <typename Row, typename Line>
ExportResult WriteLines(FileSystem& fs, const std::string& path, const std::vector<Row>& rows,
                        Line line) {
    std::string page;
    try {
        for (const Row& row : rows) {
            line(page, row);
        }
    } catch (const std::exception& e) {
        return {false, e.what()};
    }
    return WritePage(fs, path, page);
}

void AppendLink(std::string& page, std::string_view target, std::string_view text,
                std::string_view after = {}) {
    page += "<a href='";
    AppendHtmlEscaped(page, target);
    page += "'>";
    AppendHtmlEscaped(page, text);
    AppendHtmlEscaped(page, after);
    page += "</a><br>\r\n";
}

}  // namespace

void AppendSourceCsvHeader(TextOutput& out) {
    out.buffer() += "Class,Source,Pages,Clicks\n";
}

std::size_t AppendSourceCsvRows(TextOutput& out, const std::vector<SourceRow>& rows,
                                const RowBlock& block) {
    return ForEachRow(rows, block, out,
                      [&out](const Cells<4>& cells, std::size_t) { AppendCsvLine(out, cells); });
}

std::size_t AppendSourceJsonRows(TextOutput& out, const std::vector<SourceRow>& rows,
                                 const RowBlock& block) {
    return ForEachRow(rows, block, out, [&out](const Cells<4>& cells, std::size_t at) {
        AppendJsonObject(out, at == 0, kSourceKeys, cells);
    });
}

void AppendKeywordCsvHeader(TextOutput& out) {
    out.buffer() += "Engine,Keyword,Clicks\n";
}

std::size_t AppendKeywordCsvRows(TextOutput& out, const std::vector<KeywordRow>& rows,
                                 const RowBlock& block) {
    return ForEachRow(rows, block, out,
                      [&out](const Cells<3>& cells, std::size_t) { AppendCsvLine(out, cells); });
}

std::size_t AppendKeywordJsonRows(TextOutput& out, const std::vector<KeywordRow>& rows,
                                  const RowBlock& block) {
    return ForEachRow(rows, block, out, [&out](const Cells<3>& cells, std::size_t at) {
        AppendJsonObject(out, at == 0, kKeywordKeys, cells);
    });
}

ExportResult WriteSourcesPage(FileSystem& fs, const std::string& path,
                              const std::vector<SourceRow>& rows, const WorkList& list) {
    return WriteLines(fs, path, rows, [&list](std::string& page, const SourceRow& row) {
        AppendLink(page, StripTypeTags(list.at(row.firstEntry).referrer), row.source);
    });
}

ExportResult WriteKeywordsPage(FileSystem& fs, const std::string& path,
                               const std::vector<KeywordRow>& rows, const WorkList& list) {
    return WriteLines(fs, path, rows, [&list](std::string& page, const KeywordRow& row) {
        const std::string first = StripTypeTags(list.at(row.firstEntry).referrer);
        AppendLink(page, KeywordSearchAddress(row, first), row.keyword, " (" + row.engine + ")");
    });
}

}  // namespace tallowby
