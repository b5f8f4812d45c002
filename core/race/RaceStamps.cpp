#include "core/race/RaceStamps.h"

#include <QStringList>
#include <limits>

Stamp Stamp::Of(const Moment& at, const QString& boot) {
    return Stamp{at.tick, at.epochMs, boot};
}

QString Stamp::ToText() const {
    return QStringLiteral("%1;%2;%3").arg(tick).arg(epochMs).arg(boot);
}

std::optional<Stamp> Stamp::FromText(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char(';'));
    if (parts.size() != 3)
        return std::nullopt;
    bool tickOk = false;
    bool epochOk = false;
    Stamp s;
    s.tick = parts[0].toUInt(&tickOk);
    s.epochMs = parts[1].toLongLong(&epochOk);
    s.boot = parts[2].trimmed();
    // A boot name is a UUID: anything with a separator in it is not one.
    if (!tickOk || !epochOk || s.epochMs < 0 || s.boot.contains(QLatin1Char('|')))
        return std::nullopt;
    return s;
}

std::optional<qint64> StampDiff(const Stamp& later, const Stamp& earlier) {
    if (!later.boot.isEmpty() && later.boot == earlier.boot)
        return TickDiff(later.tick, earlier.tick);
    if (later.epochMs != 0 && earlier.epochMs != 0)
        return later.epochMs - earlier.epochMs;
    return std::nullopt;
}

std::optional<Tick> TickInBoot(const Stamp& stamp, const QString& boot, const Moment& now) {
    if (!boot.isEmpty() && stamp.boot == boot)
        return stamp.tick;
    if (stamp.epochMs == 0 || now.epochMs == 0)
        return std::nullopt;
    const qint64 back = now.epochMs - stamp.epochMs;
    // 32-bit tick differences reach about 24 days either way.
    if (back < -qint64(std::numeric_limits<qint32>::max()) || back > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<Tick>(now.tick - static_cast<Tick>(static_cast<qint32>(back)));
}

QString StampKey(const QString& number, const QString& timeText) {
    return number.trimmed() + QLatin1Char('|') + timeText.trimmed();
}
