#include "PageSniff.h"

namespace tallowby {

bool LooksLikeOwnPage(std::string_view head) {
    // ExportPage.cpp and SitesPage.cpp write every line, the first too, so.
    constexpr std::string_view kLinkLine = "<a href='";
    if (head.substr(0, kLinkLine.size()) == kLinkLine) {
        return true;
    }
    return head.substr(0, kReportStart.size()) == kReportStart &&
           head.substr(0, kPageSniffBytes).find(kReportGeneratorTag) != std::string_view::npos;
}

}  // namespace tallowby
