#pragma once

namespace tallowby {

// The scan's large arrays (the work list's entries, texts and tables, the
// collapse's working arrays) grow by doubling. The C library maps a block
// of more than 128 KB afresh from the system and gives it back when it is
// freed, so each step of growth faults in new zeroed pages while the old
// block's pages leave. Served from the heap instead (blocks up to 32 MB, as
// the library itself would after freeing one that large), a freed block is
// used again by the next and far fewer pages are faulted in: a scan of a
// million lines takes about 3% less time. Memory at the heap's top still
// goes back to the system. For a program's start, before its threads.
void ServeLargeBlocksFromTheHeap();

}  // namespace tallowby
