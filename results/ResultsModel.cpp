#include "ResultsModel.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <climits>
#include <numeric>
#include <thread>
#include <utility>

#include "engine/match/TextFold.h"
#include "engine/tally/FoldedRanks.h"

namespace tallowby {

namespace {

// The count in a "Clicks" cell: its digits as a number, or -1 when the cell
// is empty or holds anything but digits (so such cells sort before counts).
std::int64_t ClickValue(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return -1;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::uint32_t ClampedSize(std::string_view s) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(s.size(), UINT32_MAX));
}

}  // namespace

QString ShownCellText(std::string_view bytes) {
    if (bytes.size() <= kShownCellBytes) {
        // fromUtf8 replaces every invalid sequence with U+FFFD.
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    std::size_t cut = kShownCellBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
        --cut;  // never inside a character
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(cut)) + QChar(0x2026);
}

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::int64_t ResultsModel::clickValue(std::uint32_t index) const {
    if (list_ != nullptr) {
        const std::int64_t count = list_->at(index).count;
        return count > 0 ? count : -1;  // as ClickValue() reads its digits
    }
    return rows_[index].clickValue;
}

std::uint32_t ResultsModel::storageIndex(int row) const {
    return sorted_ ? order_[static_cast<std::size_t>(row)] : static_cast<std::uint32_t>(row);
}

std::string_view ResultsModel::cell(std::uint32_t index, int column) const {
    if (list_ != nullptr) {
        // A sort's worker reads the text cells while the window paints: only
        // the "Clicks" cell, never read by a sort, goes through the shared buffer.
        CountBuffer own;
        const ResultCells cells = ResultCellsOf(list_->at(index), listTypeCodes_,
                                                column == ClicksColumn ? clicksBuffer_ : own);
        return column == TypeColumn     ? cells.typeCode
               : column == ClicksColumn ? cells.clicks
                                        : cells.referrer;
    }
    const Row& r = rows_[index];
    const char* base = bytes_.data() + r.offset;
    switch (column) {
        case TypeColumn:
            return {base, r.typeSize};
        case ClicksColumn:
            return {base + r.typeSize, r.clicksSize};
        default:
            return {base + r.typeSize + r.clicksSize, r.referrerSize};
    }
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const std::uint32_t stored = storageIndex(index.row());
    if (role == Qt::DisplayRole) {
        return ShownCellText(cell(stored, index.column()));
    }
    if (role == ReferrerBytesRole) {
        const std::string_view text = cell(stored, ReferrerColumn);
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == AppendedRowRole) {
        return QVariant::fromValue(qulonglong{stored});
    }
    return details_ ? details_(stored, index.column(), role) : QVariant();
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section < 0 || section >= ColumnCount) {
        return {};
    }
    return titles_[section];
}

