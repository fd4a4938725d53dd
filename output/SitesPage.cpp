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
    // Sites are few next to referrers: the page is built whole.
    std::string page;
    try {
        for (const Site& site : sites) {
            AppendSiteLine(page, site);
        }
    } catch (const std::exception& e) {
        return {false, e.what()};
    }
    return WritePage(fs, path, page);
}

ExportResult WritePage(FileSystem& fs, const std::string& path, std::string_view page) {
    ExportResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
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
