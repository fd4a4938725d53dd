#include "Sites.h"

#include <algorithm>
#include <unordered_map>

#include "TextFold.h"
#include "WorkList.h"

namespace tallowby {

namespace {

// What a byte means inside the authority part of an address. A table,
// because the spam filter reads the host of every referring line.
enum ByteClass : unsigned char { kPlain, kEnd, kAt, kColon };

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        for (const char c : {'/', '?', '#', ' ', '\t', '"', '\'', ')'}) {
            of[static_cast<unsigned char>(c)] = kEnd;
        }
        of[static_cast<unsigned char>('@')] = kAt;
        of[static_cast<unsigned char>(':')] = kColon;
    }
};
constexpr ByteClasses kClasses;

// `out` = `text` with ASCII letters folded to lower case; reuses its storage.
void AssignFolded(std::string& out, std::string_view text) {
    out.assign(text);
    for (char& c : out) {
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
}

}  // namespace

std::string_view ReferrerHostSpan(std::string_view referrer) {
    const std::size_t scheme = referrer.find("://");
    std::size_t begin = scheme == std::string_view::npos ? 0 : scheme + 3;
    // One pass to the end of the authority: "user:password@host" has its
    // host after the last "@", and the first ":" after that starts the port.
    std::size_t colon = std::string_view::npos;
    std::size_t end = begin;
    for (; end < referrer.size(); ++end) {
        const unsigned char type = kClasses.of[static_cast<unsigned char>(referrer[end])];
        if (type == kPlain) {
            continue;
        }
        if (type == kEnd) {
            break;
        }
        if (type == kAt) {
            begin = end + 1;
            colon = std::string_view::npos;
        } else if (colon == std::string_view::npos) {
            colon = end;
        }
    }
    std::string_view host = referrer.substr(begin, end - begin);
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close != std::string_view::npos) {
            return host.substr(0, close + 1);
        }
    }
    if (colon != std::string_view::npos) {
        host = host.substr(0, colon - begin);
    }
    while (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    return host;
}

std::string ReferrerHost(std::string_view referrer) {
    std::string host;
    AssignFolded(host, ReferrerHostSpan(referrer));
    return host;
}

std::vector<Site> GroupBySite(const WorkList& list) {
    std::vector<Site> sites;
    std::unordered_map<std::string, std::size_t> indexOf;
    std::string host;  // reused, so looking up a known host allocates nothing
    for (WorkList::Reader reader = list.reader(); reader.index() < list.size();) {
        const WorkList::Item item = reader.next();
        AssignFolded(host, ReferrerHostSpan(item.referrer));
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
