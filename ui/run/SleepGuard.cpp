#include "ui/run/SleepGuard.h"

#include "core/platform/SleepInhibitor.h"
#include "core/race/RunState.h"

SleepGuard::SleepGuard(SleepInhibitor* inhibitor, const RunState& state, QObject* parent)
    : QObject(parent), m_inhibitor(inhibitor), m_state(state) {}

SleepGuard::~SleepGuard() {
    if (m_inhibitor && m_held)
        m_inhibitor->release();
}

void SleepGuard::Sync() {
    if (!m_inhibitor || m_held == m_state.Started())
        return;
    m_held = m_state.Started();
    if (!m_held) {
        m_inhibitor->release();
        emit NotBlocked(QString());
        return;
    }
    m_inhibitor->hold([this](const QString& reason, bool sleepBlocked) {
        m_held = sleepBlocked;
        if (m_warned)
            return; // said once; the race goes on regardless
        m_warned = true;
        emit NotBlocked(sleepBlocked
                            ? QStringLiteral("Zuklappen nicht gesperrt (%1) – Deckel offen lassen").arg(reason)
                            : QStringLiteral("Ruhezustand nicht gesperrt (%1) – Rechner nicht zuklappen").arg(reason));
    });
}
