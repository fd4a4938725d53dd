#pragma once

#include "PacedTurns.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"

namespace tallowby {

// The duplicate collapse as a step of the scan, with its status texts and
// turns: "Removing Duplicates...  Please Wait.", progress 0, a turn, then
// for each position of the list as it was, the running "(D removed)" text
// and a turn, at the surroundings' pace (lines in batches: once, with the
// final figure). Raises counters.duplicatesRemoved. A long list is collapsed
// on a second thread while this one gives the event loop a turn every few
// milliseconds, with `*onThread` (if given) set meanwhile; for surroundings
// that want no turns during long work, on this thread.
void ListKillDupes(WorkList& list, ScanCounters& counters, PacedTurns& turns,
                   bool* onThread = nullptr);

}  // namespace tallowby
