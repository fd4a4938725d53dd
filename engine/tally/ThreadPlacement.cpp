#include "ThreadPlacement.h"

#include <sched.h>

namespace tallowby {

int CurrentCore() {
    return sched_getcpu();
}

int MoveOffCore(int core) {
    cpu_set_t allowed;
    if (core < 0 || core >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
        CPU_COUNT(&allowed) < 2 || !CPU_ISSET(core, &allowed)) {
        return CurrentCore();
    }
    cpu_set_t others = allowed;
    CPU_CLR(core, &others);
    if (sched_setaffinity(0, sizeof others, &others) != 0) {
        return CurrentCore();
    }
    const int landed = CurrentCore();
    sched_setaffinity(0, sizeof allowed, &allowed);  // moved; free to go anywhere again
    return landed;
}

}  // namespace tallowby
