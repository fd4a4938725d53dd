#include "SitesPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "engine/scan/Scanner.h"
#include "output/RowCells.h"
#include "platform/Twips.h"
#include "platform/WindowPlacement.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"

namespace tallowby {

namespace {

// Work lists of this many entries are grouped on a worker thread while the
// window goes on painting, as long lists are sorted.
constexpr std::size_t kBackgroundGroupEntries = 100000;
// Sites handed to the list at a time.
constexpr std::size_t kFillPiece = 32768;

std::vector<Site> GroupKeepingWindowAlive(const WorkList& list) {
    if (list.size() < kBackgroundGroupEntries || QCoreApplication::instance() == nullptr) {
        return GroupBySite(list);
    }
    // Put the list in order here, so the worker only reads it. Nothing else
    // changes it meanwhile: user input waits, and a scan (the only writer)
    // starts from user input or is paused further down this very stack.
    (void)list.at(0);
    std::vector<Site> sites;
    std::atomic<bool> done{false};
    QEventLoop wait;
    std::thread worker([&] {
        sites = GroupBySite(list);
        done = true;
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    while (!done) {
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    worker.join();
    return sites;
}

}  // namespace

SitesPanel::SitesPanel(Parts parts, QObject* parent) : QObject(parent), parts_(parts) {
    parts_.actionMenu->addSeparator();
    mnuActionSites_ = parts_.actionMenu->addAction(QStringLiteral("&Group by Site"));
    mnuActionSites_->setCheckable(true);
    mnuActionChart_ = parts_.actionMenu->addAction(QStringLiteral("Referring Sites &Chart"));

    chkSites_ = new QCheckBox(QStringLiteral("Group by Site"), parts_.frame);
    chkSites_->setObjectName(QStringLiteral("chkSites"));
    chkSites_->setToolTip(QStringLiteral("One row per referring site, with its clicks"));
    lstSites_ = new ResultsList(parts_.frame);
    lstSites_->setObjectName(QStringLiteral("lstSites"));
    lstSites_->results().setColumnTitles(QStringLiteral("Pages"), QStringLiteral("Clicks"),
                                         QStringLiteral("Site"));
    // "Pages" holds seven digits, as "Clicks" does.
    lstSites_->header()->resizeSection(0, twips::ToPixels(ResultsList::kColumnTwips[1]));
    lstSites_->hide();

    connect(mnuActionSites_, &QAction::toggled, this, &SitesPanel::ShowSites);
    connect(chkSites_, &QCheckBox::toggled, this, &SitesPanel::ShowSites);
    connect(mnuActionChart_, &QAction::triggered, this, &SitesPanel::OpenChart);
    connect(lstSites_, &ResultsList::addressClicked, this, [this] {
        if (const std::optional<QByteArray> address = selectedAddress()) {
            parts_.statusPanel2->setText(QString::fromUtf8(*address));
        }
    });
    connect(lstSites_, &ResultsList::openRequested, this,
            [this] { parts_.browser->openReferrer(selectedAddress()); });
}

SitesPanel::~SitesPanel() = default;

bool SitesPanel::sitesShown() const {
    return shown_;
}

const std::vector<Site>& SitesPanel::sites() {
    if (!grouped_) {
        sites_ = GroupKeepingWindowAlive(parts_.scanner->workList());
        grouped_ = true;
    }
    return sites_;
}

void SitesPanel::ShowSites(bool on) {
    // The menu item and the check box show the same state.
    const QSignalBlocker blockAction(mnuActionSites_);
    const QSignalBlocker blockBox(chkSites_);
    mnuActionSites_->setChecked(on);
    chkSites_->setChecked(on);
    if (on == shown_) {
        return;
    }
    shown_ = on;
    ResultsList* from = on ? parts_.pages : lstSites_;
    ResultsList* to = on ? lstSites_ : parts_.pages;
    if (on && !filled_) {
        Refill();
    }
    to->applySort(from->sortedMode(), from->sortColumn(), from->sortAscending());
    from->hide();
    to->show();
}

void SitesPanel::Refill() {
    const std::vector<Site>& all = sites();
    ResultsModel& model = lstSites_->results();
    model.clear();
    CountBuffer pages;
    CountBuffer clicks;
    // In pieces with a turn of the event loop between them: a sorted list
    // (the sort stays after the first one) places each piece on this thread.
    for (std::size_t from = 0; from < all.size(); from += kFillPiece) {
        if (from > 0) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        model.append(std::min(kFillPiece, all.size() - from),
                     [&](std::size_t i) { return SiteCellsOf(all[from + i], pages, clicks); });
    }
    filled_ = true;
}

void SitesPanel::OpenChart() {
    const bool opening = !chart_.isLoaded();
    ChartWindow* chart = chart_.Load([this] { return new ChartWindow(*parts_.messageBoxes); });
    chart->setSites(sites());
    if (opening) {
        CentreOver(chart, parts_.frame->window());
    }
    ShowAndBringForward(chart);
}

void SitesPanel::ScanStarting() {
    sites_.clear();
    sites_.shrink_to_fit();
    grouped_ = false;
    filled_ = false;
    lstSites_->results().clear();
}

void SitesPanel::ScanFinished() {
    if (sitesShown()) {
        Refill();
    }
    if (ChartWindow* chart = chart_.window()) {
        chart->setSites(sites());
    }
}

const Site* SitesPanel::siteAtSelection() const {
    const std::optional<QByteArray> host = lstSites_->selectedAddress();
    if (!host) {
        return nullptr;
    }
    const std::string_view wanted(host->constData(), static_cast<std::size_t>(host->size()));
    for (const Site& site : sites_) {
        if (site.host == wanted) {
            return &site;
        }
    }
    return nullptr;
}

std::optional<QByteArray> SitesPanel::selectedAddress() const {
    if (!sitesShown()) {
        return parts_.pages->selectedAddress();
    }
    const Site* site = siteAtSelection();
    if (site == nullptr) {
        return std::nullopt;
    }
    const std::string address = SiteAddress(*site);
    return QByteArray(address.data(), static_cast<qsizetype>(address.size()));
}

void SitesPanel::UnloadChart() {
    chart_.Unload();
}

void SitesPanel::place(const QRect& list) {
    lstSites_->setGeometry(list);
    const QSize size = chkSites_->sizeHint();
    chkSites_->setGeometry(list.left(), list.bottom() + 6, size.width(), size.height());
}

}  // namespace tallowby
