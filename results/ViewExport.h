#pragma once

#include <QString>

#include <string>
#include <vector>

#include "engine/classify/SourceRows.h"

#include "engine/read/FileSystem.h"
#include "engine/tally/ScanTypes.h"
#include "output/TextOutput.h"
#include "results/ResultsModel.h"

namespace tallowby {

class MessageBoxes;

// The two forms File > "Export as CSV…" and "Export as JSON…" write: those
// of tallowby-scan's --format.
enum class ViewFormat { Csv, Json };

// What a view's rows are: the pages (Type, Clicks, Referrer), the sites
// (Pages, Clicks, Site) of "Group by Site", or the sources or search
// keywords, whose rows are written from the grouped rows they show.
enum class ViewKind { Pages, Sites, Sources, Keywords };

// The grouped rows a sources or keywords view shows, each row of the view
// standing for the one its AppendedRowRole names.
struct GroupedRows {
    const std::vector<SourceRow>* sources = nullptr;
    const std::vector<KeywordRow>* keywords = nullptr;
};

// What the JSON form says after its rows: the scan's figures, with
// "spamHidden" and the "fields" figures where the scan ran with those
// options, as the command line writes them.
struct ViewStatistics {
    const ScanCounters* counters = nullptr;  // null: no document end (CSV only)
    bool spamHidden = false;
    bool fields = false;
};

// Appends the rows `model` shows, in the order it shows them (sorted or
// not), to `out` in the command line's form of `kind`: the CSV header and
// rows, or the JSON document of the rows and `stats`. Cells are written as
// the bytes they hold.
void AppendViewText(TextOutput& out, const ResultsModel& model, ViewKind kind, ViewFormat format,
                    const ViewStatistics& stats, const GroupedRows& grouped = {});

// The rows `rows` (shown positions, in the order given) as CSV lines
// without a header, as the command line writes each row: for the clipboard.
std::string CsvLines(const ResultsModel& model, const std::vector<int>& rows);

// Writes AppendViewText to `path` (SaveAndSay: through a temporary file, a
// message saying where it went or why it could not). Returns whether the
// file was written.
bool ExportView(const QString& path, const ResultsModel& model, ViewKind kind, ViewFormat format,
                const ViewStatistics& stats, const std::vector<std::string>& logs,
                MessageBoxes& messageBoxes, FileSystem& fs = RealFileSystem(),
                const GroupedRows& grouped = {});

}  // namespace tallowby
