#pragma once

#include "core/platform/Clock.h"

#include <mutex>

// A clock that moves only when told: tick and clock of day advance together,
// or each on its own through SetTick and SetNow. A serial watcher may read it
// from its own thread while the test moves it on: a capture keeps what the
// clock read then, however late the window handles it.
class FakeClock final : public Clock {
public:
    explicit FakeClock(Tick start = 1000, QDateTime now = QDateTime(QDate(2026, 3, 20), QTime(9, 0)))
        : m_tick(start), m_now(std::move(now)) {}
    // A test may start over with a fresh clock: the values are taken, the lock stays.
    FakeClock& operator=(const FakeClock& other) {
        if (this != &other) {
            const Moment m = other.moment();
            const QString boot = other.bootId();
            std::lock_guard lock(m_mutex);
            m_boot = boot;
            m_tick = m.tick;
            m_now = other.now();
            AdvancePerRead = other.AdvancePerRead;
        }
        return *this;
    }

    // With AdvancePerRead set, every reading of the tick (or of a moment) moves the
    // clock on by that much afterwards, so a test sees which reading a handler recorded.
    Tick tick() const override {
        std::lock_guard lock(m_mutex);
        const Tick t = m_tick;
        AfterRead();
        return t;
    }
    QDateTime now() const override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    Moment moment() const override {
        std::lock_guard lock(m_mutex);
        Moment m;
        m.tick = m_tick;
        m.clock = m_now.time();
        m.epochMs = m_now.toMSecsSinceEpoch();
        AfterRead();
        return m;
    }
    // A finer reading that moves nothing: only tick and moment count as readings.
    qint64 micros() const override {
        std::lock_guard lock(m_mutex);
        return static_cast<qint64>(m_tick) * 1000;
    }
    // A restart after a reboot: another boot, whose ticks count from elsewhere.
    QString bootId() const override {
        std::lock_guard lock(m_mutex);
        return m_boot;
    }
    void SetBoot(const QString& boot) {
        std::lock_guard lock(m_mutex);
        m_boot = boot;
    }
    int AdvancePerRead = 0;
    mutable int TickReads = 0;

    void Set(Tick tick, const QDateTime& now) {
        std::lock_guard lock(m_mutex);
        m_tick = tick;
        m_now = now;
    }
    void SetTick(Tick tick) {
        std::lock_guard lock(m_mutex);
        m_tick = tick;
    }
    void SetNow(const QDateTime& now) {
        std::lock_guard lock(m_mutex);
        m_now = now;
    }
    void Advance(qint32 ms) {
        std::lock_guard lock(m_mutex);
        m_tick += static_cast<Tick>(ms);
        m_now = m_now.addMSecs(ms);
    }

private:
    void AfterRead() const {
        if (AdvancePerRead) {
            m_tick += static_cast<Tick>(AdvancePerRead);
            m_now = m_now.addMSecs(AdvancePerRead);
        }
        ++TickReads;
    }

    mutable std::mutex m_mutex;
    mutable Tick m_tick;
    mutable QDateTime m_now;
    QString m_boot = QStringLiteral("fake-boot-1");
};
