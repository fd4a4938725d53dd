#pragma once

namespace tallowby {

// How many threads a scan's work takes when `asked` for (the --threads
// figure): as asked, or (0) one per core.
unsigned ThreadsFor(unsigned asked);

}  // namespace tallowby
