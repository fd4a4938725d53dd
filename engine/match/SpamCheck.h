#pragma once

#include <string_view>

namespace tallowby {

// Says which referrers are spam, to be hidden (the spam list is one). It
// must outlive every match made with it.
class SpamCheck {
public:
    virtual ~SpamCheck() = default;
    virtual bool matchesReferrer(std::string_view referrer) const = 0;

protected:
    SpamCheck() = default;
    SpamCheck(const SpamCheck&) = default;
    SpamCheck& operator=(const SpamCheck&) = default;
};

}  // namespace tallowby