void ResultsModel::setColumnTitles(const QString& first, const QString& second,
                                   const QString& third) {
    titles_[TypeColumn] = first;
    titles_[ClicksColumn] = second;
    titles_[ReferrerColumn] = third;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void ResultsModel::prepareKeys() {
    keys_.clear();
    keyStart_ = 0;
    if (sortColumn_ == ClicksColumn || size() == 0) {
        return;
    }
    // Most referrers share a long beginning ("http://www."), so the key is
    // taken from the first eight folded bytes after what all rows share.
    std::string_view common = cell(0, sortColumn_);
    std::size_t shared = common.size();
    for (std::uint32_t i = 1; i < size() && shared > 0; ++i) {
        const std::string_view text = cell(i, sortColumn_);
        std::size_t n = 0;
        const std::size_t limit = std::min(shared, text.size());
        while (n < limit && FoldByte(static_cast<unsigned char>(text[n])) ==
                                FoldByte(static_cast<unsigned char>(common[n]))) {
            ++n;
        }
        shared = n;
    }
    keyStart_ = shared;
    keys_.resize(size());
    for (std::uint32_t i = 0; i < size(); ++i) {
        keys_[i] = FoldedKey(cell(i, sortColumn_), keyStart_);
    }
}

bool ResultsModel::comesBefore(std::uint32_t a, std::uint32_t b) const {
    int c = 0;
    if (sortColumn_ == ClicksColumn) {
        const std::int64_t x = clickValue(a);
        const std::int64_t y = clickValue(b);
        c = x < y ? -1 : (x > y ? 1 : 0);
    } else if (keys_[a] != keys_[b]) {
        // Keys are the folded bytes, zero-padded: a smaller key is a smaller text.
        c = keys_[a] < keys_[b] ? -1 : 1;
    } else {
        std::string_view x = cell(a, sortColumn_);
        std::string_view y = cell(b, sortColumn_);
        const std::size_t covered = keyStart_ + 8;
        if (x.size() <= covered || y.size() <= covered) {
            // One text ends within the key: it is a folded prefix of the other.
            c = x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
        } else {
            x.remove_prefix(covered);
            y.remove_prefix(covered);
            c = CompareIgnoringCase(x, y);
        }
    }
    if (c != 0) {
        return sortOrder_ == Qt::AscendingOrder ? c < 0 : c > 0;
    }
    return a < b;  // equal keys keep the order of arrival, in both directions
}

void ResultsModel::releaseKeys() {
    keys_.clear();
    keys_.shrink_to_fit();
}

void ResultsModel::sortRange(std::vector<std::uint32_t>::iterator first,
                             std::vector<std::uint32_t>::iterator last) const {
    // The index tie-break makes this a strict total order, so std::sort gives
    // the same result as a stable sort.
    std::sort(first, last, [this](std::uint32_t a, std::uint32_t b) { return comesBefore(a, b); });
}

void ResultsModel::reorder(const std::function<void()>& change) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::uint32_t> storedOf;
    storedOf.reserve(static_cast<std::size_t>(persistent.size()));
    for (const QModelIndex& index : persistent) {
        storedOf.push_back(storageIndex(index.row()));
    }

    change();

    if (!persistent.isEmpty()) {
        std::vector<std::uint32_t> shownAt(size());
        for (std::size_t i = 0; i < size(); ++i) {
            shownAt[storageIndex(static_cast<int>(i))] = static_cast<std::uint32_t>(i);
        }
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i) {
            moved.append(index(static_cast<int>(shownAt[storedOf[static_cast<std::size_t>(i)]]),
                               persistent[i].column()));
        }
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<std::uint32_t> ResultsModel::sortedOrder(int column, Qt::SortOrder order) const {
    // Every row gets the rank of its cell (equal cells, equal ranks); a
    // stable counting sort by rank then gives the order, rows of equal rank
    // in the order they were appended, in either direction.
    const std::size_t n = size();
    std::vector<std::uint32_t> rank(n);
    std::size_t ranks = 0;
    if (column == ClicksColumn) {
        std::vector<std::pair<std::int64_t, std::uint32_t>> values(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            values[i] = {clickValue(i), i};
        }
        std::sort(values.begin(), values.end());
        for (std::size_t i = 0; i < n; ++i) {
            ranks += (i == 0 || values[i].first != values[i - 1].first) ? 1 : 0;
            rank[values[i].second] = static_cast<std::uint32_t>(ranks - 1);
        }
    } else {
        std::vector<std::string_view> texts(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            texts[i] = cell(i, column);
        }
        rank = FoldedRanks(texts);
        for (const std::uint32_t r : rank) {
            ranks = std::max<std::size_t>(ranks, r + std::size_t{1});
        }
    }
    if (order == Qt::DescendingOrder) {
        for (std::uint32_t& r : rank) {
            r = static_cast<std::uint32_t>(ranks - 1 - r);
        }
    }
    std::vector<std::uint32_t> start(ranks + 1, 0);
    for (const std::uint32_t r : rank) {
        ++start[r + 1];
    }
    for (std::size_t r = 1; r <= ranks; ++r) {
        start[r] += start[r - 1];
    }
    std::vector<std::uint32_t> result(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        result[start[rank[i]]++] = i;
    }
    return result;
}

void ResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    std::vector<std::uint32_t> result;
    if (size() < kBackgroundSortRows || QCoreApplication::instance() == nullptr) {
        result = sortedOrder(column, order);
    } else {
        // A long list is sorted on a worker thread while the window goes on
        // painting; clicks and keys wait until the rows are in their new
        // order. The worker only reads rows that nothing changes meanwhile:
        // every change of the rows comes from user input or from a scan,
        // which is paused further down this very stack.
        QEventLoop wait;
        const std::uint64_t generation = generation_;
        sortDone_ = false;
        sorting_ = true;
        std::thread worker([&] {
            result = sortedOrder(column, order);
            sortDone_ = true;
            QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
        });
        while (!sortDone_) {
            wait.exec(QEventLoop::ExcludeUserInputEvents);
        }
        worker.join();
        sorting_ = false;
        if (generation != generation_) {
            result = sortedOrder(column, order);  // the rows changed meanwhile after all
        }
    }
    reorder([&] {
        order_ = std::move(result);
        sorted_ = true;
        sortColumn_ = column;
        sortOrder_ = order;
    });
}

