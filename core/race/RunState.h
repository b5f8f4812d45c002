#pragma once

#include "core/platform/Clock.h"

#include <QString>
#include <optional>

// The run of a competition, reset by ENDE. A tick may be 0 (the counter wraps),
// so "not started" is said by the optional, not by a zero tick.
struct RunState {
    std::optional<Tick> runStart;    // first START since program start or the last ENDE
    Tick lastStartTick = 0;          // most recent START, or the start tick of the selected row
    std::optional<Tick> firstFinish; // mass start: first finish since the last ENDE
    int finishCounter = 0;           // running number of queued finishes
    bool toneAlreadyPlayed = false;  // the countdown played the start tone itself
    // F8 works from program start until the first ENDE, so that athletes still on the
    // course after a restart can finish; selecting a row does not close it.
    bool finishOpenAtProgramStart = true;
    // Mass start: START was given and stays closed until ENDE (run control keeps it).
    bool startClosed = false;

    // Mass start: the clock texts of the start and of the first finish. Unlike the
    // ticks they survive a restart of the program (kept in the run-state backup), so
    // finishes after a restart are timed from the start's clock of day.
    QString massStartClock;
    QString firstFinishClock;

    bool Started() const { return runStart.has_value(); }
    bool StartAvailable() const { return !startClosed; }
    // A start of this run is known: taken in this session or restored from the backup.
    bool MassStartKnown() const { return Started() || !massStartClock.isEmpty(); }
};
