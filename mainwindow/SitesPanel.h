#pragma once

#include <QByteArray>
#include <QObject>
#include <QRect>

#include <memory>
#include <optional>
#include <vector>

#include "ChartWindow.h"
#include "ViewSwitch.h"
#include "engine/classify/Sites.h"
#include "platform/WindowSlot.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;

namespace tallowby {

class BrowserPane;
class MessageBoxes;
class ResultsList;
class Scanner;
class SourcesPanel;
struct AppSettings;

// The grouped views of the main window's results frame and the chart
// window. The sites list `lstSites` takes the place of the results list
// when "Group by Site" is on; the sources and search keywords lists are
// SourcesPanel's; the menu items and the view chooser under the list switch
// between the four views (ViewSwitch). Rows are grouped from the scanner's
// work list when first needed after a scan, so switching views never
// rescans.
class SitesPanel : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QGroupBox* frame = nullptr;    // gets the lists and the view chooser
        QMenu* actionMenu = nullptr;   // gets the menu items
        ResultsList* pages = nullptr;  // the results list, whose sort the other lists share
        BrowserPane* browser = nullptr;
        QLabel* statusPanel2 = nullptr;
        const Scanner* scanner = nullptr;
        MessageBoxes* messageBoxes = nullptr;
        // bHideSpam and strSourceLists; null: the built-in lists, spam not hidden.
        const AppSettings* settings = nullptr;
    };
    explicit SitesPanel(Parts parts, QObject* parent = nullptr);
    ~SitesPanel() override;

    QAction* mnuActionSites() const;     // Action > "Group by Site"
    QAction* mnuActionSources() const;   // Action > "Group by Source"
    QAction* mnuActionKeywords() const;  // Action > "Group by Search Keyword"
    QAction* mnuActionChart() const { return mnuActionChart_; }  // Action > "Referring Sites Chart"
    QComboBox* cboView() const;                                  // the view chooser under the list
    ResultsList* lstSites() const { return lstSites_; }
    ResultsList* lstSources() const;
    ResultsList* lstKeywords() const;
    ChartWindow* chartWindow() const { return chart_.window(); }
    ResultsView shownView() const;
    bool sitesShown() const { return shownView() == ResultsView::Sites; }

    // The sites of the last scan's work list, grouped now if not yet.
    const std::vector<Site>& sites();
    // The rows the sources and search keywords views show (grouped now if
    // not yet).
    const std::vector<SourceRow>& sources();
    const std::vector<KeywordRow>& keywords();
    // The address to open for the selected row of whichever list shows:
    // the referrer, the site's address, the source's first referrer or the
    // keyword's search. Nothing when no row is selected.
    std::optional<QByteArray> selectedAddress() const;

    // Puts the grouped views' lists at `list` (pixels, in the frame) and the
    // view chooser right under it.
    void place(const QRect& list);
    // A scan starts: the rows of the last one are gone.
    void ScanStarting();
    // A scan has filled its results: the list shown and the chart follow.
    void ScanFinished();
    // Closes the chart window, if open (the main window unloads).
    void UnloadChart();

public slots:
    void OpenChart();

private:
    void Fill(ResultsView view);
    void ForgetRows();
    void RefillSites();
    const Site* siteAtSelection() const;

    Parts parts_;
    QAction* mnuActionChart_ = nullptr;
    ResultsList* lstSites_ = nullptr;
    std::unique_ptr<SourcesPanel> sources_;
    std::unique_ptr<ViewSwitch> switch_;
    WindowSlot<ChartWindow> chart_;
    std::vector<Site> sites_;
    bool grouped_ = false;  // sites_ belongs to the current work list
    bool filled_ = false;   // lstSites_ shows sites_
};

}  // namespace tallowby
