#include "ChartWindow.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "platform/MessageBoxes.h"

namespace tallowby {

namespace {

// The counts are drawn above the bars and the axes.
constexpr qreal kLabelsAbove = 1000;

QString DefaultSavePath(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save as PNG"),
                                        QStringLiteral("referring-sites.png"),
                                        QStringLiteral("PNG pictures (*.png)"));
}

// Where a bar's count is drawn, in the chart's own coordinates: inside the
// bar, against its end, when the text fits there whole, with kCountPadding
// on both sides; otherwise just beyond the end, moved left only as far as
// needed to keep it before `roomRight`, the edge of what the chart shows.
constexpr qreal kCountPadding = 4;
struct CountPlace {
    qreal left = 0;
    bool insideBar = false;
};

CountPlace PlaceCount(qreal barStart, qreal barEnd, qreal barThickness, const QSizeF& text,
                      qreal roomRight) {
    if (barEnd - barStart >= text.width() + 2 * kCountPadding && barThickness >= text.height()) {
        return {barEnd - kCountPadding - text.width(), true};
    }
    // Beyond the end of a short (or thin) bar; pulled back only where the
    // chart ends.
    return {std::min(barEnd + kCountPadding, roomRight - text.width()), false};
}

}  // namespace

ChartWindow::ChartWindow(MessageBoxes& messageBoxes, QWidget* parent)
    : QWidget(parent, Qt::Window), messageBoxes_(messageBoxes), choosePath_(DefaultSavePath) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Referring Sites Chart"));
    resize(720, 560);
    chartView_ = new QChartView(this);
    chartView_->setRenderHint(QPainter::Antialiasing);
    lblEmpty_ = new QLabel(
        QStringLiteral("No referring sites to draw: the last scan found no referrers."), this);
    lblEmpty_->setAlignment(Qt::AlignCenter);
    cmdSave_ = new QPushButton(QStringLiteral("Save as PNG…"), this);
    cmdSave_->setObjectName(QStringLiteral("cmdSave"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chartView_, 1);
    layout->addWidget(lblEmpty_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave_);
    layout->addLayout(buttons);
    connect(cmdSave_, &QPushButton::clicked, this, &ChartWindow::cmdSave_Click);
    setSites({});
}

void ChartWindow::setSites(const std::vector<Site>& sites) {
    shown_ = TopSites(sites, kTopSites);
    const bool empty = shown_.empty();
    chartView_->setVisible(!empty);
    lblEmpty_->setVisible(empty);
    cmdSave_->setEnabled(!empty);

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Top referring sites by clicks"));
    chart->legend()->hide();
    if (!empty) {
        // Categories run from the bottom up: the most clicks go last, on top.
        auto* clicks = new QBarSet(QStringLiteral("Clicks"));
        QStringList hosts;
        for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
            *clicks << static_cast<qreal>(it->clicks);
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
        AddCountLabels(chart, series, clicks->labelFont(), axisX->labelsBrush().color());
    }
    QChart* old = chartView_->chart();
    chartView_->setChart(chart);
    delete old;
}

void ChartWindow::AddCountLabels(QChart* chart, QHorizontalBarSeries* series, const QFont& font,
                                 const QColor& outsideColour) {
    // The series' own labels sit at one place for every bar, and the plot
    // area cuts what does not fit there; these are placed bar by bar. The
    // bars run from the bottom up, the fewest clicks first.
    std::vector<CountLabel> labels;
    int bar = 0;
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it, ++bar) {
        auto* text = new QGraphicsSimpleTextItem(QString::number(it->clicks), chart);
        text->setFont(font);
        text->setZValue(kLabelsAbove);
        labels.push_back({text, static_cast<qreal>(it->clicks), bar});
    }
    const QColor inside = Qt::white;
    auto place = [chart, series, labels, inside, outsideColour] {
        for (const CountLabel& label : labels) {
            const QPointF base = chart->mapToPosition(QPointF(0, label.bar), series);
            const QPointF end = chart->mapToPosition(QPointF(label.value, label.bar), series);
            // A bar takes barWidth() of its category's height.
            const qreal thickness = std::abs(
                chart->mapToPosition(QPointF(0, label.bar + series->barWidth() / 2), series).y() -
                chart->mapToPosition(QPointF(0, label.bar - series->barWidth() / 2), series).y());
            const QRectF box = label.text->boundingRect();
            const CountPlace where =
                PlaceCount(base.x(), end.x(), thickness, box.size(), chart->rect().right());
            label.text->setBrush(where.insideBar ? inside : outsideColour);
            label.text->setPos(where.left, end.y() - box.height() / 2);
        }
    };
    connect(chart, &QChart::plotAreaChanged, chart, place);
    place();
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
    } else if (!chartView_->grab().save(&file, "PNG")) {
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
