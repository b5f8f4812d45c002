#pragma once

#include "core/platform/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

// The login manager's delay-free block ("sleep:idle", mode "block") over D-Bus,
// asked without waiting: the answer arrives through the event loop. The block
// lasts as long as the descriptor it hands back is open.
class LogindSleepInhibitor final : public QObject, public SleepInhibitor {
    Q_OBJECT
public:
    explicit LogindSleepInhibitor(QDBusConnection bus = QDBusConnection::systemBus(), QObject* parent = nullptr);
    ~LogindSleepInhibitor() override;

    void hold(FailureFn onFailure) override;
    void release() override;
    bool held() const override { return m_fd.isValid(); }

    static constexpr int kTimeoutMs = 3000;

private:
    void Answered(QDBusPendingCallWatcher* call);

    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_fd;
    QDBusPendingCallWatcher* m_pending = nullptr;
    bool m_wanted = false;
    FailureFn m_onFailure;
};
