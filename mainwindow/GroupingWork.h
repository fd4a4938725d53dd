#pragma once

#include <cstddef>
#include <functional>

#include "output/RowCells.h"

namespace tallowby {

class ResultsModel;
class WorkList;

// How the grouped views of the results frame (sites, sources, search
// keywords) are made from a scan's work list without the window standing
// still: long lists are grouped on a worker thread, and their rows reach
// the list in pieces.

// Work lists of this many entries are grouped on a worker thread, as long
// lists are sorted.
inline constexpr std::size_t kBackgroundGroupEntries = 100000;
// Rows handed to a list at a time.
inline constexpr std::size_t kFillPiece = 32768;

// Runs `work`, which only reads `list` (and what no one else touches
// meanwhile), and returns when it is done: for a list of
// kBackgroundGroupEntries or more, on a worker thread while the event loop
// turns without user input, so the window goes on painting; else here.
void RunKeepingWindowAlive(const WorkList& list, const std::function<void()>& work);

// Appends `count` rows whose cells cellsOf(i) gives, i from 0, to `model`
// in pieces of kFillPiece, with a turn of the event loop (without user
// input) between them: a sorted list places each piece on this thread.
void FillInPieces(ResultsModel& model, std::size_t count,
                  const std::function<ResultCells(std::size_t)>& cellsOf);

}  // namespace tallowby
