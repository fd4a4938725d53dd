#include "Threads.h"

#include <algorithm>
#include <thread>

namespace tallowby {

unsigned ThreadsFor(unsigned asked) {
    if (asked > 0) {
        return asked;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace tallowby
