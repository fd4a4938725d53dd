#include "HeapTuning.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace tallowby {

void ServeLargeBlocksFromTheHeap() {
#if defined(M_MMAP_THRESHOLD)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

}  // namespace tallowby
