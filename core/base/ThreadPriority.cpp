#include "core/base/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

bool LowerThisThreadsPriority() {
    // On Linux a thread is a task of its own; its policy and nice value apply to it alone.
    // SCHED_IDLE runs it only where no ordinary thread (the window's, the contact watcher's)
    // wants the processor; nice 19 is the fallback where that policy is refused.
    const auto tid = static_cast<pid_t>(gettid());
    sched_param param{};
    param.sched_priority = 0;
    if (sched_setscheduler(tid, SCHED_IDLE, &param) == 0)
        return true;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 19) == 0;
}
