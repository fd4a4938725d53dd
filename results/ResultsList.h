#pragma once

#include <QByteArray>
#include <QTreeView>

#include <optional>

#include "results/ResultsModel.h"

namespace tallowby {

// The report list `lstResults`: the results rows with their three column
// headers, single selection, and the click, double-click and header-click
// handlers. It owns its ResultsModel; the scan fills it through model().
//
// Every handler acts on the selected row, never on the row under the mouse.
class ResultsList : public QTreeView {
    Q_OBJECT

public:
    // Design widths of the columns "Type", "Clicks", "Referrer", in twips.
    static constexpr int kColumnTwips[ResultsModel::ColumnCount] = {630, 930, 20000};

    explicit ResultsList(QWidget* parent = nullptr);

    ResultsModel& results() { return model_; }
    const ResultsModel& results() const { return model_; }

    // Column set-up: the captions "Type", "Clicks", "Referrer" and their
    // design widths. Done by the constructor; running it again only restores
    // the widths.
    void setUpColumns();

    // The selected row's "Referrer" cell as the bytes read from the log, or
    // nothing when no row is selected.
    std::optional<QByteArray> selectedAddress() const;

    // Sort state, kept from the first header click that found rows until the
    // list is destroyed. The direction is shared by all columns and starts
    // ascending, so the first header click sorts descending.
    bool sortedMode() const { return sortedMode_; }
    int sortColumn() const { return sortColumn_; }
    bool sortAscending() const { return ascending_; }

    // The handlers, public so that the window and tests can run them exactly
    // as the mouse does.
    void lstResults_Click();
    void lstResults_DblClick();
    // `section` is the 0-based header position that was clicked.
    void lstResults_ColumnClick(int section);
    // Sorts by the column at 1-based `position`. On a list without rows
    // nothing changes, not even the direction.
    void EnhListView_SortColumns(int position);

    // Brings the row into view by scrolling up or down only: the wide
    // "Referrer" column would otherwise pull "Type" and "Clicks" out of
    // sight whenever one of its cells is clicked.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // A click on the list with a selected row: that row's address, for
    // status panel 2. Not emitted when no row is selected.
    void addressClicked(const QString& address);
    // A double-click on the list: the selected row's address, or nothing
    // when no row is selected (then the browser pane re-opens what its
    // address box holds). Connect to BrowserPane::openReferrer.
    void openRequested(const std::optional<QByteArray>& address);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The arrow keys (and Page Up/Down, Home, End) move the selected row
    // and act as a click on it; Enter acts as a double-click.
    void keyPressEvent(QKeyEvent* event) override;

private:
    ResultsModel model_;
    bool sortedMode_ = false;
    int sortColumn_ = 0;
    bool ascending_ = true;
};

}  // namespace tallowby
