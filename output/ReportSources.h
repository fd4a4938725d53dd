#pragma once

#include <vector>

#include "engine/classify/SourceRows.h"
#include "output/Report.h"

namespace tallowby {

// The report's sections of the sources and search-keywords views, to go
// into ReportInput::moreSections:
//   "sources"   the clicks of each class (search, social, AI, website,
//               spam) as a bar chart (figure#classes-chart), and every
//               source (table#sources-table: Class, Source, Pages, Clicks,
//               Share), most clicks first;
//   "keywords"  every search keyword (table#keywords-table: Engine,
//               Keyword, Clicks, Share), most clicks first; left out when
//               no referrer carried one.
// The rows must outlive the writing of the report.
std::vector<ReportSection> SourceSections(const std::vector<SourceRow>& sources,
                                          const std::vector<KeywordRow>& keywords);

}  // namespace tallowby
