#include "core/contacts/ComEvent.h"

#include "core/platform/SerialDevices.h"

#include <sys/ioctl.h>

namespace {

struct LineBits {
    int modem;
    quint32 status;
    int ModemCounters::*counter;
};

constexpr LineBits kLines[] = {
    {TIOCM_CD, kStatusDcd, &ModemCounters::dcd},
    {TIOCM_DSR, kStatusDsr, &ModemCounters::dsr},
    {TIOCM_CTS, kStatusCts, &ModemCounters::cts},
    {TIOCM_RNG, kStatusRi, &ModemCounters::rng},
};

} // namespace

quint32 StatusFromModemBits(int bits) {
    quint32 status = 0;
    for (const LineBits& line : kLines)
        if (bits & line.modem)
            status |= line.status;
    return status;
}

int ModemBitsFromStatus(quint32 status) {
    int bits = 0;
    for (const LineBits& line : kLines)
        if (status & line.status)
            bits |= line.modem;
    return bits;
}

quint32 PulsedLines(int before, int after, const ModemCounters& countersBefore, const ModemCounters& countersAfter,
                    bool ringTrailingEdge) {
    quint32 pulsed = 0;
    for (const LineBits& line : kLines) {
        if ((before | after) & line.modem)
            continue; // on at one end: the status says all there is to say
        // The driver's counters wrap like any int; the unsigned difference survives that.
        const quint32 edges =
            static_cast<quint32>(countersAfter.*line.counter) - static_cast<quint32>(countersBefore.*line.counter);
        const quint32 needed = ringTrailingEdge && line.modem == TIOCM_RNG ? 1u : 2u;
        if (edges < 0x80000000u && edges >= needed)
            pulsed |= line.status;
    }
    return pulsed;
}
