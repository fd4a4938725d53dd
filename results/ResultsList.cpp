#include "ResultsList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/Twips.h"

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
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    if (currentIndex() != before) {
        lstResults_Click();
    }
}

void ResultsList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        lstResults_DblClick();
    }
}

}  // namespace tallowby
