#include "ViewExport.h"

#include <QFile>

#include "output/ExportPage.h"
#include "output/RowFormats.h"
#include "results/FileCommands.h"

namespace tallowby {

namespace {

// The cells of the row shown at `row`. The "Clicks" view holds only until
// the next one is asked for: each row is written before the next is read.
ResultCells CellsAt(const ResultsModel& model, int row) {
    return {model.typeCode(row), model.clicks(row), model.referrer(row)};
}

}  // namespace

void AppendViewText(TextOutput& out, const ResultsModel& model, ViewKind kind, ViewFormat format,
                    const ViewStatistics& stats) {
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
                MessageBoxes& messageBoxes, FileSystem& fs) {
    return SaveAndSay(QFile::encodeName(path).toStdString(), logs, messageBoxes, fs,
                      [&](FileSystem& to, const std::string& where) {
                          return WriteReplacing(to, where, [&](TextOutput& out) {
                              AppendViewText(out, model, kind, format, stats);
                          });
                      });
}

}  // namespace tallowby
