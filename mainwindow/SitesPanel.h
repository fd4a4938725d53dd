#pragma once

#include <QByteArray>
#include <QObject>
#include <QRect>

#include <optional>
#include <vector>

#include "ChartWindow.h"
#include "engine/classify/Sites.h"
#include "platform/WindowSlot.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;

namespace tallowby {

class BrowserPane;
class MessageBoxes;
class ResultsList;
class Scanner;

// The referring sites of the main window: the list `lstSites` that takes the
// place of the results list when "Group by Site" is on (the menu item and the
// check box under the list switch together), and the chart window. Sites are
// grouped from the scanner's work list when first needed after a scan, so
// switching views never rescans.
class SitesPanel : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QGroupBox* frame = nullptr;    // the results frame: gets the list and the check box
        QMenu* actionMenu = nullptr;   // gets the two menu items
        ResultsList* pages = nullptr;  // the results list, whose sort the sites list shares
        BrowserPane* browser = nullptr;
        QLabel* statusPanel2 = nullptr;
        const Scanner* scanner = nullptr;
        MessageBoxes* messageBoxes = nullptr;
    };
    explicit SitesPanel(Parts parts, QObject* parent = nullptr);
    ~SitesPanel() override;

    QAction* mnuActionSites() const { return mnuActionSites_; }  // Action > "Group by Site"
    QAction* mnuActionChart() const { return mnuActionChart_; }  // Action > "Referring Sites Chart"
    QCheckBox* chkSites() const { return chkSites_; }            // "Group by Site" under the list
    ResultsList* lstSites() const { return lstSites_; }
    ChartWindow* chartWindow() const { return chart_.window(); }
    bool sitesShown() const;

    // The sites of the last scan's work list, grouped now if not yet.
    const std::vector<Site>& sites();
    // The address to open for the selected row of whichever list shows:
    // the referrer, or the site's address. Nothing when no row is selected.
    std::optional<QByteArray> selectedAddress() const;

    // Puts the sites list at `list` (pixels, in the frame) and the check
    // box right under it.
    void place(const QRect& list);
    // A scan starts: the sites of the last one are gone.
    void ScanStarting();
    // A scan has filled its results: the sites list and the chart follow.
    void ScanFinished();
    // Closes the chart window, if open (the main window unloads).
    void UnloadChart();

public slots:
    void ShowSites(bool on);
    void OpenChart();

private:
    void Refill();
    const Site* siteAtSelection() const;

    Parts parts_;
    QAction* mnuActionSites_ = nullptr;
    QAction* mnuActionChart_ = nullptr;
    QCheckBox* chkSites_ = nullptr;
    ResultsList* lstSites_ = nullptr;
    WindowSlot<ChartWindow> chart_;
    std::vector<Site> sites_;
    bool grouped_ = false;  // sites_ belongs to the current work list
    bool filled_ = false;   // lstSites_ shows sites_
    bool shown_ = false;    // lstSites_ is the list in the frame
};

}  // namespace tallowby
