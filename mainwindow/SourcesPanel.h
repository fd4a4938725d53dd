#pragma once

#include <QByteArray>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/classify/SourceRows.h"

class QGroupBox;
class QLabel;

namespace tallowby {

class BrowserPane;
class MessageBoxes;
class ResultsList;
class Scanner;
struct AppSettings;

// The sources view `lstSources` (one row per search engine, social network,
// AI assistant, website or spam host, its class shown by an icon and a tool
// tip) and the search keywords view `lstKeywords` of the results frame.
// Their rows are grouped from the scanner's work list when first needed
// after a scan, by the lists of sources the settings name (strSourceLists:
// a folder holding the three lists; empty: the built-in ones), read once per
// scan when first needed. A folder that cannot be read is said in a message
// box, and the built-in lists are used instead.
//
// A click on a row shows the address it opens in status panel 2; a
// double-click opens it in the browser pane: a source's first referrer, a
// keyword's search on its engine.
class SourcesPanel : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QGroupBox* frame = nullptr;  // gets the two lists
        BrowserPane* browser = nullptr;
        QLabel* statusPanel2 = nullptr;
        const Scanner* scanner = nullptr;
        MessageBoxes* messageBoxes = nullptr;
        // bHideSpam and strSourceLists; null: the built-in lists, spam not hidden.
        const AppSettings* settings = nullptr;
    };
    explicit SourcesPanel(Parts parts, QObject* parent = nullptr);
    ~SourcesPanel() override;

    ResultsList* lstSources() const;
    ResultsList* lstKeywords() const { return lstKeywords_; }

    // The rows of the last scan's work list, grouped now if not yet.
    const std::vector<SourceRow>& sources();
    const std::vector<KeywordRow>& keywords();
    // Fills the list with those rows unless it shows them already.
    void FillSources();
    void FillKeywords();

    // The address to open for the selected row of the list: a source's
    // first referrer, a keyword's search (KeywordSearchAddress). Nothing
    // when no row is selected.
    std::optional<QByteArray> selectedSourceAddress() const;
    std::optional<QByteArray> selectedKeywordAddress() const;

    // A scan starts: the rows and lists of the last one are gone.
    void ScanStarting();
    // The rows are gone (they are grouped again when next needed); this
    // scan's lists stay.
    void ForgetRows();

private:
    // Runs `work` with this scan's lists and spam list, reading the lists
    // first when not yet (off the event loop, as the grouping).
    void Group(const std::function<void(const SourceLists&, const SpamList*)>& work);
    ResultsList* MakeList(const QString& first, const QString& third, int firstTwips);

    Parts parts_;
    QPointer<ResultsList> lstSources_;
    ResultsList* lstKeywords_ = nullptr;
    std::array<QIcon, 5> icons_;  // by SourceClass
    std::vector<SourceRow> sources_;
    std::vector<KeywordRow> keywords_;  // point into lists_
    bool sourcesGrouped_ = false;
    bool keywordsGrouped_ = false;
    bool sourcesFilled_ = false;
    bool keywordsFilled_ = false;
    bool spamHidden_ = false;  // the scan left spam out
    std::optional<SourceLists> fileLists_;
    const SourceLists* lists_ = nullptr;  // this scan's; null until needed
};

}  // namespace tallowby
