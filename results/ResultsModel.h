#pragma once

#include <QAbstractTableModel>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/tally/WorkList.h"
#include "output/RowCells.h"

namespace tallowby {

// How much of a cell the list shows: a longer cell (a referrer of megabytes)
// is shown cut at this many bytes, on a character boundary, with "..." (one
// character, U+2026) after it, so painting it costs no more than a line.
// The cell's bytes stay whole for export, copying and the browser.
inline constexpr std::size_t kShownCellBytes = 2048;

// `bytes` as the list shows them: UTF-8 with invalid bytes replaced, cut at
// kShownCellBytes.
QString ShownCellText(std::string_view bytes);

// The rows of the results list: "Type", "Clicks" and "Referrer" for each
// referrer of the last scan.
//
// Rows are stored compactly (one byte arena and 32 bytes of bookkeeping per
// row) so a million rows stay cheap, or, for the rows of a scan's work list,
// not stored at all: their cells are read from the list when asked for. Cells keep the bytes read
// from the log; they are shown as UTF-8 with invalid bytes replaced, while ReferrerBytesRole and
// referrer() hand out the original bytes for navigation.
//
// Once sort() has been called the model stays sorted: rows appended later
// take their places in that order. sort() ranks the cells (the count as a
// number, the texts eight folded bytes at a time) and places the rows by rank
// with a counting sort, only a permutation of row indices moving; a list of
// a million rows is sorted on a worker thread while the window keeps
// painting.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TypeColumn = 0, ClicksColumn = 1, ReferrerColumn = 2, ColumnCount = 3 };
    // data() with this role gives the row's referrer as the original bytes (QByteArray).
    static constexpr int ReferrerBytesRole = Qt::UserRole + 1;
    // data() with this role gives the row's place in the order the rows were
    // appended (qulonglong; for rows shown from a work list, the entry's index),
    // whatever the sort.
    static constexpr int AppendedRowRole = Qt::UserRole + 2;

    explicit ResultsModel(QObject* parent = nullptr);

    // Other captions for the three columns (the sites view's "Pages",
    // "Clicks", "Site"); the default is "Type", "Clicks", "Referrer".
    void setColumnTitles(const QString& first, const QString& second, const QString& third);

