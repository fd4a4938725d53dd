#include "DupeCollapse.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "ScopedFlag.h"
#include "StatusTexts.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

namespace {

// The collapse of a long list runs on a second thread, so that the window
// keeps turning while it works; a short one is over before a turn is due,
// and surroundings that want no turns have it on the calling thread.
constexpr std::size_t kCollapseOnThreadFrom = std::size_t{1} << 16;
constexpr auto kCollapseTurnEvery = std::chrono::milliseconds(5);

std::vector<std::int64_t> Collapse(WorkList& list, PacedTurns& turns, bool* onThread) {
    if (list.size() < kCollapseOnThreadFrom || !turns.duringLongWork()) {
        return list.collapse();
    }
    bool unused = false;
    ScopedFlag busy(onThread != nullptr ? *onThread : unused);
    std::future<std::vector<std::int64_t>> done =
        std::async(std::launch::async, [&list] { return list.collapse(); });
    // A turn as the collapse starts (however soon it ends), then every 5 ms.
    do {
        turns.giveEventLoopTurn();
    } while (done.wait_for(kCollapseTurnEvery) != std::future_status::ready);
    return done.get();
}

}  // namespace

void ListKillDupes(WorkList& list, ScanCounters& counters, PacedTurns& turns, bool* onThread) {
    ScanObserver& observer = turns.observer();
    observer.setStatusText(kCollapseStatus);
    ScanProgress zero;
    zero.value = 0;
    observer.setProgressValue(zero);
    turns.step();
    const std::size_t positions = list.size();
    const std::vector<std::int64_t> removed = Collapse(list, turns, onThread);
    std::string status = std::string(kCollapseStatus) + "  (";
    const std::size_t fixed = status.size();
    // Surroundings that show nothing per step (the command line) get the
    // final figure once: half a million refreshes and turns of a long list
    // would cost them more than the collapse itself.
    if (turns.linesInBatches()) {
        if (positions == 0) {
            return;
        }
        for (const std::int64_t n : removed) {
            counters.duplicatesRemoved += n;
        }
        AppendNumber(status, counters.duplicatesRemoved);
        status += " removed)";
        observer.setStatusText(status);
        turns.step();
        return;
    }
    // The status line is refreshed once per position of the list as it was:
    // the first positions each remove the duplicates of one survivor, the
    // rest find no entry left and only refresh. Positions that pass without
    // a turn go at once: their texts are never seen.
    std::int64_t shown = -1;
    for (std::size_t i = 0; i < positions;) {
        const std::size_t quiet = std::min(turns.quietSteps(), positions - i);
        const std::size_t end = i + std::max<std::size_t>(quiet, 1);
        for (; i < end; ++i) {
            if (i < removed.size()) {
                counters.duplicatesRemoved += removed[i];
            }
        }
        if (counters.duplicatesRemoved != shown) {  // format only when the figure changes
            shown = counters.duplicatesRemoved;
            status.resize(fixed);
            AppendNumber(status, shown);
            status += " removed)";
        }
        observer.setStatusText(status);
        if (quiet > 0) {
            turns.passQuietly(quiet);
        } else {
            turns.step();
        }
    }
}

}  // namespace tallowby
