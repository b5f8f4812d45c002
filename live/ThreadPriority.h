#pragma once

// Gives the calling thread a smaller share of the processor (nice 10) than the
// window's thread: where both want to run, the timing goes first. Returns false
// when the system refuses (the thread then runs as before).
bool LowerThisThreadsPriority();
