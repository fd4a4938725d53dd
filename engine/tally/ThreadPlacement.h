#pragma once

#include <thread>
#include <utility>

namespace tallowby {

// The core the calling thread runs on now, or -1 when the system cannot say.
int CurrentCore();

// Moves the calling thread to another core than `core` (taken from its
// starter with CurrentCore()), from where it may go anywhere again. A new
// thread starts on the core the system finds least busy by its recent past,
// which for a thread started by one that has only waited (or only just
// begun) is often its starter's own; nor does the system soon move one of
// two busy threads to a core left idle. Both would share a core for several
// milliseconds while another idles. Does nothing with one core allowed.
// Returns the core the thread ran on once moved, before it was free again
// (where it ran when nothing was done).
int MoveOffCore(int core);

// A thread that runs `work` after moving off the core of the thread that
// starts it, which is how every helper of a scan starts. The starter's
// core is taken here and handed over by value.
template <typename Work>
std::thread StartOffThisCore(Work work) {
    const int starter = CurrentCore();
    return std::thread([starter, work = std::move(work)]() mutable {
        MoveOffCore(starter);
        work();
    });
}

}  // namespace tallowby
