#include "core/contacts/ContactLogic.h"

#include "core/contacts/ComEvent.h"

namespace {

struct LineBit {
    ContactLine line;
    quint32 bit;
};

constexpr LineBit kOrder[] = {
    {ContactLine::DCD, kStatusDcd},
    {ContactLine::DSR, kStatusDsr},
    {ContactLine::CTS, kStatusCts},
    {ContactLine::RI, kStatusRi},
};

} // namespace

QList<ContactLine> ContactTriggers(int alg, quint32 status, quint32 pulsed, quint32& lastStatus, quint32 lines) {
    lines &= kStatusLines;
    status &= lines;
    pulsed &= lines;
    if (status == lastStatus && pulsed == 0)
        return {};
    lastStatus = status;
    const quint32 on = status | pulsed;
    switch (alg) {
    case 0:
        if (on == 0)
            return {};
        break;
    case 1:
        // Decided on the lines that stay on: a line dipping off and on again
        // while the others are held leaves the resting state unchanged.
        if (status == lines)
            return {};
        break;
    default:
        return {};
    }
    QList<ContactLine> triggered;
    for (const LineBit& entry : kOrder)
        if (on & entry.bit)
            triggered << entry.line;
    return triggered;
}

bool IsStartLine(ContactLine line) {
    return line == ContactLine::DCD || line == ContactLine::DSR;
}
