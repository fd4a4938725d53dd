#include "HostileSupport.h"

namespace tallowby::testing {

// --- QuietHost

std::vector<std::string> QuietHost::problems() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
        if (e.rfind("problem:", 0) == 0)
            out.push_back(e.substr(8));
    }
    return out;
}

}  // namespace tallowby::testing
