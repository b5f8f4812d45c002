#pragma once

#include "core/platform/Clock.h"
#include "core/race/RaceStamps.h"

#include <QMap>
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

    // Mass start: the clock texts of the start and of the first finish, kept in the
    // run-state backup. Files of older versions have only these; the stamps below
    // time the finishes after a restart exactly.
    QString massStartClock;
    QString firstFinishClock;

    // What a restart needs to go on timing from the ticks (kept in the run-state backup).
    std::optional<Stamp> firstStartStamp;  // first START of the run: "Split" offsets, the display
    std::optional<Stamp> massStartStamp;   // the mass start
    std::optional<Stamp> firstFinishStamp; // mass start: the first finish, for the gaps
    // The race (until a start list is loaded or the protocol cleared): the stamp of every
    // start, under StampKey(start number, "Start"), and of every queued finish, under
    // StampKey("3.", its time text).
    QMap<QString, Stamp> starts;
    QMap<QString, Stamp> queued;
    // The highest placeholder number ("-5" gives 5) given in this race: a new one is never reused.
    int highestPlaceholder = 0;

    bool Started() const { return runStart.has_value(); }
    bool StartAvailable() const { return !startClosed; }
    // A start of this run is known: taken in this session or restored from the backup.
    bool MassStartKnown() const { return Started() || !massStartClock.isEmpty(); }
    // ENDE: the run is over; the race's stamps stay for the athletes still to be assigned.
    void EndRun() {
        runStart.reset();
        firstFinish.reset();
        finishCounter = 0;
        massStartClock.clear();
        firstFinishClock.clear();
        firstStartStamp.reset();
        massStartStamp.reset();
        firstFinishStamp.reset();
        finishOpenAtProgramStart = false;
    }
    // A start list loaded or the protocol cleared: a new race.
    void NewRace() {
        starts.clear();
        queued.clear();
        highestPlaceholder = 0;
    }
};
