#pragma once

#include <QObject>
#include <QRect>

#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QComboBox;
class QGroupBox;
class QMenu;

namespace tallowby {

class ResultsList;

// The views of the results frame, in the order the view chooser lists them.
enum class ResultsView { Pages, Sites, Sources, Keywords };
inline constexpr std::size_t kResultsViews = 4;

// Which list the results frame shows, and the two controls that choose it:
// the menu items "Group by Site", "Group by Source" and "Group by Search
// Keyword" (at most one checked; none checked: the page list, so each item
// switches its view on and off) and the view chooser `cboView` under the
// list. Both always show the view shown. The switch is immediate: the new
// list is filled first when it needs to be (by `prepare`), takes over the
// sort column and direction of the one it replaces, and takes its place.
class ViewSwitch : public QObject {
    Q_OBJECT
public:
    // The list of each view, in ResultsView order; the page list shows first.
    using Lists = std::array<ResultsList*, kResultsViews>;
    // Runs before a view's list is shown; fills it when it is not yet.
    using Prepare = std::function<void(ResultsView)>;

    ViewSwitch(QGroupBox* frame, QMenu* menu, Lists lists, Prepare prepare,
               QObject* parent = nullptr);

    // The menu item of `view`; null for the page list, which has none.
    QAction* action(ResultsView view) const;
    QComboBox* cboView() const { return cboView_; }  // the view chooser under the list
    ResultsView shown() const { return shown_; }
    ResultsList* list(ResultsView view) const { return lists_[Index(view)]; }

    // Puts the grouped views' lists at `list` (pixels, in the frame; the
    // page list is placed by the window) and the chooser right under it.
    void place(const QRect& list);

public slots:
    void show(ResultsView view);

private:
    static std::size_t Index(ResultsView view) { return static_cast<std::size_t>(view); }

    Lists lists_;
    Prepare prepare_;
    std::array<QAction*, kResultsViews> actions_{};
    QActionGroup* group_ = nullptr;
    QComboBox* cboView_ = nullptr;
    ResultsView shown_ = ResultsView::Pages;
};

}  // namespace tallowby
