#pragma once

#include "core/platform/Clock.h"

#include <QString>
#include <optional>

// A captured moment as a restart of the program finds it again: the tick, the same
// moment in UTC milliseconds, and the boot of the machine the tick counts from.
// CLOCK_BOOTTIME runs on across program restarts, so two stamps of one boot give an
// exact duration by their ticks; across a reboot only their UTC milliseconds do,
// which a daylight-saving change or midnight does not disturb either.
struct Stamp {
    Tick tick = 0;
    qint64 epochMs = 0; // 0: not known
    QString boot;       // empty: not known

    static Stamp Of(const Moment& at, const QString& boot);
    // "tick;epochMs;boot".
    QString ToText() const;
    static std::optional<Stamp> FromText(const QString& text);
    bool operator==(const Stamp&) const = default;
};

// Milliseconds from `earlier` to `later`: the tick difference when both are of one boot,
// else the UTC difference; nothing when neither is known. Negative: `later` came first.
std::optional<qint64> StampDiff(const Stamp& later, const Stamp& earlier);

// The tick that `stamp` has in the boot named `boot`, whose clock read `now`: its own
// tick in the same boot, else the one its UTC milliseconds give. Nothing when neither
// is known or the moment lies further back than the ticks reach.
std::optional<Tick> TickInBoot(const Stamp& stamp, const QString& boot, const Moment& now);

// The key under which the run state keeps the stamp of a start (start number and
// "Start" text) or of a queued finish (its "1." and its time text).
QString StampKey(const QString& number, const QString& timeText);
