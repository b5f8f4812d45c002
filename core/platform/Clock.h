#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The millisecond tick and the local clock of day. Every duration is the
// 32-bit wrapping difference of two ticks; the clock of day is only ever
// used for texts and the time-of-day display.
using Tick = quint32;

// Elapsed milliseconds from `earlier` to `later`, correct across a wrap of the counter.
inline qint32 TickDiff(Tick later, Tick earlier) {
    return static_cast<qint32>(later - earlier);
}

// One impulse, taken once: the tick for its durations and the local clock of
// day for its texts, read back to back. Every text recorded for the impulse
// comes from `clock`, never from a later reading.
// `epochMs` is the same moment in UTC milliseconds since 1970 (0: unknown), so that a
// moment kept across a reboot, whose tick no longer counts from the same start, can still
// be compared exactly, across a daylight-saving change too.
struct Moment {
    Tick tick = 0;
    QTime clock;
    qint64 epochMs = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual Tick tick() const = 0;
    virtual QDateTime now() const = 0; // local date and time with milliseconds
    // The tick and then the clock of day, with nothing in between.
    virtual Moment moment() const;
    // The tick's clock read in microseconds, for durations shorter than a few
    // ticks (the contacts' quiet time). A clock without a finer reading gives
    // the tick times 1000, which wraps with the tick.
    virtual qint64 micros() const;
    // Names the boot of the machine whose ticks these are: two ticks of the same boot
    // give a duration, ticks of different boots do not. Empty when unknown.
    virtual QString bootId() const;
};
