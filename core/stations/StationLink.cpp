#include "core/stations/StationLink.h"

#include "core/stations/MqttClient.h"

#include <QDateTime>
#include <QUuid>

namespace {
constexpr int kPingMs = 1000;
constexpr int kResendMs = 5000; // a gap the peer reported nothing about is filled after this
const QByteArray kOnline = "online";
const QByteArray kOffline = "offline";
} // namespace

bool StationConfig::ParseBroker(const QString& text, QString& host, quint16& port, QString& why) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        why = QStringLiteral("Broker fehlt (Rechner:Port)");
        return false;
    }
    const qsizetype colon = t.lastIndexOf(QLatin1Char(':'));
    host = colon < 0 ? t : t.left(colon).trimmed();
    port = 1883;
    if (colon >= 0) {
        bool ok = false;
        const uint p = t.mid(colon + 1).trimmed().toUInt(&ok);
        if (!ok || p < 1 || p > 65535) {
            why = QStringLiteral("Broker: Port %1 ist ungültig").arg(t.mid(colon + 1));
            return false;
        }
        port = static_cast<quint16>(p);
    }
    if (host.isEmpty() || host.contains(QLatin1Char(' '))) {
        why = QStringLiteral("Broker: Rechnername fehlt oder ist ungültig");
        return false;
    }
    return true;
}

bool StationConfig::ValidRace(const QString& race) {
    return !race.isEmpty() && !race.contains(QLatin1Char('/')) && !race.contains(QLatin1Char('+')) &&
           !race.contains(QLatin1Char('#'));
}