    // What data() gives for the roles it does not answer itself (an icon,
    // a tool tip): details(appended, column, role), `appended` as
    // AppendedRowRole gives it. None by default; kept across clear().
    using RowDetails = std::function<QVariant(std::size_t appended, int column, int role)>;
    void setRowDetails(RowDetails details) { details_ = std::move(details); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Orders the rows by `column` and keeps that order for rows appended
    // later. "Clicks" compares the counts as numbers (an empty cell before
    // every count); "Type" and "Referrer" compare the bytes with ASCII letter
    // case ignored. Rows with equal keys stay in the order they were
    // appended, in either direction. A column outside 0..2 is ignored.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Lists of at least this many rows are sorted on a worker thread.
    static constexpr std::size_t kBackgroundSortRows = 100000;

    bool isSorted() const { return sorted_; }
    // True while sort() waits for its worker (and the event loop runs).
    bool isSorting() const { return sorting_; }
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    // Removes every row. The sort order, if any, stays for the next rows.
    void clear();
    // Appends rows after those already there (or at their sorted places), in
    // one insertion. Rows beyond the model's capacity (INT_MAX) are dropped.
    void append(std::vector<ReferrerEntry> rows);
    // Room for `rows` more rows holding `bytes` more bytes of cells, so a
    // fill in batches allocates once.
    void reserve(std::size_t rows, std::size_t bytes);
    // The same for `count` rows whose cells cellsOf(i) gives, i from 0; the
    // views need to stay valid only until the next call of cellsOf.
    void append(std::size_t count, const std::function<ResultCells(std::size_t)>& cellsOf);

    // Rows built ahead of one append, in as many steps as the caller likes
    // (with turns of the event loop between them): the model and its views
    // see none of them until appendStaged().
    class Staged;
    // Adds `count` rows whose cells cellsOf(i) gives, i from 0, to `staged`.
    static void stage(Staged& staged, std::size_t count,
                      const std::function<ResultCells(std::size_t)>& cellsOf);
    // Appends the staged rows as append() does, in one insertion.
    void appendStaged(Staged staged);

    // Shows the entries of `list`, in its order, as rows (their cells as
    // StageWorkListRows() builds them), in one insertion and at their sorted
    // places when the model is sorted, without copying them: each cell is read
    // from the list when it is asked for. The list must stay alive and
    // unchanged until the next clear(); a later append() copies these rows
    // first. Into a model that already has rows, the rows are copied.
    void showWorkList(const WorkList& list, bool typeCodes);

    // The cells of the row shown at `row` (0 <= row < rowCount()), as bytes.
    // The views stay valid until the next clear() or append(); the "Clicks"
    // cell of a row shown from a work list, only until the next "Clicks" cell
    // is asked for.
    std::string_view typeCode(int row) const;
    std::string_view clicks(int row) const;
    std::string_view referrer(int row) const;
    ReferrerEntry entry(int row) const;

private:
    struct Row {
        std::uint64_t offset;  // type code, clicks and referrer follow each other here
        std::uint32_t typeSize;
        std::uint32_t clicksSize;
        std::uint32_t referrerSize;
        std::int64_t clickValue;  // -1 when the cell is empty or not a count
    };

public:
    class Staged {
    public:
        // Room for `rows` rows holding `bytes` bytes of cells.
        void reserve(std::size_t rows, std::size_t bytes) {
            rows_.reserve(rows);
            bytes_.reserve(bytes);
        }
        std::size_t size() const { return rows_.size(); }

    private:
        friend class ResultsModel;
        std::vector<Row> rows_;  // offsets into bytes_
        std::string bytes_;
    };

private:
    std::uint32_t storageIndex(int row) const;
    // Rows stored or shown from a work list.
    std::size_t size() const { return list_ != nullptr ? listRows_ : rows_.size(); }
    std::int64_t clickValue(std::uint32_t index) const;
    // Copies the rows shown from a work list into the store, which changes
    // nothing the views see.
    void storeWorkListRows();
    // Runs `change` (which reorders order_) as one layout change, moving the
    // views' persistent indexes with their rows.
    void reorder(const std::function<void()>& change);
    std::string_view cell(std::uint32_t index, int column) const;
    // Sort keys of the text columns, alive only while a sort runs: eight
    // folded bytes of each row's cell from keyStart_ on, big-endian.
    void prepareKeys();
    void releaseKeys();
    bool comesBefore(std::uint32_t a, std::uint32_t b) const;
    void sortRange(std::vector<std::uint32_t>::iterator first,
                   std::vector<std::uint32_t>::iterator last) const;
    // Stored row indices in the order sort(column, order) shows them.
    std::vector<std::uint32_t> sortedOrder(int column, Qt::SortOrder order) const;
    void waitForSortWorker();

    std::string bytes_;
    std::vector<Row> rows_;  // in the order appended
    // Rows shown from a work list (showWorkList()): the store is empty then.
    const WorkList* list_ = nullptr;
    std::size_t listRows_ = 0;
    bool listTypeCodes_ = false;
    mutable CountBuffer clicksBuffer_;  // the last "Clicks" cell read from the list
    std::vector<std::uint32_t> order_;  // shown row -> stored row, only while sorted
    std::vector<std::uint64_t> keys_;
    std::size_t keyStart_ = 0;
    bool sorted_ = false;
    bool sorting_ = false;
    std::atomic<bool> sortDone_{false};
    std::uint64_t generation_ = 0;  // counts changes of the rows
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    RowDetails details_;
    QString titles_[ColumnCount] = {QStringLiteral("Type"), QStringLiteral("Clicks"),
                                    QStringLiteral("Referrer")};
};

// Appends the rows of work-list entries [from, from + count) (clipped to the
// list) to `model` in one insertion, each cell copied once, straight from the
// list: the rows a scan's fill would hand over as ReferrerEntry rows.
void AppendWorkListRows(ResultsModel& model, const WorkList& list, std::size_t from,
                        std::size_t count, bool typeCodes);
// The same rows, staged for a later ResultsModel::appendStaged().
void StageWorkListRows(ResultsModel::Staged& staged, const WorkList& list, std::size_t from,
                       std::size_t count, bool typeCodes);

}  // namespace tallowby
