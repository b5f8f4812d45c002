#include "ui/platform/LogindSleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

LogindSleepInhibitor::LogindSleepInhibitor(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

LogindSleepInhibitor::~LogindSleepInhibitor() {
    release();
}

void LogindSleepInhibitor::hold(FailureFn onFailure) {
    m_wanted = true;
    m_onFailure = std::move(onFailure);
    if (m_fd.isValid() || m_pending)
        return;
    if (!m_bus.isConnected()) {
        m_wanted = false;
        if (m_onFailure)
            m_onFailure(QStringLiteral("kein Systembus"), false);
        return;
    }
    m_lidRefused.clear();
    Ask(QStringLiteral("sleep:idle:handle-lid-switch"));
}

void LogindSleepInhibitor::Ask(const QString& what) {
    m_lidAsked = what.contains(QLatin1String("handle-lid-switch"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << what << QStringLiteral("Kadenzor") << QStringLiteral("Wettkampf läuft") << QStringLiteral("block");
    m_pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kTimeoutMs), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, &LogindSleepInhibitor::Answered);
}

void LogindSleepInhibitor::Answered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    m_pending = nullptr;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (!m_wanted)
        return; // released meanwhile: the descriptor closes with the reply
    if (reply.isError() || !reply.value().isValid()) {
        const QString reason = reply.isError() ? reply.error().message() : QStringLiteral("keine Sperre erhalten");
        if (m_lidAsked) {
            // The lid switch may need a permission that sleep does not: sleep alone then.
            m_lidRefused = reason;
            Ask(QStringLiteral("sleep:idle"));
            return;
        }
        m_wanted = false;
        if (m_onFailure)
            m_onFailure(reason, false);
        return;
    }
    m_fd = reply.value();
    if (!m_lidRefused.isEmpty() && m_onFailure)
        m_onFailure(m_lidRefused, true);
}

void LogindSleepInhibitor::release() {
    m_wanted = false;
    m_onFailure = nullptr;
    m_fd = QDBusUnixFileDescriptor(); // closing our copy ends the block
}
