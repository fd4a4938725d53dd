#include "SourcesPanel.h"

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>

#include "GroupingWork.h"
#include "SourceClassLook.h"
#include "engine/read/FileSystem.h"
#include "engine/scan/ListFiles.h"
#include "engine/scan/Scanner.h"
#include "output/RowCells.h"
#include "platform/MessageBoxes.h"
#include "platform/Twips.h"
#include "results/BrowserPane.h"
#include "results/ResultsList.h"
#include "settings/AppSettings.h"

namespace tallowby {

namespace {

// Room for a search engine's name.
constexpr int kEngineTwips = 1500;

QByteArray Bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// The place of the selected row among the rows as they were appended.
std::optional<std::size_t> SelectedRow(const ResultsList* list) {
    const QItemSelectionModel* selection = list->selectionModel();
    const QModelIndexList rows =
        selection != nullptr ? selection->selectedRows() : QModelIndexList();
    if (rows.isEmpty() || !rows.first().isValid()) {
        return std::nullopt;
    }
    return rows.first().data(ResultsModel::AppendedRowRole).toULongLong();
}

}  // namespace

SourcesPanel::SourcesPanel(Parts parts, QObject* parent) : QObject(parent), parts_(parts) {
    for (std::size_t i = 0; i < icons_.size(); ++i) {
        icons_[i] = SourceClassIcon(static_cast<SourceClass>(i));
    }
    lstSources_ = MakeList(QStringLiteral("Pages"), QStringLiteral("Source"),
                           ResultsList::kColumnTwips[ResultsModel::ClicksColumn]);
    lstSources_->setObjectName(QStringLiteral("lstSources"));
    lstSources_->results().setRowDetails([this](std::size_t row, int column, int role) {
        if (row >= sources_.size()) {
            return QVariant();
        }
        const SourceClass sourceClass = sources_[row].sourceClass;
        if (role == Qt::DecorationRole && column == ResultsModel::ReferrerColumn) {
            return QVariant(icons_[static_cast<std::size_t>(sourceClass)]);
        }
        if (role == Qt::ToolTipRole) {
            return QVariant(SourceClassCaption(sourceClass));
        }
        return QVariant();
    });
    lstKeywords_ = MakeList(QStringLiteral("Engine"), QStringLiteral("Keyword"), kEngineTwips);
    lstKeywords_->setObjectName(QStringLiteral("lstKeywords"));

    const std::pair<ResultsList*, std::optional<QByteArray> (SourcesPanel::*)() const> lists[] = {
        {lstSources_, &SourcesPanel::selectedSourceAddress},
        {lstKeywords_, &SourcesPanel::selectedKeywordAddress},
    };
    for (const auto& [list, addressOf] : lists) {
        connect(list, &ResultsList::addressClicked, this, [this, addressOf = addressOf] {
            if (const std::optional<QByteArray> address = (this->*addressOf)()) {
                parts_.statusPanel2->setText(
                    ShownCellText({address->constData(), std::size_t(address->size())}));
            }
        });
        connect(list, &ResultsList::openRequested, this, [this, addressOf = addressOf] {
            if (parts_.browser != nullptr) {
                parts_.browser->openReferrer((this->*addressOf)());
            }
        });
    }
}

SourcesPanel::~SourcesPanel() {
    // The list goes with its frame, which may be a moment later.
    if (lstSources_) {
        lstSources_->results().setRowDetails({});
    }
}

ResultsList* SourcesPanel::lstSources() const {
    return lstSources_.data();
}

ResultsList* SourcesPanel::MakeList(const QString& first, const QString& third, int firstTwips) {
    auto* list = new ResultsList(parts_.frame);
    list->results().setColumnTitles(first, QStringLiteral("Clicks"), third);
    list->header()->resizeSection(0, twips::ToPixels(firstTwips));
    list->hide();
    return list;
}

void SourcesPanel::Group(const std::function<void(const SourceLists&, const SpamList*)>& work) {
    // The folder is read on the worker; only what it found is shown here.
    const QString folder = lists_ == nullptr && parts_.settings != nullptr
                               ? parts_.settings->strSourceLists
                               : QString();
    const std::string path = QFile::encodeName(folder).toStdString();
    std::string error;
    RunKeepingWindowAlive(parts_.scanner->workList(), [&] {
        if (lists_ == nullptr) {
            lists_ = &SourceLists::Builtin();
            if (!path.empty()) {
                fileLists_ = LoadSourceLists(RealFileSystem(), path, error);
                lists_ = fileLists_ ? &*fileLists_ : lists_;
            }
        }
        work(*lists_, SpamListForSources(spamHidden_));
    });
    if (!fileLists_ && !error.empty()) {
        parts_.messageBoxes->Show(QStringLiteral("Cannot read the lists of sources in ") + folder +
                                  QStringLiteral(": ") + QString::fromStdString(error) +
                                  QStringLiteral("\nThe built-in lists are used instead."));
    }
}

const std::vector<SourceRow>& SourcesPanel::sources() {
    if (!sourcesGrouped_) {
        Group([this](const SourceLists& lists, const SpamList* spam) {
            sources_ = GroupBySource(parts_.scanner->workList(), lists, spam);
        });
        sourcesGrouped_ = true;
    }
    return sources_;
}

const std::vector<KeywordRow>& SourcesPanel::keywords() {
    if (!keywordsGrouped_) {
        Group([this](const SourceLists& lists, const SpamList* spam) {
            keywords_ = GroupByKeyword(parts_.scanner->workList(), lists, spam);
        });
        keywordsGrouped_ = true;
    }
    return keywords_;
}

void SourcesPanel::FillSources() {
    if (sourcesFilled_) {
        return;
    }
    const std::vector<SourceRow>& rows = sources();
    ResultsModel& model = lstSources_->results();
    model.clear();
    CountBuffer pages;
    CountBuffer clicks;
    FillInPieces(model, rows.size(), [&](std::size_t i) {
        const SourceRow& row = rows[i];
        return ResultCells{CountDigits(row.pages, pages), CountDigits(row.clicks, clicks),
                           row.source};
    });
    sourcesFilled_ = true;
}

void SourcesPanel::FillKeywords() {
    if (keywordsFilled_) {
        return;
    }
    const std::vector<KeywordRow>& rows = keywords();
    ResultsModel& model = lstKeywords_->results();
    model.clear();
    CountBuffer clicks;
    FillInPieces(model, rows.size(), [&](std::size_t i) {
        const KeywordRow& row = rows[i];
        return ResultCells{row.engine, CountDigits(row.clicks, clicks), row.keyword};
    });
    keywordsFilled_ = true;
}

std::optional<QByteArray> SourcesPanel::selectedSourceAddress() const {
    const std::optional<std::size_t> row = SelectedRow(lstSources_);
    if (!row || *row >= sources_.size()) {
        return std::nullopt;
    }
    return Bytes(parts_.scanner->workList().at(sources_[*row].firstEntry).referrer);
}

std::optional<QByteArray> SourcesPanel::selectedKeywordAddress() const {
    const std::optional<std::size_t> row = SelectedRow(lstKeywords_);
    if (!row || *row >= keywords_.size()) {
        return std::nullopt;
    }
    const KeywordRow& keyword = keywords_[*row];
    return Bytes(
        KeywordSearchAddress(keyword, parts_.scanner->workList().at(keyword.firstEntry).referrer));
}

void SourcesPanel::ForgetRows() {
    lstSources_->results().clear();
    lstKeywords_->results().clear();
    sources_ = {};
    keywords_ = {};
    sourcesGrouped_ = keywordsGrouped_ = sourcesFilled_ = keywordsFilled_ = false;
}

void SourcesPanel::ScanStarting() {
    ForgetRows();
    // Read afresh for the new scan, after the keywords that point into them.
    lists_ = nullptr;
    fileLists_.reset();
    spamHidden_ = parts_.settings != nullptr && parts_.settings->bHideSpam;
}

}  // namespace tallowby
