#pragma once

#include "core/contacts/ComEvent.h"

#include <QList>
#include <QtGlobal>

// The four contact lines, in the order in which one status word is examined.
enum class ContactLine { DCD, DSR, CTS, RI };

// The lines a captured modem event triggers. `alg` is the contact logic:
// 0 ignores a change after which no line is on, 1 ignores a change after which
// all four are on, anything else ignores every change. A line in `pulsed` went
// on and off between two captures and counts as on. `lastStatus` is the status
// of the previous event; it is updated, and an event that repeats it without a
// pulse triggers nothing. `lines` are the lines the port reports: mode 1 takes
// "all on" as all of those on.
QList<ContactLine> ContactTriggers(int alg, quint32 status, quint32 pulsed, quint32& lastStatus,
                                   quint32 lines = kStatusLines);

// DCD and DSR start, CTS and RI finish.
bool IsStartLine(ContactLine line);
