#include "ClassChart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QHorizontalStackedBarSeries>
#include <QSet>
#include <QValueAxis>

#include <algorithm>

#include "ChartCounts.h"
#include "SourceClassLook.h"

namespace tallowby {

namespace {

struct Bar {
    QString caption;
    qint64 clicks = 0;
    int set = 0;  // the bar set it is drawn by: two per class, its total and its sources
};

}  // namespace

QChart* ClassClicksChart(const std::vector<ClassClicks>& classes) {
    // Top down; the categories run from the bottom up.
    std::vector<Bar> bars;
    QSet<QString> captions;
    for (std::size_t at = 0; at < classes.size(); ++at) {
        const ClassClicks& of = classes[at];
        const int set = static_cast<int>(2 * at);
        bars.push_back({SourceClassPluralCaption(of.sourceClass), of.clicks, set});
        captions.insert(bars.back().caption);
        for (const SourceRow& row : of.top) {
            QString caption = QString::fromStdString(row.source);
            if (captions.contains(caption)) {
                // Categories must differ.
                const std::string_view name = SourceClassName(row.sourceClass);
                caption += QStringLiteral(" (") +
                           QString::fromUtf8(name.data(), qsizetype(name.size())) +
                           QLatin1Char(')');
            }
            captions.insert(caption);
            bars.push_back({caption, row.clicks, set + 1});
        }
    }
    std::reverse(bars.begin(), bars.end());

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Clicks by class of source, with the top sources of each"));
    chart->legend()->hide();
    // A stacked series of one set per colour, each holding only its own
    // bars: every bar gets its colour, at full thickness.
    auto* series = new QHorizontalStackedBarSeries;
    std::vector<QBarSet*> sets;
    for (std::size_t at = 0; at < 2 * classes.size(); ++at) {
        const QColor colour = SourceClassColour(classes[at / 2].sourceClass);
        auto* set = new QBarSet(SourceClassPluralCaption(classes[at / 2].sourceClass));
        set->setColor(at % 2 == 0 ? colour.darker(130) : colour);
        set->setBorderColor(set->color());
        sets.push_back(set);
    }
    QStringList categories;
    std::vector<qint64> values;
    qint64 most = 0;
    for (const Bar& bar : bars) {
        for (std::size_t set = 0; set < sets.size(); ++set) {
            *sets[set] << (static_cast<int>(set) == bar.set ? static_cast<qreal>(bar.clicks) : 0.0);
        }
        categories << bar.caption;
        values.push_back(bar.clicks);
        most = std::max(most, bar.clicks);
    }
    for (QBarSet* set : sets) {
        series->append(set);
    }
    series->setBarWidth(0.8);
    chart->addSeries(series);
    auto* axisY = new QBarCategoryAxis;
    axisY->append(categories);
    axisY->setTruncateLabels(false);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    auto* axisX = new QValueAxis;
    axisX->setLabelFormat(QStringLiteral("%.0f"));
    axisX->setRange(0, static_cast<qreal>(std::max<qint64>(most, 1)));
    axisX->applyNiceNumbers();
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    if (!sets.empty()) {
        AddCountLabels(chart, series, values, sets.front()->labelFont(),
                       axisX->labelsBrush().color());
    }
    return chart;
}

}  // namespace tallowby
