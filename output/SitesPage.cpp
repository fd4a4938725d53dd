#include "SitesPage.h"

#include <exception>
#include <memory>

namespace tallowby {

void AppendSiteLine(std::string& out, const Site& site) {
    out += "<a href='";
    AppendHtmlEscaped(out, SiteAddress(site));
    out += "'>";
    AppendHtmlEscaped(out, site.host);
    out += "</a><br>\r\n";
}

ExportResult WriteSitesPage(FileSystem& fs, const std::string& path,
                            const std::vector<Site>& sites) {
    ExportResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
        }
        // Sites are few next to referrers: the page is built whole.
        std::string page;
        for (const Site& site : sites) {
            AppendSiteLine(page, site);
        }
        if ((!page.empty() && !sink->write(page)) || !sink->commit()) {
            result.error = sink->error();
            return result;
        }
        result.ok = true;
    } catch (const std::exception& e) {
        result.ok = false;
        result.error = e.what();
    }
    return result;
}

}  // namespace tallowby
