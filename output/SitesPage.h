#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/read/FileSystem.h"
#include "output/ExportPage.h"

namespace tallowby {

// Appends one line of the sites page: "<a href='", the escaped SiteAddress,
// "'>", the escaped host, "</a><br>", CR LF.
void AppendSiteLine(std::string& out, const Site& site);

// Writes one line per site, in the order given, to `path` as the export page
// is written: through a temporary file renamed over `path` only when all was
// written, so a failure leaves an earlier file whole. Never throws.
ExportResult WriteSitesPage(FileSystem& fs, const std::string& path,
                            const std::vector<Site>& sites);

// Writes `page`, built whole, to `path` as WriteSitesPage writes its page.
ExportResult WritePage(FileSystem& fs, const std::string& path, std::string_view page);

}  // namespace tallowby
