#pragma once

#include "core/platform/Clock.h"

#include <QMetaType>

struct ModemCounters;

// Modem-status bits as the contact logic names them.
constexpr quint32 kStatusCts = 0x10;
constexpr quint32 kStatusDsr = 0x20;
constexpr quint32 kStatusRi = 0x40;
constexpr quint32 kStatusDcd = 0x80;
constexpr quint32 kStatusLines = kStatusCts | kStatusDsr | kStatusRi | kStatusDcd;

// What the watcher captured the moment it woke: the tick, the lines that are
// on, the lines that went on and off since the previous capture (seen only
// through the interrupt counters), and the clock of day read with the tick.
struct ComEvent {
    Tick tick = 0;
    quint32 status = 0;
    quint32 pulsedLines = 0;
    QTime clock = QTime(); // invalid when a caller built the event without it

    Moment At() const { return Moment{tick, clock}; }
};
Q_DECLARE_METATYPE(ComEvent)

// TIOCM_CD/DSR/CTS/RNG to the status bits above.
quint32 StatusFromModemBits(int bits);
// The status bits of TIOCM_* lines in `bits`; the inverse of StatusFromModemBits.
int ModemBitsFromStatus(quint32 status);

// Lines that were off at both ends of a wait and whose counters moved by at
// least two edges: each went on and off unseen by the status reads. A line that
// is on at either end is decided by its status alone, so a release never fires
// however much it bounces. Where `ringTrailingEdge` is set the driver counts
// only the trailing edge of RI (16550), and one counted edge is a pulse.
quint32 PulsedLines(int before, int after, const ModemCounters& countersBefore, const ModemCounters& countersAfter,
                    bool ringTrailingEdge = false);
