#include "live/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

bool LowerThisThreadsPriority() {
    // On Linux a thread is a task of its own; its nice value applies to it alone.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10) == 0;
}
