#include "ChartWindow.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "ChartCounts.h"
#include "ClassChart.h"
#include "platform/MessageBoxes.h"

namespace tallowby {

namespace {

enum Tab { kSitesTab = 0, kClassTab = 1 };

QChartView* MakeView(QWidget* parent) {
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

QLabel* MakeEmptyLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A tab page: the chart, or the label in its place.
QWidget* MakePage(QChartView* view, QLabel* empty) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view, 1);
    layout->addWidget(empty, 1);
    view->setParent(page);
    empty->setParent(page);
    return page;
}

// Shows `chart` in `view`, and `view` or `empty` as `drawn` says.
void ShowChart(QChartView* view, QLabel* empty, QChart* chart, bool drawn) {
    view->setVisible(drawn);
    empty->setVisible(!drawn);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

}  // namespace

ChartWindow::ChartWindow(MessageBoxes& messageBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window), messageBoxes_(messageBoxes) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Referring Sites Chart"));
    resize(720, 560);
    choosePath_ = [this](QWidget* owner) {
        const QString name = tabCharts_->currentIndex() == kClassTab
                                 ? QStringLiteral("clicks-by-class.png")
                                 : QStringLiteral("referring-sites.png");
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Save as PNG"), name,
                                            QStringLiteral("PNG pictures (*.png)"));
    };
    tabCharts_ = new QTabWidget(this);
    tabCharts_->setObjectName(QStringLiteral("tabCharts"));
    chartView_ = MakeView(this);
    lblEmpty_ = MakeEmptyLabel(
        QStringLiteral("No referring sites to draw: the last scan found no referrers."), this);
    tabCharts_->addTab(MakePage(chartView_, lblEmpty_), QStringLiteral("Top Sites"));
    classView_ = MakeView(this);
    lblNoSources_ = MakeEmptyLabel(
        QStringLiteral("No sources to draw: the last scan found no referrers."), this);
    tabCharts_->addTab(MakePage(classView_, lblNoSources_), QStringLiteral("Clicks by Class"));
    cmdSave_ = new QPushButton(QStringLiteral("Save as PNG…"), this);
    cmdSave_->setObjectName(QStringLiteral("cmdSave"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabCharts_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave_);
    layout->addLayout(buttons);
    connect(cmdSave_, &QPushButton::clicked, this, &ChartWindow::cmdSave_Click);
    connect(tabCharts_, &QTabWidget::currentChanged, this, &ChartWindow::UpdateSave);
    setSites({});
    setSources({});
}

void ChartWindow::setSites(const std::vector<Site>& sites) {
    shown_ = TopSites(sites, kTopSites);
    const bool empty = shown_.empty();

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Top referring sites by clicks"));
    chart->legend()->hide();
    if (!empty) {
        // Categories run from the bottom up: the most clicks go last, on top.
        auto* clicks = new QBarSet(QStringLiteral("Clicks"));
        QStringList hosts;
        std::vector<qint64> counts;
        for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
            *clicks << static_cast<qreal>(it->clicks);
            counts.push_back(it->clicks);
            hosts << QString::fromUtf8(it->host.data(), static_cast<qsizetype>(it->host.size()));
        }
        auto* series = new QHorizontalBarSeries;
        series->append(clicks);
        chart->addSeries(series);
        auto* axisY = new QBarCategoryAxis;
        axisY->append(hosts);
        axisY->setTruncateLabels(false);  // a host cut to "…" says nothing
        chart->addAxis(axisY, Qt::AlignLeft);
        series->attachAxis(axisY);
        auto* axisX = new QValueAxis;
        axisX->setLabelFormat(QStringLiteral("%.0f"));
        axisX->setRange(0, static_cast<qreal>(shown_.front().clicks));
        axisX->applyNiceNumbers();
        chart->addAxis(axisX, Qt::AlignBottom);
        series->attachAxis(axisX);
        AddCountLabels(chart, series, counts, clicks->labelFont(), axisX->labelsBrush().color());
    }
    ShowChart(chartView_, lblEmpty_, chart, !empty);
    UpdateSave();
}

void ChartWindow::setSources(const std::vector<SourceRow>& sources) {
    anySource_ = !sources.empty();
    ShowChart(classView_, lblNoSources_,
              ClassClicksChart(ClicksByClass(sources, kTopSourcesPerClass)), anySource_);
    UpdateSave();
}

QChartView* ChartWindow::shownView() const {
    return tabCharts_->currentIndex() == kClassTab ? classView_ : chartView_;
}

void ChartWindow::UpdateSave() {
    cmdSave_->setEnabled(tabCharts_->currentIndex() == kClassTab ? anySource_ : !shown_.empty());
}

void ChartWindow::cmdSave_Click() {
    const QString path = choosePath_ ? choosePath_(this) : QString();
    if (!path.isEmpty()) {
        SaveAsPng(path);
    }
}

bool ChartWindow::SaveAsPng(const QString& path) {
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
    } else if (!shownView()->grab().save(&file, "PNG")) {
        error = file.errorString().isEmpty() ? QStringLiteral("the picture could not be written")
                                             : file.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        error = file.errorString();
    }
    if (!error.isEmpty()) {
        messageBoxes_.Show(QStringLiteral("Cannot save ") + path + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

}  // namespace tallowby
