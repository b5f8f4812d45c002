#pragma once

#include "core/platform/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

// The login manager's delay-free block over D-Bus, asked without waiting: the
// answer arrives through the event loop. It blocks sleep, idle and the lid
// switch ("sleep:idle:handle-lid-switch", mode "block"): with the default
// LidSwitchIgnoreInhibited=yes a sleep block does not stop a lid close from
// suspending. Where the lid switch's block is refused, sleep and idle are
// asked for alone. The block lasts as long as the descriptor it hands back is open.
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
    void Ask(const QString& what);
    void Answered(QDBusPendingCallWatcher* call);

    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_fd;
    QDBusPendingCallWatcher* m_pending = nullptr;
    bool m_wanted = false;
    bool m_lidAsked = false; // the pending call includes the lid switch
    QString m_lidRefused;    // why the lid switch's block was refused
    FailureFn m_onFailure;
};
