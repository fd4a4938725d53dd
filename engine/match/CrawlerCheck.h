#pragma once

#include <string_view>

namespace tallowby {

// Says which user agents are crawlers' (the crawler list is one). It must
// outlive every match made with it, and may be asked from several threads
// at once.
class CrawlerCheck {
public:
    virtual ~CrawlerCheck() = default;
    virtual bool isCrawler(std::string_view userAgent) const = 0;

protected:
    CrawlerCheck() = default;
    CrawlerCheck(const CrawlerCheck&) = default;
    CrawlerCheck& operator=(const CrawlerCheck&) = default;
};

}  // namespace tallowby
