#include "HeapTuning.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tallowby {

void ServeLargeBlocksFromTheHeap() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

}  // namespace tallowby
