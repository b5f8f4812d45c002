#pragma once

#include <QObject>

class SleepInhibitor;
struct RunState;

// Keeps the computer awake from the first START to ENDE (or the clearing of the
// protocol), lid switch included: a lid closed during a race must not stop the
// clock under the athletes on the course. Where no one grants the block, or
// only the sleep part of it, the operator is told once and the race goes on.
class SleepGuard : public QObject {
    Q_OBJECT
public:
    // Without an inhibitor (tests, no session bus) it does nothing.
    SleepGuard(SleepInhibitor* inhibitor, const RunState& state, QObject* parent = nullptr);
    ~SleepGuard() override;

    // Holds or gives up the block as the competition runs or not.
    void Sync();

signals:
    // Why the computer may sleep during this competition; empty when the block is given up.
    void NotBlocked(const QString& text);

private:
    SleepInhibitor* m_inhibitor;
    const RunState& m_state;
    bool m_held = false;
    bool m_warned = false;
};