void ResultsModel::waitForSortWorker() {
    // Only reached if something changes the rows from inside the event loop
    // of a sort (nothing in the program does): the worker must be done
    // reading them first. It never needs the event loop to finish.
    while (sorting_ && !sortDone_) {
        std::this_thread::yield();
    }
    ++generation_;
}

void ResultsModel::clear() {
    waitForSortWorker();
    if (size() == 0) {
        list_ = nullptr;
        return;
    }
    beginResetModel();
    list_ = nullptr;
    listRows_ = 0;
    rows_.clear();
    rows_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
    order_.clear();
    order_.shrink_to_fit();
    endResetModel();
}

void ResultsModel::append(std::vector<ReferrerEntry> rows) {
    append(rows.size(), [&rows](std::size_t i) {
        const ReferrerEntry& e = rows[i];
        return ResultCells{e.typeCode, e.clicks, e.referrer};
    });
}

void ResultsModel::reserve(std::size_t rows, std::size_t bytes) {
    waitForSortWorker();
    rows_.reserve(rows_.size() + rows);
    bytes_.reserve(bytes_.size() + bytes);
}

void ResultsModel::stage(Staged& staged, std::size_t count,
                         const std::function<ResultCells(std::size_t)>& cellsOf) {
    for (std::size_t i = 0; i < count; ++i) {
        const ResultCells c = cellsOf(i);
        const Row r{staged.bytes_.size(), ClampedSize(c.typeCode), ClampedSize(c.clicks),
                    ClampedSize(c.referrer), ClickValue(c.clicks)};
        staged.bytes_.append(c.typeCode.data(), r.typeSize);
        staged.bytes_.append(c.clicks.data(), r.clicksSize);
        staged.bytes_.append(c.referrer.data(), r.referrerSize);
        staged.rows_.push_back(r);
    }
}

void ResultsModel::append(std::size_t count,
                          const std::function<ResultCells(std::size_t)>& cellsOf) {
    waitForSortWorker();
    const std::size_t room = static_cast<std::size_t>(INT_MAX) - rows_.size();
    count = std::min(count, room);
    if (count == 0) {
        return;
    }
    Staged staged;
    staged.rows_.reserve(count);
    if (bytes_.empty()) {
        staged.bytes_.swap(bytes_);  // whatever room reserve() made
    }
    stage(staged, count, cellsOf);
    appendStaged(std::move(staged));
}

