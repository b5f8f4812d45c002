#include "core/platform/SystemClock.h"

#include <time.h>

Tick SystemClock::tick() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    const quint64 ms = static_cast<quint64>(ts.tv_sec) * 1000u + static_cast<quint64>(ts.tv_nsec) / 1000000u;
    return static_cast<Tick>(ms);
}

qint64 SystemClock::micros() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}
