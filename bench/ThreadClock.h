#pragma once

#include <time.h>

namespace tallowby::bench {

// The processor time the calling thread has used, in seconds: what a
// one-thread benchmark times, whatever else the machine runs.
inline double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace tallowby::bench
