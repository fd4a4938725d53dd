#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/classify/SourceRows.h"

class QChartView;
class QLabel;
class QPushButton;
class QTabWidget;

namespace tallowby {

class MessageBoxes;

// The "Referring Sites Chart" window, with two charts on tabs: "Top Sites",
// a horizontal bar chart of the sites that sent the most clicks in the last
// scan, and "Clicks by Class", the clicks of each class of sources with the
// top sources of each (ClassClicksChart); each bar labelled with its count
// (inside a bar long enough to hold it, else beyond its end). "Save as
// PNG…" saves the chart shown. Without any site (or source) a chart says so
// instead of drawing empty axes. The window only draws what it is given
// (setSites, setSources).
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t kTopSites = 20;
    static constexpr std::size_t kTopSourcesPerClass = 3;
    // Asks where to save the picture; an empty text means cancelled.
    using SavePathChooser = std::function<QString(QWidget* parent)>;

    explicit ChartWindow(MessageBoxes& messageBoxes, QWidget* parent = nullptr);

    // Redraws the chart with the kTopSites sites of `sites` with most clicks.
    void setSites(const std::vector<Site>& sites);
    // The sites drawn, most clicks first (the top bar first).
    const std::vector<Site>& shownSites() const { return shown_; }
    // Redraws "Clicks by Class" from the sources of the last scan.
    void setSources(const std::vector<SourceRow>& sources);

    QTabWidget* tabCharts() const { return tabCharts_; }       // "Top Sites", "Clicks by Class"
    QChartView* chartView() const { return chartView_; }       // the top sites
    QLabel* lblEmpty() const { return lblEmpty_; }             // "No referring sites …"
    QChartView* classChartView() const { return classView_; }  // the clicks by class
    QLabel* lblNoSources() const { return lblNoSources_; }     // "No sources …"
    QPushButton* cmdSave() const { return cmdSave_; }          // "Save as PNG…"
    void setSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

    // Writes the chart shown as a PNG picture to `path` through a temporary file,
    // so a failure leaves an earlier file whole. Shows a message and
    // returns false when that fails.
    bool SaveAsPng(const QString& path);

public slots:
    void cmdSave_Click();

private:
    // The chart view of the tab shown.
    QChartView* shownView() const;
    void UpdateSave();

    MessageBoxes& messageBoxes_;
    SavePathChooser choosePath_;
    std::vector<Site> shown_;
    bool anySource_ = false;
    QTabWidget* tabCharts_ = nullptr;
    QChartView* chartView_ = nullptr;
    QLabel* lblEmpty_ = nullptr;
    QChartView* classView_ = nullptr;
    QLabel* lblNoSources_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
};

}  // namespace tallowby
