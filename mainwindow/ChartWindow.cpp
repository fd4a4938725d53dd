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
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

#include "platform/MessageBoxes.h"

namespace tallowby {

namespace {

QString DefaultSavePath(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save as PNG"),
                                        QStringLiteral("referring-sites.png"),
                                        QStringLiteral("PNG pictures (*.png)"));
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
        series->setLabelsVisible(true);
        series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
        series->setLabelsFormat(QStringLiteral("@value"));
        series->setLabelsPrecision(18);  // whole counts, never in exponent form
        clicks->setLabelColor(Qt::white);
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
    }
    QChart* old = chartView_->chart();
    chartView_->setChart(chart);
    delete old;
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