void ResultsModel::appendStaged(Staged staged) {
    waitForSortWorker();
    storeWorkListRows();
    const std::size_t room = static_cast<std::size_t>(INT_MAX) - rows_.size();
    std::vector<Row>& fresh = staged.rows_;
    if (fresh.size() > room) {
        fresh.resize(room);
    }
    if (fresh.empty()) {
        return;
    }
    const std::size_t before = rows_.size();
    const std::size_t count = fresh.size();
    // Room grows at least by half each time: a fill in many batches copies
    // what it has stored only a few times over.
    if (before + count > rows_.capacity()) {
        rows_.reserve(std::max(before + count, rows_.capacity() + rows_.capacity() / 2));
    }
    // The new rows are stored first, but become visible only inside the
    // insertion below, so views never see a half-filled model. Into an
    // empty store the staged bytes move whole.
    if (bytes_.empty()) {
        bytes_ = std::move(staged.bytes_);
    } else {
        const std::uint64_t shift = bytes_.size();
        for (Row& r : fresh) {
            r.offset += shift;
        }
        bytes_.append(staged.bytes_);
    }

    const int first = static_cast<int>(before);
    const int last = static_cast<int>(before + fresh.size() - 1);
    if (!sorted_ || before == 0) {
        beginInsertRows(QModelIndex(), first, last);
        rows_.insert(rows_.end(), fresh.begin(), fresh.end());
        if (sorted_) {
            order_.resize(rows_.size());
            std::iota(order_.begin(), order_.end(), 0u);
            prepareKeys();
            sortRange(order_.begin(), order_.end());
            releaseKeys();
        }
        endInsertRows();
        return;
    }

    // Sorted and not empty: the new rows are inserted at the end, then
    // sorted among themselves and merged into the order in one layout change.
    beginInsertRows(QModelIndex(), first, last);
    rows_.insert(rows_.end(), fresh.begin(), fresh.end());
    for (std::size_t i = before; i < rows_.size(); ++i) {
        order_.push_back(static_cast<std::uint32_t>(i));
    }
    endInsertRows();
    reorder([&] {
        const auto middle = order_.begin() + static_cast<std::ptrdiff_t>(before);
        prepareKeys();
        sortRange(middle, order_.end());
        std::inplace_merge(order_.begin(), middle, order_.end(),
                           [this](std::uint32_t a, std::uint32_t b) { return comesBefore(a, b); });
        releaseKeys();
    });
}

void ResultsModel::showWorkList(const WorkList& list, bool typeCodes) {
    waitForSortWorker();
    if (size() > 0 || list.size() > static_cast<std::size_t>(INT_MAX)) {
        Staged staged;
        StageWorkListRows(staged, list, 0, list.size(), typeCodes);
        appendStaged(std::move(staged));
        return;
    }
    if (list.empty()) {
        return;
    }
    (void)list.at(0);  // reading puts the list in order: here, not on a sort's worker
    beginInsertRows(QModelIndex(), 0, static_cast<int>(list.size() - 1));
    list_ = &list;
    listRows_ = list.size();
    listTypeCodes_ = typeCodes;
    if (sorted_) {
        order_ = sortedOrder(sortColumn_, sortOrder_);
    }
    endInsertRows();
}

void ResultsModel::storeWorkListRows() {
    if (list_ == nullptr) {
        return;
    }
    Staged staged;
    StageWorkListRows(staged, *list_, 0, listRows_, listTypeCodes_);
    list_ = nullptr;
    listRows_ = 0;
    rows_ = std::move(staged.rows_);
    bytes_ = std::move(staged.bytes_);
}

std::string_view ResultsModel::typeCode(int row) const {
    return cell(storageIndex(row), TypeColumn);
}

std::string_view ResultsModel::clicks(int row) const {
    return cell(storageIndex(row), ClicksColumn);
}

std::string_view ResultsModel::referrer(int row) const {
    return cell(storageIndex(row), ReferrerColumn);
}

ReferrerEntry ResultsModel::entry(int row) const {
    return {std::string(typeCode(row)), std::string(clicks(row)), std::string(referrer(row))};
}

void StageWorkListRows(ResultsModel::Staged& staged, const WorkList& list, std::size_t from,
                       std::size_t count, bool typeCodes) {
    from = std::min(from, list.size());
    count = std::min(count, list.size() - from);
    ClicksBuffer buffer;
    ResultsModel::stage(staged, count, [&](std::size_t i) {
        list.prefetch(from + i + 16);
        return ResultCellsOf(list.at(from + i), typeCodes, buffer);
    });
}

void AppendWorkListRows(ResultsModel& model, const WorkList& list, std::size_t from,
                        std::size_t count, bool typeCodes) {
    from = std::min(from, list.size());
    count = std::min(count, list.size() - from);
    if (from == 0) {
        // The first batch of a fill: room for all of them (a type code and
        // a count of seven digits or so per row besides the referrers).
        model.reserve(list.size(), list.textBytes() + list.size() * 10);
    }
    ClicksBuffer buffer;
    model.append(count, [&](std::size_t i) {
        list.prefetch(from + i + 16);
        return ResultCellsOf(list.at(from + i), typeCodes, buffer);
    });
}

}  // namespace tallowby
