#include "ResultsModel.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <utility>

#include "engine/TextFold.h"

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

std::uint32_t ClampedSize(const std::string& s) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(s.size(), UINT32_MAX));
}

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::uint32_t ResultsModel::storageIndex(int row) const {
    return sorted_ ? order_[static_cast<std::size_t>(row)] : static_cast<std::uint32_t>(row);
}

std::string_view ResultsModel::cell(std::uint32_t index, int column) const {
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
        const std::string_view text = cell(stored, index.column());
        // fromUtf8 replaces every invalid sequence with U+FFFD.
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == ReferrerBytesRole) {
        const std::string_view text = cell(stored, ReferrerColumn);
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case TypeColumn:
            return QStringLiteral("Type");
        case ClicksColumn:
            return QStringLiteral("Clicks");
        case ReferrerColumn:
            return QStringLiteral("Referrer");
        default:
            return {};
    }
}

void ResultsModel::prepareKeys() {
    keys_.clear();
    keyStart_ = 0;
    if (sortColumn_ == ClicksColumn || rows_.empty()) {
        return;
    }
    // Most referrers share a long beginning ("http://www."), so the key is
    // taken from the first eight folded bytes after what all rows share.
    std::string_view common = cell(0, sortColumn_);
    std::size_t shared = common.size();
    for (std::uint32_t i = 1; i < rows_.size() && shared > 0; ++i) {
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
    keys_.resize(rows_.size());
    for (std::uint32_t i = 0; i < rows_.size(); ++i) {
        const std::string_view text = cell(i, sortColumn_);
        std::uint64_t key = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            const std::size_t at = keyStart_ + k;
            const unsigned char byte =
                at < text.size() ? FoldByte(static_cast<unsigned char>(text[at])) : 0;
            key = (key << 8) | byte;
        }
        keys_[i] = key;
    }
}

bool ResultsModel::comesBefore(std::uint32_t a, std::uint32_t b) const {
    int c = 0;
    if (sortColumn_ == ClicksColumn) {
        const std::int64_t x = rows_[a].clickValue;
        const std::int64_t y = rows_[b].clickValue;
        c = x < y ? -1 : (x > y ? 1 : 0);
    } else if (keys_[a] != keys_[b]) {
        // Keys are the folded bytes, zero-padded: a smaller key is a smaller text.
        c = keys_[a] < keys_[b] ? -1 : 1;
    } else {
        std::string_view x = cell(a, sortColumn_);
        std::string_view y = cell(b, sortColumn_);
        const std::size_t covered = keyStart_ + 8;
        if (x.size() >= covered && y.size() >= covered) {
            x.remove_prefix(covered);
            y.remove_prefix(covered);
        }
        c = CompareIgnoringCase(x, y);
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
        std::vector<std::uint32_t> shownAt(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) {
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

void ResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    reorder([&] {
        if (!sorted_) {
            order_.resize(rows_.size());
            std::iota(order_.begin(), order_.end(), 0u);
        }
        sorted_ = true;
        sortColumn_ = column;
        sortOrder_ = order;
        prepareKeys();
        sortRange(order_.begin(), order_.end());
        releaseKeys();
    });
}

void ResultsModel::clear() {
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    bytes_.clear();
    bytes_.shrink_to_fit();
    order_.clear();
    order_.shrink_to_fit();
    endResetModel();
}

void ResultsModel::append(std::vector<ReferrerEntry> rows) {
    const std::size_t room = static_cast<std::size_t>(INT_MAX) - rows_.size();
    if (rows.size() > room) {
        rows.resize(room);
    }
    if (rows.empty()) {
        return;
    }
    const std::size_t before = rows_.size();
    std::size_t added = 0;
    for (const ReferrerEntry& e : rows) {
        added += e.typeCode.size() + e.clicks.size() + e.referrer.size();
    }
    bytes_.reserve(bytes_.size() + added);
    rows_.reserve(before + rows.size());

    // The new rows are stored first, but become visible only inside the
    // insertion below, so views never see a half-filled model.
    std::vector<Row> fresh;
    fresh.reserve(rows.size());
    for (ReferrerEntry& e : rows) {
        Row r{bytes_.size(), ClampedSize(e.typeCode), ClampedSize(e.clicks),
              ClampedSize(e.referrer), ClickValue(e.clicks)};
        bytes_.append(e.typeCode, 0, r.typeSize);
        bytes_.append(e.clicks, 0, r.clicksSize);
        bytes_.append(e.referrer, 0, r.referrerSize);
        fresh.push_back(r);
        e = ReferrerEntry{};  // the copy in the arena is the only one kept
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

}  // namespace tallowby
