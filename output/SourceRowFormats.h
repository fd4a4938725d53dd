#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/classify/SourceRows.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/RowBlocks.h"
#include "output/TextOutput.h"

namespace tallowby {

// The rows of the sources and the search keywords views as CSV, JSON and
// pages of links, as RowFormats.h and SitesPage.h write those of the
// referrers and the sites: CSV fields and JSON strings escaped the same
// way, counts as CountDigits writes them (seven digits).

// --- Sources: "Class,Source,Pages,Clicks"; JSON {"class","source","pages","clicks"}.
void AppendSourceCsvHeader(TextOutput& out);
// The rows `block` names (clipped to `rows`), as RowBlock says; returns
// the first row not written.
std::size_t AppendSourceCsvRows(TextOutput& out, const std::vector<SourceRow>& rows,
                                const RowBlock& block);
// The rows `block` names as the JSON objects of the document's "rows",
// each but the document's first after a comma (JsonResultsWriter writes
// the document around them).
std::size_t AppendSourceJsonRows(TextOutput& out, const std::vector<SourceRow>& rows,
                                 const RowBlock& block);

// --- Search keywords: "Engine,Keyword,Clicks"; JSON {"engine","keyword","clicks"}.
void AppendKeywordCsvHeader(TextOutput& out);
std::size_t AppendKeywordCsvRows(TextOutput& out, const std::vector<KeywordRow>& rows,
                                 const RowBlock& block);
std::size_t AppendKeywordJsonRows(TextOutput& out, const std::vector<KeywordRow>& rows,
                                  const RowBlock& block);

// --- Pages of links, one line per row, written as WriteSitesPage writes:
// "<a href='", the escaped target, "'>", the escaped text, "</a><br>", CR LF.
// Sources: the target is the source's first referrer (as the export page
// links it), the text the source. Keywords: the target is the search on
// its engine (KeywordSearchAddress), the text the keyword and, in
// brackets, the engine. `list` is the work list the rows were made from.
ExportResult WriteSourcesPage(FileSystem& fs, const std::string& path,
                              const std::vector<SourceRow>& rows, const WorkList& list);
ExportResult WriteKeywordsPage(FileSystem& fs, const std::string& path,
                               const std::vector<KeywordRow>& rows, const WorkList& list);

}  // namespace tallowby
