#pragma once

#include "platform/Clock.h"

#include <optional>

// The run of a competition, reset by ENDE. A tick may be 0 (the counter wraps),
// so "not started" is said by the optional, not by a zero tick.
struct RunState {
    std::optional<Tick> runStart;    // first START since program start or the last ENDE
    Tick lastStartTick = 0;          // most recent START, or the start tick of the selected row
    std::optional<Tick> firstFinish; // mass start: first finish since the last ENDE
    int finishCounter = 0;           // running number of queued finishes
    bool toneAlreadyPlayed = false;  // the countdown played the start tone itself

    bool Started() const { return runStart.has_value(); }
};
