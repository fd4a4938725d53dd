#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match/ReferrerHost.h"  // the host each site stands for

namespace tallowby {

class WorkList;

// One referring site: the rows of the work list whose referrers share a host.
struct Site {
    std::string host;          // lower case; empty for referrers without one
    bool https = false;        // the site's first referrer starts with "https://"
    std::int64_t clicks = 0;   // sum of the entries' counts (1 per entry before a collapse)
    std::int64_t entries = 0;  // work-list entries (distinct pages after a collapse)
};

// Groups the work list by BrowserHost: one Site per distinct host, in the
// work-list order of each site's first referrer. Pure: reads the list only
// (which must not change during the call). An empty list gives no sites.
std::vector<Site> GroupBySite(const WorkList& list);

// The `count` sites with the most clicks, most first; sites with equal clicks
// keep their order in `sites`. Fewer when there are fewer sites.
std::vector<Site> TopSites(const std::vector<Site>& sites, std::size_t count);

// The address a site is opened at: "http://" + host, or "https://" + host
// when the site's first referrer used https.
std::string SiteAddress(const Site& site);

}  // namespace tallowby
