#include "core/platform/Clock.h"

Moment Clock::moment() const {
    Moment m;
    m.tick = tick();
    m.clock = now().time();
    return m;
}

qint64 Clock::micros() const {
    return static_cast<qint64>(tick()) * 1000;
}
