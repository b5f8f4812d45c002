#pragma once

#include "core/platform/Clock.h"

// CLOCK_BOOTTIME (it goes on while the computer sleeps) in milliseconds, wrapped to 32 bits;
// QDateTime::currentDateTime.
class SystemClock final : public Clock {
public:
    Tick tick() const override;
    QDateTime now() const override;
    qint64 micros() const override;
};
