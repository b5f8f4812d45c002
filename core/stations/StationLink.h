#pragma once

#include "core/stations/ClockOffset.h"
#include "core/stations/StationEvent.h"
#include "core/stations/StationLedger.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class MqttClient;

// How a station reaches the broker, from the settings.
struct StationConfig {
    int role = StationRole::Alone;
    QString host;
    quint16 port = 1883;
    QString race = QStringLiteral("rennen");
    QString user;
    QString password;
    bool tls = false;

    // "host:port" (port 1883 when left out); false with the German reason.
    static bool ParseBroker(const QString& text, QString& host, quint16& port, QString& why);
    // A race id fit for a topic level: no "/", "+", "#", not empty.
    static bool ValidRace(const QString& race);
    QString Prefix() const { return QStringLiteral("kadenzor/") + race + QLatin1Char('/'); }
};

// One station's link to the others through the broker. The start station publishes its
// journal's events (QoS 1) and republishes from its journal whatever the finish station
// has not acknowledged; the finish station hands each event of the start station on for
// applying exactly once and in order, and acknowledges the highest one applied without a
// gap (retained). Both measure the clock offset to the other. Lives in the GUI thread;
// the network runs in the client's thread and reaches this object by queued calls only.
class StationLink : public QObject {
    Q_OBJECT
public:
    using UtcClock = std::function<qint64()>; // UTC ms; called from both threads

    explicit StationLink(StationConfig config, UtcClock utc = {}, QObject* parent = nullptr);
    ~StationLink() override;

    const StationConfig& Config() const { return m_config; }
    QString Self() const { return StationRole::Name(m_config.role); }
    QString Peer() const;
    StationLedger& Ledger() { return m_ledger; }
    const StationLedger& Ledger() const { return m_ledger; }

    // Rebuilds what was published and applied from the journal's lines; before Begin.
    void Restore(const QList<JournalEntry>& journal);
    // Starts connecting; false with the German reason.
    bool Begin(QString& error);

    // An own journal line gets its sequence number (the caller journals it after this).
    StationEvent Stamp(JournalEntry& entry, qint64 utcMs);
    // Sends a stamped event (again, if need be: the receiver drops what it has).
    void Publish(const StationEvent& event);
    // The receiver applied (and journalled) the event EventDue handed on.
    void Applied(const QString& origin, quint64 seq);
    // The result list for every reader (retained).
    void PublishResults(const QByteArray& json);

    bool Connected() const { return m_connected; }
    bool PeerOnline() const { return m_peerOnline; }
    qint64 LastEventUtc() const { return m_lastEventUtc; }
    const QString& LastError() const { return m_error; }
    std::optional<ClockOffset::Estimate> Offset() const { return m_offset.Best(); }

signals:
    // The next event of `event.station` in order: apply it and call Applied before returning
    // (direct connection), or it is handed on again once it arrives anew.
    void EventDue(const StationEvent& event);
    // A message that is not applied: it does not parse, or comes from an unknown station.
    void Refused(const QString& why, const QString& topic, const QByteArray& payload);
    void StateChanged();
    void OffsetChanged();
    void ResultsArrived(const QByteArray& json);

private:
    QString Topic(const QString& station, const char* kind) const;
    void OnState(bool connected, const QString& why);
    void OnMessage(const QString& topic, const QByteArray& payload, bool retained);
    // Network thread: answers a clock ping at once, so that the answer's times are tight.
    bool AnswerClock(const QString& topic, const QByteArray& payload);
    void Drain(const QString& origin);
    void SendAck(bool hello);
    void Republish();
    void Ping();

    StationConfig m_config;
    UtcClock m_utc;
    StationLedger m_ledger;
    ClockOffset m_offset;
    QTimer m_pingTimer;
    QTimer m_resendTimer;
    bool m_connected = false;
    bool m_peerOnline = false;
    qint64 m_lastEventUtc = 0;
    quint64 m_lastAckSent = 0;
    quint64 m_ackAtLastResend = 0;
    QString m_error;
    std::unique_ptr<MqttClient> m_client; // last: its thread is joined before the rest goes
};
