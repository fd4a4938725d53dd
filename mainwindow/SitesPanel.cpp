#include "SitesPanel.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>

#include <string>

#include "GroupingWork.h"
#include "SourcesPanel.h"
#include "engine/scan/Scanner.h"
#include "output/RowCells.h"
#include "platform/Twips.h"
#include "platform/WindowPlacement.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"

namespace tallowby {

SitesPanel::SitesPanel(Parts parts, QObject* parent) : QObject(parent), parts_(parts) {
    lstSites_ = new ResultsList(parts_.frame);
    lstSites_->setObjectName(QStringLiteral("lstSites"));
    lstSites_->results().setColumnTitles(QStringLiteral("Pages"), QStringLiteral("Clicks"),
                                         QStringLiteral("Site"));
    // "Pages" holds seven digits, as "Clicks" does.
    lstSites_->header()->resizeSection(0, twips::ToPixels(ResultsList::kColumnTwips[1]));
    lstSites_->hide();
    sources_ = std::make_unique<SourcesPanel>(
        SourcesPanel::Parts{parts_.frame, parts_.browser, parts_.statusPanel2, parts_.scanner,
                            parts_.messageBoxes, parts_.settings});

    parts_.actionMenu->addSeparator();
    switch_ = std::make_unique<ViewSwitch>(
        parts_.frame, parts_.actionMenu,
        ViewSwitch::Lists{parts_.pages, lstSites_, sources_->lstSources(), sources_->lstKeywords()},
        [this](ResultsView view) { Fill(view); });
    mnuActionChart_ = parts_.actionMenu->addAction(QStringLiteral("Referring Sites &Chart"));

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

QAction* SitesPanel::mnuActionSites() const {
    return switch_->action(ResultsView::Sites);
}

QAction* SitesPanel::mnuActionSources() const {
    return switch_->action(ResultsView::Sources);
}

QAction* SitesPanel::mnuActionKeywords() const {
    return switch_->action(ResultsView::Keywords);
}

QComboBox* SitesPanel::cboView() const {
    return switch_->cboView();
}

ResultsList* SitesPanel::lstSources() const {
    return sources_->lstSources();
}

ResultsList* SitesPanel::lstKeywords() const {
    return sources_->lstKeywords();
}

ResultsView SitesPanel::shownView() const {
    return switch_->shown();
}

const std::vector<Site>& SitesPanel::sites() {
    if (!grouped_) {
        const WorkList& list = parts_.scanner->workList();
        RunKeepingWindowAlive(list, [&] { sites_ = GroupBySite(list); });
        grouped_ = true;
    }
    return sites_;
}

void SitesPanel::Fill(ResultsView view) {
    switch (view) {
        case ResultsView::Sites:
            if (!filled_) {
                RefillSites();
            }
            break;
        case ResultsView::Sources:
            sources_->FillSources();
            break;
        case ResultsView::Keywords:
            sources_->FillKeywords();
            break;
        case ResultsView::Pages:
            break;  // the scan fills it
    }
}

void SitesPanel::RefillSites() {
    const std::vector<Site>& all = sites();
    ResultsModel& model = lstSites_->results();
    model.clear();
    CountBuffer pages;
    CountBuffer clicks;
    FillInPieces(model, all.size(),
                 [&](std::size_t i) { return SiteCellsOf(all[i], pages, clicks); });
    filled_ = true;
}

void SitesPanel::OpenChart() {
    const bool opening = !chart_.isLoaded();
    ChartWindow* chart = chart_.Load([this] { return new ChartWindow(*parts_.messageBoxes); });
    chart->setSites(sites());
    if (opening) {
        CentreOver(chart, parts_.frame->window());
    }
    chart->setSources(sources_->sources());
    ShowAndBringForward(chart);
}

void SitesPanel::ForgetRows() {
    sites_.clear();
    sites_.shrink_to_fit();
    grouped_ = false;
    filled_ = false;
    lstSites_->results().clear();
}

void SitesPanel::ScanStarting() {
    ForgetRows();
    sources_->ScanStarting();
}

void SitesPanel::ScanFinished() {
    // Rows grouped while the scan ran (a view chosen meanwhile) hold only
    // the referrers read by then.
    ForgetRows();
    sources_->ForgetRows();
    Fill(shownView());
    if (ChartWindow* chart = chart_.window()) {
        chart->setSites(sites());
        chart->setSources(sources_->sources());
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
    switch (shownView()) {
        case ResultsView::Pages:
            return parts_.pages->selectedAddress();
        case ResultsView::Sources:
            return sources_->selectedSourceAddress();
        case ResultsView::Keywords:
            return sources_->selectedKeywordAddress();
        case ResultsView::Sites:
            break;
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
    switch_->place(list);
}

const std::vector<SourceRow>& SitesPanel::sources() {
    return sources_->sources();
}

const std::vector<KeywordRow>& SitesPanel::keywords() {
    return sources_->keywords();
}

}  // namespace tallowby
