#include "core/platform/Clock.h"

#include <QFile>

Moment Clock::moment() const {
    Moment m;
    m.tick = tick();
    const QDateTime n = now();
    m.clock = n.time();
    m.epochMs = n.toMSecsSinceEpoch();
    return m;
}

qint64 Clock::micros() const {
    return static_cast<qint64>(tick()) * 1000;
}

QString Clock::bootId() const {
    // CLOCK_BOOTTIME counts from this boot: the kernel names it anew at every start.
    static const QString id = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : QString();
    }();
    return id;
}
