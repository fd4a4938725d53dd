#pragma once

#include <QByteArray>
#include <QTreeView>

#include <optional>

#include "results/ResultsModel.h"

class QMenu;

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
    // Takes over another list's sort state (sortedMode, column, direction)
    // and sorts the rows by it, as when the view switches between pages and
    // sites. Nothing happens when `sorted` is false or the list is already
    // sorted that way.
    void applySort(bool sorted, int column, bool ascending);

    // The context menu of the rows: "Open" (as a double-click), "Copy
    // Address" (the selected row's third cell) and "Copy Row" (the selected
    // rows as CSV lines, as Ctrl+C copies them). Made when first shown.
    QMenu* rowMenu() const { return rowMenu_; }
    // Ctrl+C: the selected rows on the clipboard as CSV lines, in the order
    // shown, each as the command line writes a row. Nothing when none is
    // selected.
    void CopyRows();
    void CopyAddress();

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
    // Ctrl+C copies the rows; Shift+F10 opens the context menu.
    void keyPressEvent(QKeyEvent* event) override;
    // The row menu at the pointer, or under the current row when it was
    // asked for from the keyboard.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ShowRowMenu(const QPoint& globalPos);
    // Under the current row: where a menu asked for from the keyboard opens.
    QPoint KeyboardMenuPlace() const;

    ResultsModel model_;
    QMenu* rowMenu_ = nullptr;
    bool sortedMode_ = false;
    int sortColumn_ = 0;
    bool ascending_ = true;
};

}  // namespace tallowby
