#pragma once

#include "platform/Clock.h"

// A clock that moves only when told: tick and clock of day advance together.
class FakeClock final : public Clock {
public:
    explicit FakeClock(Tick start = 1000, QDateTime now = QDateTime(QDate(2026, 3, 20), QTime(9, 0)))
        : m_tick(start), m_now(std::move(now)) {}

    // With AdvancePerRead set, every reading of the tick moves the clock on by that
    // much afterwards, so a test sees which reading a handler recorded.
    Tick tick() const override {
        const Tick t = m_tick;
        if (AdvancePerRead) {
            m_tick += static_cast<Tick>(AdvancePerRead);
            m_now = m_now.addMSecs(AdvancePerRead);
        }
        ++TickReads;
        return t;
    }
    int AdvancePerRead = 0;
    mutable int TickReads = 0;
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
    mutable Tick m_tick;
    mutable QDateTime m_now;
};
