#pragma once

#include <vector>

#include "engine/classify/SourceRows.h"

class QChart;

namespace tallowby {

// The chart "Clicks by class": from the top down, for each class of
// `classes` (ClicksByClass) a bar of its clicks, captioned with the class
// (SourceClassPluralCaption) in a darker shade of its colour, followed by a
// bar for each of its top sources, captioned with the source, in its
// colour; every bar with its count. The legend is left out: each source
// stands under its class. A source captioned as an earlier bar is told
// apart by its class in brackets. The caller owns the chart.
QChart* ClassClicksChart(const std::vector<ClassClicks>& classes);

}  // namespace tallowby
