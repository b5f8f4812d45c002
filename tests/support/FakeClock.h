#pragma once

#include "platform/Clock.h"

// A clock that moves only when told: tick and clock of day advance together.
class FakeClock final : public Clock {
public:
    explicit FakeClock(Tick start = 1000, QDateTime now = QDateTime(QDate(2026, 3, 20), QTime(9, 0)))
        : m_tick(start), m_now(std::move(now)) {}

    Tick tick() const override { return m_tick; }
    QDateTime now() const override { return m_now; }

    void Set(Tick tick, const QDateTime& now) {
        m_tick = tick;
        m_now = now;
    }
    void SetTick(Tick tick) { m_tick = tick; }
    void SetNow(const QDateTime& now) { m_now = now; }
    void Advance(qint32 ms) {
        m_tick += static_cast<Tick>(ms);
        m_now = m_now.addMSecs(ms);
    }

private:
    Tick m_tick;
    QDateTime m_now;
};
