#include "Sites.h"

#include <algorithm>
#include <unordered_map>

#include "engine/match/TextFold.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

std::vector<Site> GroupBySite(const WorkList& list) {
    std::vector<Site> sites;
    std::unordered_map<std::string, std::size_t> indexOf;
    std::string scratch;
    std::string host;  // reused, so looking up a known host allocates nothing
    for (WorkList::Reader reader = list.reader(); reader.index() < list.size();) {
        const WorkList::Item item = reader.next();
        host.assign(BrowserHost(item.referrer, scratch));
        auto [it, inserted] = indexOf.try_emplace(host, sites.size());
        if (inserted) {
            Site site;
            site.host = host;
            site.https = StartsWithIgnoringCase(item.referrer, "https://");
            sites.push_back(std::move(site));
        }
        Site& site = sites[it->second];
        site.clicks += item.count > 0 ? item.count : 1;
        ++site.entries;
    }
    return sites;
}

std::vector<Site> TopSites(const std::vector<Site>& sites, std::size_t count) {
    std::vector<std::size_t> order(sites.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    count = std::min(count, order.size());
    std::partial_sort(
        order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
        [&sites](std::size_t a, std::size_t b) {
            return sites[a].clicks != sites[b].clicks ? sites[a].clicks > sites[b].clicks : a < b;
        });
    std::vector<Site> top;
    top.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        top.push_back(sites[order[i]]);
    }
    return top;
}

std::string SiteAddress(const Site& site) {
    return (site.https ? "https://" : "http://") + site.host;
}

}  // namespace tallowby
