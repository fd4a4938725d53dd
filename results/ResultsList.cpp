#include "ResultsList.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/Twips.h"
#include "results/ViewExport.h"

namespace tallowby {

ResultsList::ResultsList(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("lstResults"));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps scrolling a million rows cheap
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSortingEnabled(false);  // header clicks go through lstResults_ColumnClick

    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(false);
    head->setSectionsClickable(true);
    head->setSectionResizeMode(QHeaderView::Interactive);
    connect(head, &QHeaderView::sectionClicked, this, &ResultsList::lstResults_ColumnClick);
    setUpColumns();
}

void ResultsList::setUpColumns() {
    for (int column = 0; column < ResultsModel::ColumnCount; ++column) {
        header()->resizeSection(column, twips::ToPixels(kColumnTwips[column]));
    }
}

std::optional<QByteArray> ResultsList::selectedAddress() const {
    const QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr) {
        return std::nullopt;
    }
    const QModelIndexList rows = selection->selectedRows(ResultsModel::ReferrerColumn);
    if (rows.isEmpty() || !rows.first().isValid()) {
        return std::nullopt;
    }
    return rows.first().data(ResultsModel::ReferrerBytesRole).toByteArray();
}

void ResultsList::lstResults_Click() {
    if (const std::optional<QByteArray> address = selectedAddress()) {
        emit addressClicked(
            ShownCellText(std::string_view(address->constData(), std::size_t(address->size()))));
    }
}

void ResultsList::lstResults_DblClick() {
    emit openRequested(selectedAddress());
}

void ResultsList::lstResults_ColumnClick(int section) {
    EnhListView_SortColumns(section + 1);
}

void ResultsList::EnhListView_SortColumns(int position) {
    if (model_.rowCount() == 0 || position < 1 || position > ResultsModel::ColumnCount) {
        // The header may have moved its own indicator on the click; put back ours.
        if (sortedMode_) {
            header()->setSortIndicator(sortColumn_,
                                       ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
        } else {
            header()->setSortIndicatorShown(false);
        }
        return;
    }
    sortedMode_ = true;
    sortColumn_ = position - 1;
    ascending_ = !ascending_;
    const Qt::SortOrder order = ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder;
    model_.sort(sortColumn_, order);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(sortColumn_, order);
    if (const QModelIndexList rows = selectionModel()->selectedRows(); !rows.isEmpty()) {
        scrollTo(rows.first());
    }
}

void ResultsList::applySort(bool sorted, int column, bool ascending) {
    if (!sorted || column < 0 || column >= ResultsModel::ColumnCount) {
        return;
    }
    const Qt::SortOrder order = ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    sortedMode_ = true;
    sortColumn_ = column;
    ascending_ = ascending;
    if (!model_.isSorted() || model_.sortColumn() != column || model_.sortOrder() != order) {
        model_.sort(column, order);
    }
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, order);
}

void ResultsList::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        lstResults_Click();
    }
}

void ResultsList::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* sideways = horizontalScrollBar();
    const int left = sideways->value();
    QTreeView::scrollTo(index, hint);
    sideways->setValue(left);
}

void ResultsList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        lstResults_DblClick();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopyRows();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        ShowRowMenu(KeyboardMenuPlace());
        event->accept();
        return;
    }
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    if (currentIndex() != before) {
        lstResults_Click();
    }
}

void ResultsList::CopyRows() {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    PutOnClipboard(QString::fromUtf8(CsvLines(model_, rows)));
}

void ResultsList::CopyAddress() {
    if (const std::optional<QByteArray> address = selectedAddress()) {
        PutOnClipboard(QString::fromUtf8(*address));
    }
}

void ResultsList::contextMenuEvent(QContextMenuEvent* event) {
    ShowRowMenu(event->reason() == QContextMenuEvent::Keyboard ? KeyboardMenuPlace()
                                                               : event->globalPos());
    event->accept();
}

QPoint ResultsList::KeyboardMenuPlace() const {
    const QRect row = visualRect(currentIndex());
    return viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0));
}

void ResultsList::ShowRowMenu(const QPoint& globalPos) {
    if (rowMenu_ == nullptr) {
        rowMenu_ = new QMenu(this);
        connect(rowMenu_->addAction(QStringLiteral("&Open")), &QAction::triggered, this,
                &ResultsList::lstResults_DblClick);
        connect(rowMenu_->addAction(QStringLiteral("Copy &Address")), &QAction::triggered, this,
                &ResultsList::CopyAddress);
        connect(rowMenu_->addAction(QStringLiteral("Copy &Row")), &QAction::triggered, this,
                &ResultsList::CopyRows);
    }
    const bool row = selectedAddress().has_value();
    for (QAction* item : rowMenu_->actions()) {
        item->setEnabled(row);
    }
    rowMenu_->popup(globalPos);
}

void ResultsList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        lstResults_DblClick();
    }
}

}  // namespace tallowby
