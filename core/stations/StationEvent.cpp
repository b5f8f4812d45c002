#include "core/stations/StationEvent.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace StationRole {
QString Name(int role) {
    switch (role) {
    case Start:
        return QStringLiteral("start");
    case Finish:
        return QStringLiteral("ziel");
    default:
        return QString();
    }
}

std::optional<int> FromName(const QString& name) {
    if (name == Name(Start))
        return Start;
    if (name == Name(Finish))
        return Finish;
    return std::nullopt;
}
} // namespace StationRole

namespace {

QByteArray Compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool Object(const QByteArray& payload, QJsonObject& o) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    o = doc.object();
    return true;
}

// Whole numbers travel as JSON numbers (doubles): exact up to 2^53, which UTC
// milliseconds and sequence numbers stay far below.
bool WholeNumber(const QJsonObject& o, const char* key, qint64& out) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != static_cast<double>(static_cast<qint64>(d)) || d < -9.0e15 || d > 9.0e15)
        return false;
    out = static_cast<qint64>(d);
    return true;
}

bool Text(const QJsonObject& o, const char* key, QString& out) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

} // namespace

QByteArray StationEvent::ToJson() const {
    QJsonObject o;
    o.insert(QStringLiteral("race"), race);
    o.insert(QStringLiteral("station"), station);
    o.insert(QStringLiteral("seq"), static_cast<double>(seq));
    o.insert(QStringLiteral("event"), event);
    o.insert(QStringLiteral("tick"), static_cast<double>(tick));
    o.insert(QStringLiteral("clock"), clockMs);
    o.insert(QStringLiteral("utc"), static_cast<double>(utcMs));
    o.insert(QStringLiteral("number"), number);
    o.insert(QStringLiteral("source"), source);
    return Compact(o);
}

bool ParseStationEvent(const QByteArray& payload, StationEvent& e, QString& why) {
    QJsonObject o;
    if (!Object(payload, o)) {
        why = QStringLiteral("kein lesbares Ereignis");
        return false;
    }
    qint64 seq = 0, tick = 0, clock = 0, utc = 0;
    StationEvent out;
    if (!Text(o, "race", out.race) || !Text(o, "station", out.station) || !Text(o, "event", out.event) ||
        !Text(o, "number", out.number) || !Text(o, "source", out.source) || !WholeNumber(o, "seq", seq) ||
        !WholeNumber(o, "tick", tick) || !WholeNumber(o, "clock", clock) || !WholeNumber(o, "utc", utc)) {
        why = QStringLiteral("Ereignis unvollständig");
        return false;
    }
    if (seq < 1 || tick < 0 || tick > 0xFFFFFFFFLL || clock < 0 || clock >= 86400000 || utc <= 0) {
        why = QStringLiteral("Ereignis mit ungültigen Werten");
        return false;
    }
    out.seq = static_cast<quint64>(seq);
    out.tick = static_cast<quint32>(tick);
    out.clockMs = static_cast<qint32>(clock);
    out.utcMs = utc;
    e = out;
    return true;
}

QByteArray StationAck::ToJson() const {
    QJsonObject o;
    o.insert(QStringLiteral("race"), race);
    o.insert(QStringLiteral("station"), station);
    o.insert(QStringLiteral("origin"), origin);
    o.insert(QStringLiteral("seq"), static_cast<double>(seq));
    o.insert(QStringLiteral("hello"), hello);
    return Compact(o);
}

bool ParseStationAck(const QByteArray& payload, StationAck& ack) {
    QJsonObject o;
    qint64 seq = 0;
    StationAck out;
    if (!Object(payload, o) || !Text(o, "race", out.race) || !Text(o, "station", out.station) ||
        !Text(o, "origin", out.origin) || !WholeNumber(o, "seq", seq) || seq < 0)
        return false;
    out.seq = static_cast<quint64>(seq);
    out.hello = o.value(QStringLiteral("hello")).toBool();
    ack = out;
    return true;
}

QByteArray ClockPing::ToJson() const {
    QJsonObject o;
    o.insert(QStringLiteral("race"), race);
    o.insert(QStringLiteral("from"), from);
    o.insert(QStringLiteral("to"), to);
    o.insert(QStringLiteral("t1"), static_cast<double>(t1));
    o.insert(QStringLiteral("t2"), static_cast<double>(t2));
    o.insert(QStringLiteral("t3"), static_cast<double>(t3));
    return Compact(o);
}

bool ParseClockPing(const QByteArray& payload, ClockPing& ping) {
    QJsonObject o;
    ClockPing out;
    if (!Object(payload, o) || !Text(o, "race", out.race) || !Text(o, "from", out.from) || !Text(o, "to", out.to) ||
        !WholeNumber(o, "t1", out.t1) || !WholeNumber(o, "t2", out.t2) || !WholeNumber(o, "t3", out.t3))
        return false;
    ping = out;
    return true;
}
