#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/classify/Sites.h"

class QChart;
class QChartView;
class QColor;
class QFont;
class QGraphicsSimpleTextItem;
class QHorizontalBarSeries;
class QLabel;
class QPushButton;

namespace tallowby {

class MessageBoxes;

// The "Referring Sites Chart" window: a horizontal bar chart of the sites
// that sent the most clicks in the last scan, each bar labelled with its
// count (inside a bar long enough to hold it, else beyond its end), and
// "Save as PNG…". Without any site it says so instead of drawing empty axes.
// The window only draws what it is given (setSites).
class ChartWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t kTopSites = 20;
    // Asks where to save the picture; an empty text means cancelled.
    using SavePathChooser = std::function<QString(QWidget* parent)>;

    explicit ChartWindow(MessageBoxes& messageBoxes, QWidget* parent = nullptr);

    // Redraws the chart with the kTopSites sites of `sites` with most clicks.
    void setSites(const std::vector<Site>& sites);
    // The sites drawn, most clicks first (the top bar first).
    const std::vector<Site>& shownSites() const { return shown_; }

    QChartView* chartView() const { return chartView_; }
    QLabel* lblEmpty() const { return lblEmpty_; }     // "No referring sites …"
    QPushButton* cmdSave() const { return cmdSave_; }  // "Save as PNG…"
    void setSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

    // Writes the chart as a PNG picture to `path` through a temporary file,
    // so a failure leaves an earlier file whole. Shows a message and
    // returns false when that fails.
    bool SaveAsPng(const QString& path);

public slots:
    void cmdSave_Click();

private:
    struct CountLabel {
        QGraphicsSimpleTextItem* text = nullptr;  // owned by the chart
        qreal value = 0;
        int bar = 0;  // the category, counted from the bottom
    };
    // One count per bar, placed again whenever the plot area changes.
    void AddCountLabels(QChart* chart, QHorizontalBarSeries* series, const QFont& font,
                        const QColor& outsideColour);

    MessageBoxes& messageBoxes_;
    SavePathChooser choosePath_;
    std::vector<Site> shown_;
    QChartView* chartView_ = nullptr;
    QLabel* lblEmpty_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
};

}  // namespace tallowby
