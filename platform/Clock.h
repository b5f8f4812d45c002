#pragma once

#include <QDateTime>
#include <QtGlobal>

// The millisecond tick and the local clock of day. Every duration is the
// 32-bit wrapping difference of two ticks; the clock of day is only ever
// used for texts and the time-of-day display.
using Tick = quint32;

// Elapsed milliseconds from `earlier` to `later`, correct across a wrap of the counter.
inline qint32 TickDiff(Tick later, Tick earlier) {
    return static_cast<qint32>(later - earlier);
}

class Clock {
public:
    virtual ~Clock() = default;
    virtual Tick tick() const = 0;
    virtual QDateTime now() const = 0; // local date and time with milliseconds
};

// CLOCK_BOOTTIME (it goes on while the computer sleeps) in milliseconds, wrapped to 32 bits;
// QDateTime::currentDateTime.
class SystemClock final : public Clock {
public:
    Tick tick() const override;
    QDateTime now() const override;
};
