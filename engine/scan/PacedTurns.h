#pragma once

#include <algorithm>
#include <cstddef>

#include "ScanSeam.h"

namespace tallowby {

// A scan's turns at the pace its surroundings asked for (ScanObserver::pace(),
// read here once): counts the steps since the last turn and gives a turn at
// every one that is due, telling the surroundings of the others only how many
// passed. One per scan, from reading to collapse, so the count runs on from
// file to file.
class PacedTurns {
public:
    explicit PacedTurns(ScanObserver& observer)
        : observer_(observer),
          pace_(observer.pace()),
          every_(pace_.turns == ScanPace::Turns::EveryNthStep
                     ? std::max<std::size_t>(pace_.every, 1)
                     : 1) {}

    ScanObserver& observer() const { return observer_; }
    // Lines matched ahead go a chunk at a time, with one turn after each.
    bool linesInBatches() const { return pace_.turns == ScanPace::Turns::EveryBatch; }
    bool duringLongWork() const { return pace_.turnsDuringLongWork; }

    // How many of the next steps pass without a turn: the scan may take that
    // many at once and report them with passQuietly(). 0: the next is a turn.
    std::size_t quietSteps() const { return every_ - 1 - sinceTurn_; }
    // One step: a turn when it is due, else counted.
    void step() {
        if (++sinceTurn_ < every_) {
            observer_.stepsWithoutTurn(1);
            return;
        }
        sinceTurn_ = 0;
        observer_.turnBetweenSteps();
    }
    // `steps` steps at once, no more than quietSteps().
    void passQuietly(std::size_t steps) {
        sinceTurn_ += steps;
        observer_.stepsWithoutTurn(steps);
    }
    // A turn during long work between steps, when the surroundings want one.
    void giveEventLoopTurn() {
        if (pace_.turnsDuringLongWork) {
            observer_.giveEventLoopTurn();
        }
    }

private:
    ScanObserver& observer_;
    const ScanPace pace_;
    const std::size_t every_;
    std::size_t sinceTurn_ = 0;
};

}  // namespace tallowby
