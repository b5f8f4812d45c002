#pragma once

// Lets the calling thread run only when the window's thread and the contact watcher
// leave the processor free (SCHED_IDLE, else nice 19): where both want to run, the
// timing goes first. Returns false when the system refuses (the thread then runs as before).
bool LowerThisThreadsPriority();
