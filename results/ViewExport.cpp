#include "ViewExport.h"

#include <QFile>

#include "output/ExportPage.h"
#include "output/RowFormats.h"
#include "output/SourceRowFormats.h"
#include "results/FileCommands.h"

namespace tallowby {

namespace {

// The cells of the row shown at `row`. The "Clicks" view holds only until
// the next one is asked for: each row is written before the next is read.
ResultCells CellsAt(const ResultsModel& model, int row) {
    return {model.typeCode(row), model.clicks(row), model.referrer(row)};
}

// The grouped rows in the order the view shows them.
template <typename Row>
std::vector<Row> InShownOrder(const ResultsModel& model, const std::vector<Row>& rows) {
    std::vector<Row> shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(
            model.data(model.index(row, 0), ResultsModel::AppendedRowRole).toULongLong());
        if (at < rows.size()) {
            shown.push_back(rows[at]);
        }
    }
    return shown;
}

// The rows of a sources or keywords view as the command line writes them.
template <typename Row>
void AppendGrouped(TextOutput& out, const std::vector<Row>& rows, ViewFormat format,
                   const ViewStatistics& stats, void (*csvHeader)(TextOutput&),
                   std::size_t (*csvRows)(TextOutput&, const std::vector<Row>&, const RowBlock&),
                   std::size_t (*jsonRows)(TextOutput&, const std::vector<Row>&, const RowBlock&)) {
    const RowBlock all{0, rows.size()};
    if (format == ViewFormat::Csv) {
        csvHeader(out);
        csvRows(out, rows, all);
        return;
    }
    JsonResultsWriter json(out);
    json.begin();
    jsonRows(out, rows, all);
    if (stats.counters != nullptr) {
        json.end(*stats.counters, stats.spamHidden, stats.fields);
    }
}

}  // namespace

void AppendViewText(TextOutput& out, const ResultsModel& model, ViewKind kind, ViewFormat format,
                    const ViewStatistics& stats, const GroupedRows& grouped) {
    if (kind == ViewKind::Sources && grouped.sources != nullptr) {
        AppendGrouped(out, InShownOrder(model, *grouped.sources), format, stats,
                      AppendSourceCsvHeader, AppendSourceCsvRows, AppendSourceJsonRows);
        return;
    }
    if (kind == ViewKind::Keywords && grouped.keywords != nullptr) {
        AppendGrouped(out, InShownOrder(model, *grouped.keywords), format, stats,
                      AppendKeywordCsvHeader, AppendKeywordCsvRows, AppendKeywordJsonRows);
        return;
    }
    const int rows = model.rowCount();
    if (format == ViewFormat::Csv) {
        if (kind == ViewKind::Sites) {
            AppendSiteCsvHeader(out);
        } else {
            AppendCsvHeader(out);
        }
        for (int row = 0; row < rows && out.ok(); ++row) {
            AppendCsvRow(out, CellsAt(model, row));
            out.spill();
        }
        return;
    }
    JsonResultsWriter json(out);
    json.begin();
    for (int row = 0; row < rows && out.ok(); ++row) {
        if (kind == ViewKind::Sites) {
            json.siteRow(CellsAt(model, row));
        } else {
            json.row(CellsAt(model, row));
        }
        out.spill();
    }
    if (stats.counters != nullptr) {
        json.end(*stats.counters, stats.spamHidden, stats.fields);
    }
}

std::string CsvLines(const ResultsModel& model, const std::vector<int>& rows) {
    std::string text;
    TextOutput out(text);
    for (int row : rows) {
        if (row >= 0 && row < model.rowCount()) {
            AppendCsvRow(out, CellsAt(model, row));
        }
    }
    return text;
}

bool ExportView(const QString& path, const ResultsModel& model, ViewKind kind, ViewFormat format,
                const ViewStatistics& stats, const std::vector<std::string>& logs,
                MessageBoxes& messageBoxes, FileSystem& fs, const GroupedRows& grouped) {
    return SaveAndSay(QFile::encodeName(path).toStdString(), logs, messageBoxes, fs,
                      [&](FileSystem& to, const std::string& where) {
                          return WriteReplacing(to, where, [&](TextOutput& out) {
                              AppendViewText(out, model, kind, format, stats, grouped);
                          });
                      });
}

}  // namespace tallowby