StationLink::StationLink(StationConfig config, UtcClock utc, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_utc(std::move(utc)), m_ledger(StationRole::Name(m_config.role)) {
    if (!m_utc)
        m_utc = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_pingTimer.setInterval(kPingMs);
    connect(&m_pingTimer, &QTimer::timeout, this, &StationLink::Ping);
    m_resendTimer.setInterval(kResendMs);
    connect(&m_resendTimer, &QTimer::timeout, this, [this] {
        // Unacknowledged events and no progress since the last look: something was lost.
        if (m_connected && m_ledger.Backlog() > 0 && m_ledger.PeerAck() == m_ackAtLastResend)
            Republish();
        m_ackAtLastResend = m_ledger.PeerAck();
    });
}

StationLink::~StationLink() {
    m_client.reset();
}

QString StationLink::Peer() const {
    return StationRole::Name(m_config.role == StationRole::Start ? StationRole::Finish : StationRole::Start);
}

QString StationLink::Topic(const QString& station, const char* kind) const {
    return m_config.Prefix() + QStringLiteral("station/") + station + QLatin1Char('/') + QLatin1String(kind);
}

void StationLink::Restore(const QList<JournalEntry>& journal) {
    m_ledger.Restore(journal);
    m_lastAckSent = m_ledger.Applied(Peer());
}

bool StationLink::Begin(QString& error) {
    if (!StationConfig::ValidRace(m_config.race)) {
        error = m_error = QStringLiteral("RaceId \"%1\" ist ungültig (kein /, + oder #)").arg(m_config.race);
        return false;
    }
    MqttClient::Options o;
    o.host = m_config.host;
    o.port = m_config.port;
    o.user = m_config.user;
    o.password = m_config.password;
    o.tls = m_config.tls;
    o.clientId = QStringLiteral("kadenzor-%1-%2-%3")
                     .arg(m_config.race, Self(), QUuid::createUuid().toString(QUuid::Id128).left(8));
    o.willTopic = Topic(Self(), "state");
    o.willPayload = kOffline;
    m_client = std::make_unique<MqttClient>(
        o,
        [this](const QString& topic, const QByteArray& payload, bool retained) {
            if (AnswerClock(topic, payload))
                return;
            QMetaObject::invokeMethod(
                this, [this, topic, payload, retained] { OnMessage(topic, payload, retained); }, Qt::QueuedConnection);
        },
        [this](bool connected, const QString& why) {
            QMetaObject::invokeMethod(
                this, [this, connected, why] { OnState(connected, why); }, Qt::QueuedConnection);
        });
    if (!m_client->Start(error)) {
        m_error = error;
        m_client.reset();
        return false;
    }
    m_pingTimer.start();
    m_resendTimer.start();
    return true;
}

void StationLink::OnState(bool connected, const QString& why) {
    m_error = why;
    if (connected && !m_connected) {
        const QString base = m_config.Prefix() + QStringLiteral("station/+/");
        m_client->Subscribe(base + QStringLiteral("events"), 1);
        m_client->Subscribe(base + QStringLiteral("ack"), 1);
        m_client->Subscribe(base + QStringLiteral("clock"), 0);
        m_client->Subscribe(base + QStringLiteral("state"), 1);
        m_client->Subscribe(m_config.Prefix() + QStringLiteral("results"), 0);
        m_client->Publish(Topic(Self(), "state"), kOnline, 1, true);
        // Whatever went out while the link was down may be lost; the peer drops what it has.
        if (m_config.role == StationRole::Start)
            Republish();
        // Tells the start station what is missing here, also when the broker lost the retained ack.
        if (m_config.role == StationRole::Finish)
            SendAck(true);
    }
    if (!connected)
        m_peerOnline = false;
    m_connected = connected;
    emit StateChanged();
}

bool StationLink::AnswerClock(const QString& topic, const QByteArray& payload) {
    if (!topic.endsWith(QLatin1String("/clock")))
        return false;
    const qint64 arrived = m_utc();
    ClockPing ping;
    if (!ParseClockPing(payload, ping) || ping.race != m_config.race || ping.from == Self())
        return true;
    if (!ping.to.isEmpty())
        return ping.to != Self(); // an answer to us goes on to the GUI thread with its t4
    ClockPing answer = ping;
    answer.to = ping.from;
    answer.from = Self();
    answer.t2 = arrived;
    answer.t3 = m_utc();
    if (m_client)
        m_client->Publish(Topic(Self(), "clock"), answer.ToJson(), 0, false);
    return true;
}

void StationLink::OnMessage(const QString& topic, const QByteArray& payload, bool retained) {
    const QString base = m_config.Prefix() + QStringLiteral("station/");
    if (topic == m_config.Prefix() + QStringLiteral("results")) {
        emit ResultsArrived(payload);
        return;
    }
    if (!topic.startsWith(base))
        return;
    const QStringList parts = topic.mid(base.size()).split(QLatin1Char('/'));
    if (parts.size() != 2)
        return;
    const QString& station = parts[0];
    const QString& kind = parts[1];
    if (station == Self())
        return; // our own messages come back to us
    const bool known = StationRole::FromName(station).has_value();

    if (kind == QLatin1String("clock")) {
        ClockPing answer;
        if (ParseClockPing(payload, answer) && answer.to == Self() && answer.from == Peer() &&
            m_offset.Add(answer.t1, answer.t2, answer.t3, m_utc()))
            emit OffsetChanged();
        return;
    }
    if (kind == QLatin1String("state")) {
        if (station == Peer()) {
            m_peerOnline = payload == kOnline;
            emit StateChanged();
        }
        return;
    }
    if (kind == QLatin1String("ack")) {
        StationAck ack;
        if (!known || !ParseStationAck(payload, ack) || ack.race != m_config.race || ack.station != station ||
            ack.origin != Self())
            return;
        m_ledger.Acknowledged(ack.seq);
        if (retained || ack.hello)
            Republish();
        emit StateChanged();
        return;
    }
    if (kind != QLatin1String("events") || m_config.role != StationRole::Finish)
        return;
    StationEvent event;
    QString why;
    if (!known || station != Peer()) {
        emit Refused(QStringLiteral("Ereignis einer unbekannten Station \"%1\"").arg(station), topic, payload);
        return;
    }
    if (!ParseStationEvent(payload, event, why)) {
        emit Refused(why, topic, payload);
        return;
    }
    if (event.station != station || event.race != m_config.race) {
        emit Refused(QStringLiteral("Ereignis mit falscher Station oder RaceId"), topic, payload);
        return;
    }
    m_lastEventUtc = m_utc();
    if (m_ledger.Receive(event))
        Drain(station);
    else if (event.seq <= m_ledger.Applied(station))
        SendAck(false); // a repeat: the sender has not heard our ack yet
    emit StateChanged();
}

void StationLink::Drain(const QString& origin) {
    while (const StationEvent* due = m_ledger.NextDue(origin)) {
        const StationEvent event = *due;
        const quint64 before = m_ledger.Applied(origin);
        emit EventDue(event);
        if (m_ledger.Applied(origin) == before)
            break; // not applied: it is handed on again when it comes again
    }
    SendAck(false);
}

void StationLink::Applied(const QString& origin, quint64 seq) {
    m_ledger.MarkApplied(origin, seq);
}

void StationLink::SendAck(bool hello) {
    const quint64 applied = m_ledger.Applied(Peer());
    if (!m_client || (!hello && applied == m_lastAckSent && applied > 0))
        return;
    StationAck ack{m_config.race, Self(), Peer(), applied, hello};
    if (m_client->Publish(Topic(Self(), "ack"), ack.ToJson(), 1, true))
        m_lastAckSent = applied;
}

StationEvent StationLink::Stamp(JournalEntry& entry, qint64 utcMs) {
    return m_ledger.Stamp(entry, m_config.race, utcMs);
}

void StationLink::Publish(const StationEvent& event) {
    if (!m_client)
        return;
    StationEvent e = event;
    e.race = m_config.race; // events restored from the journal carry no race
    m_client->Publish(Topic(Self(), "events"), e.ToJson(), 1, false);
}

void StationLink::Republish() {
    if (!m_client)
        return;
    for (const StationEvent& e : m_ledger.After(m_ledger.PeerAck()))
        Publish(e);
}

void StationLink::PublishResults(const QByteArray& json) {
    if (m_client && m_config.role == StationRole::Finish)
        m_client->Publish(m_config.Prefix() + QStringLiteral("results"), json, 1, true);
}

void StationLink::Ping() {
    if (!m_client || !m_connected)
        return;
    ClockPing ping;
    ping.race = m_config.race;
    ping.from = Self();
    ping.t1 = m_utc();
    m_client->Publish(Topic(Self(), "clock"), ping.ToJson(), 0, false);
}
