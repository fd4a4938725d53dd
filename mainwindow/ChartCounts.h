#pragma once

#include <QtGlobal>

#include <vector>

class QAbstractBarSeries;
class QChart;
class QColor;
class QFont;

namespace tallowby {

// Writes a count on each bar of the horizontal `series` in `chart`:
// values[i] on the bar of category i, counted from the bottom. The series'
// own labels sit at one place for every bar, and the plot area cuts what
// does not fit there; these are placed bar by bar, each whole: inside its
// bar, in white against its end, when the bar is long and thick enough to
// hold it, else just beyond the end in `outsideColour`, moved left only as
// far as the chart's edge needs. Placed again whenever the plot area changes.
void AddCountLabels(QChart* chart, QAbstractBarSeries* series, const std::vector<qint64>& values,
                    const QFont& font, const QColor& outsideColour);

}  // namespace tallowby
