#include "ChartCounts.h"

#include <QAbstractBarSeries>
#include <QChart>
#include <QColor>
#include <QFont>
#include <QGraphicsSimpleTextItem>

#include <algorithm>
#include <cmath>

namespace tallowby {

namespace {

// The counts are drawn above the bars and the axes.
constexpr qreal kLabelsAbove = 1000;

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

struct CountLabel {
    QGraphicsSimpleTextItem* text = nullptr;  // owned by the chart
    qreal value = 0;
    int bar = 0;  // the category, counted from the bottom
};

}  // namespace

void AddCountLabels(QChart* chart, QAbstractBarSeries* series, const std::vector<qint64>& values,
                    const QFont& font, const QColor& outsideColour) {
    std::vector<CountLabel> labels;
    for (std::size_t bar = 0; bar < values.size(); ++bar) {
        auto* text = new QGraphicsSimpleTextItem(QString::number(values[bar]), chart);
        text->setFont(font);
        text->setZValue(kLabelsAbove);
        labels.push_back({text, static_cast<qreal>(values[bar]), static_cast<int>(bar)});
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
    QObject::connect(chart, &QChart::plotAreaChanged, chart, place);
    place();
}

}  // namespace tallowby
