#include "ViewSwitch.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>

#include "results/ResultsList.h"

namespace tallowby {

ViewSwitch::ViewSwitch(QGroupBox* frame, QMenu* menu, Lists lists, Prepare prepare, QObject* parent)
    : QObject(parent), lists_(lists), prepare_(std::move(prepare)) {
    group_ = new QActionGroup(this);
    group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const std::pair<ResultsView, QString> items[] = {
        {ResultsView::Sites, QStringLiteral("&Group by Site")},
        {ResultsView::Sources, QStringLiteral("Group by So&urce")},
        {ResultsView::Keywords, QStringLiteral("Group by Search &Keyword")},
    };
    for (const auto& [view, caption] : items) {
        QAction* item = menu->addAction(caption);
        item->setCheckable(true);
        group_->addAction(item);
        actions_[Index(view)] = item;
        connect(item, &QAction::triggered, this,
                [this, view = view](bool checked) { show(checked ? view : ResultsView::Pages); });
    }

    cboView_ = new QComboBox(frame);
    cboView_->setObjectName(QStringLiteral("cboView"));
    cboView_->addItems({QStringLiteral("Pages"), QStringLiteral("Sites"), QStringLiteral("Sources"),
                        QStringLiteral("Search Keywords")});
    cboView_->setToolTip(
        QStringLiteral("One row per referring page, per site, per source (search engine, "
                       "social network, AI assistant, website) or per search keyword"));
    connect(cboView_, &QComboBox::activated, this,
            [this](int index) { show(static_cast<ResultsView>(index)); });
}

QAction* ViewSwitch::action(ResultsView view) const {
    return actions_[Index(view)];
}

void ViewSwitch::show(ResultsView view) {
    // The menu and the chooser show the same view. Neither signal taken
    // here (triggered, activated) comes from a change made by the program.
    if (QAction* item = action(view)) {
        item->setChecked(true);  // the group unchecks the others
    } else if (QAction* checked = group_->checkedAction()) {
        checked->setChecked(false);
    }
    cboView_->setCurrentIndex(static_cast<int>(view));
    if (view == shown_) {
        return;
    }
    ResultsList* from = list(shown_);
    ResultsList* to = list(view);
    shown_ = view;
    if (prepare_) {
        prepare_(view);
    }
    to->applySort(from->sortedMode(), from->sortColumn(), from->sortAscending());
    from->hide();
    to->show();
}

void ViewSwitch::place(const QRect& list) {
    for (std::size_t i = 1; i < kResultsViews; ++i) {
        lists_[i]->setGeometry(list);
    }
    const QSize size = cboView_->sizeHint();
    cboView_->setGeometry(list.left(), list.bottom() + 6, size.width(), size.height());
}

}  // namespace tallowby
