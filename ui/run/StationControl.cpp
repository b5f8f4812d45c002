#include "ui/run/StationControl.h"

#include "core/base/TimeText.h"
#include "core/platform/Clock.h"
#include "core/stations/StationLink.h"
#include "ui/run/RunControl.h"
#include "ui/tables/RaceRecords.h"

#include <QDateTime>

namespace {
constexpr int kStatusMs = 1000;
constexpr qint64 kOffsetJournalMs = 60000; // an unchanged offset is journalled once a minute
constexpr qint64 kOffsetStepMs = 2;        // a change of this much is journalled,
constexpr qint64 kOffsetGapMs = 10000;     // but not more often than this

QString StationTitle(int role) {
    return role == StationRole::Start ? QStringLiteral("Startstation") : QStringLiteral("Zielstation");
}

// A signed number of ms as the operator reads it, with a real minus sign.
QString SignedMs(qint64 ms) {
    return (ms < 0 ? QStringLiteral("\u2212") : ms > 0 ? QStringLiteral("+") : QString()) + QString::number(qAbs(ms));
}
} // namespace

StationControl::StationControl(const TSettings& settings, RaceRecords& records, RunControl& run, const Clock& clock,
                               QObject* parent)
    : QObject(parent), m_settings(settings), m_records(records), m_run(run), m_clock(clock) {
    m_records.SetStamp([this](JournalEntry& e) { Stamp(e); });
    connect(&m_records, &RaceRecords::Journalized, this, &StationControl::Published);
    m_statusTimer.setInterval(kStatusMs);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        JournalOffset();
        ShowStatus();
    });
}

StationControl::~StationControl() {
    m_records.SetStamp({});
}

void StationControl::EnsureLink() {
    if (m_link || m_settings.Station == StationRole::Alone)
        return;
    StationConfig c;
    c.role = m_settings.Station;
    c.race = m_settings.RaceId.trimmed();
    c.user = m_settings.BrokerUser;
    c.password = m_settings.BrokerPassword;
    c.tls = m_settings.BrokerTls;
    m_error.clear();
    if (!StationConfig::ParseBroker(m_settings.Broker, c.host, c.port, m_error))
        c.host.clear();
    m_link = std::make_unique<StationLink>(c);
    m_link->Restore(ReadJournalLines(m_records.JournalFile().FileName()));
    connect(m_link.get(), &StationLink::EventDue, this, &StationControl::Apply);
    connect(m_link.get(), &StationLink::Refused, this, &StationControl::Refuse);
    connect(m_link.get(), &StationLink::StateChanged, this, &StationControl::ShowStatus);
    connect(m_link.get(), &StationLink::OffsetChanged, this, [this] { JournalOffset(); });
    connect(m_link.get(), &StationLink::ResultsArrived, this, &StationControl::ResultsArrived);
}

void StationControl::Begin() {
    m_begun = true;
    Connect();
}

void StationControl::Connect() {
    EnsureLink();
    if (!m_link) {
        m_statusTimer.stop();
        ShowStatus();
        return;
    }
    if (m_error.isEmpty() && !m_link->Begin(m_error))
        emit Notice(StationTitle(m_settings.Station) + QStringLiteral(": ") + m_error);
    m_statusTimer.start();
    ShowStatus();
}

bool StationControl::LinkSettingsChanged(const TSettings& b) const {
    const TSettings& s = m_settings;
    return b.Station != s.Station || b.Broker != s.Broker || b.RaceId != s.RaceId || b.BrokerUser != s.BrokerUser ||
           b.BrokerPassword != s.BrokerPassword || b.BrokerTls != s.BrokerTls;
}

void StationControl::ApplySettings(const TSettings& before) {
    if (!LinkSettingsChanged(before))
        return;
    m_link.reset();
    m_offsetJournalled = false;
    if (m_begun)
        Connect();
}

void StationControl::Stamp(JournalEntry& e) {
    if (m_settings.Station != StationRole::Start)
        return;
    if (e.event != JournalEvent::Start && e.event != JournalEvent::End && e.event != JournalEvent::ProgramStart)
        return;
    EnsureLink();
    // The UTC moment of the captured clock of day: the only time two PCs can compare.
    const qint64 utc = QDateTime(e.date, e.clock).toMSecsSinceEpoch();
    m_link->Stamp(e, utc);
}

void StationControl::Published(const QList<JournalEntry>& entries) {
    if (!m_link || m_settings.Station != StationRole::Start)
        return;
    for (const JournalEntry& e : entries)
        if (const auto event = StationLedger::EventOf(e, StationKey::Station);
            event && event->station == m_link->Self())
            m_link->Publish(*event);
    ShowStatus();
}

void StationControl::Apply(const StationEvent& e) {
    const QString source = JournalSource::Station + QLatin1Char(' ') + e.station;
    const QTime clock = QTime::fromMSecsSinceStartOfDay(e.clockMs);
    QList<QPair<QString, QString>> detail = {{StationKey::Origin, e.station},
                                             {StationKey::Seq, QString::number(e.seq)},
                                             {StationKey::Utc, QString::number(e.utcMs)},
                                             {QStringLiteral("Tick dort"), QString::number(e.tick)}};
    JournalEntry line;
    line.source = source;
    line.number = e.number;
    line.clock = clock;
    line.detail = detail;
    if (e.event != JournalEvent::Start) {
        // ENDE and PROGRAMMSTART of the start station are noted; only starts are applied.
        line.event = JournalEvent::RemoteEvent;
        line.Add(QStringLiteral("Ereignis"), e.event);
        m_records.Journalize({line});
        m_link->Applied(e.station, e.seq);
        return;
    }
    // The local tick that lies as far back as the start's UTC moment: a running time of
    // finish tick minus this tick is the finish's UTC minus the start's UTC.
    const Tick now = m_clock.tick();
    const qint64 nowUtc = m_clock.now().toMSecsSinceEpoch();
    const Moment at{static_cast<Tick>(now - static_cast<Tick>(nowUtc - e.utcMs)), clock};
    const RunControl::RemoteStart result = m_run.ApplyRemoteStart(e.number, at, source, detail);
    if (result != RunControl::RemoteStart::Applied) {
        const QString why = result == RunControl::RemoteStart::AlreadyStarted
                                ? QStringLiteral("hat schon eine Startzeit")
                                : QStringLiteral("ist nicht in der Startliste");
        line.event = JournalEvent::RemoteStartRejected;
        line.Add(QStringLiteral("Grund"), why);
        m_records.Journalize({line});
        const QString number = e.number.isEmpty() ? QStringLiteral("ohne Nummer") : QStringLiteral("Nr. ") + e.number;
        emit Notice(
            QStringLiteral("Start %1 der Startstation um %2 nicht übernommen: %3").arg(number, ClockText(clock), why));
    }
    m_link->Applied(e.station, e.seq);
}

void StationControl::Refuse(const QString& why, const QString& topic, const QByteArray& payload) {
    JournalEntry line;
    line.event = JournalEvent::StationRefused;
    line.source = JournalSource::Station;
    line.Add(QStringLiteral("Grund"), why);
    line.Add(QStringLiteral("Thema"), topic);
    line.Add(QStringLiteral("Inhalt"), QString::fromUtf8(payload.left(200)));
    m_records.Journalize({line});
    emit Notice(QStringLiteral("Nachricht nicht übernommen: ") + why);
}

void StationControl::JournalOffset() {
    if (!m_link)
        return;
    const auto best = m_link->Offset();
    if (!best)
        return;
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    const bool changed = !m_offsetJournalled || (qAbs(best->offsetMs - m_journalledOffset) >= kOffsetStepMs &&
                                                 now - m_offsetJournalledAt >= kOffsetGapMs);
    if (changed || now - m_offsetJournalledAt >= kOffsetJournalMs) {
        JournalEntry line;
        line.event = JournalEvent::ClockCompared;
        line.source = JournalSource::Station;
        line.Add(QStringLiteral("Gegenstelle"), m_link->Peer());
        line.Add(QStringLiteral("Abweichung ms"), QString::number(best->offsetMs));
        line.Add(QStringLiteral("Fehler ms"), QString::number(best->errorMs));
        m_records.Journalize({line});
        m_journalledOffset = best->offsetMs;
        m_offsetJournalledAt = now;
        m_offsetJournalled = true;
    }
    ShowStatus();
}

void StationControl::ShowStatus() {
    QString text;
    bool alarm = false;
    if (m_link) {
        const int peerRole = m_settings.Station == StationRole::Start ? StationRole::Finish : StationRole::Start;
        QStringList parts;
        if (const auto best = m_link->Offset(); best && m_link->PeerOnline()) {
            parts << QStringLiteral("Uhr %1 ms \u00B1 %2 ms").arg(SignedMs(best->offsetMs)).arg(best->errorMs);
            alarm = qAbs(best->offsetMs) > ClockOffset::kAlarmMs;
        }
        if (!m_error.isEmpty()) {
            parts << m_error;
            alarm = true;
        } else if (!m_link->Connected()) {
            parts << QStringLiteral("Broker nicht erreichbar");
            alarm = true;
        } else if (!m_link->PeerOnline()) {
            parts << QStringLiteral("nicht verbunden");
            alarm = true;
        } else {
            parts << QStringLiteral("verbunden");
        }
        if (m_settings.Station == StationRole::Start) {
            parts << QStringLiteral("unbestätigt %1").arg(m_link->Ledger().Backlog());
        } else {
            const StationLedger& l = m_link->Ledger();
            parts << QStringLiteral("übernommen %1").arg(l.Applied(m_link->Peer()));
            if (m_link->LastEventUtc() > 0)
                parts << QStringLiteral("letztes Ereignis %1")
                             .arg(QDateTime::fromMSecsSinceEpoch(m_link->LastEventUtc()).toString("HH:mm:ss"));
            if (l.Waiting(m_link->Peer()) > 0)
                parts << QStringLiteral("wartend %1").arg(l.Waiting(m_link->Peer()));
        }
        text = StationTitle(peerRole) + QStringLiteral(": ") + parts.join(QStringLiteral(" \u00B7 "));
    }
    if (text == m_status && alarm == m_alarm && m_statusShown)
        return;
    m_status = text;
    m_alarm = alarm;
    m_statusShown = true;
    emit StatusChanged(text, alarm);
}

void StationControl::PublishResults(const QByteArray& json) {
    if (m_link)
        m_link->PublishResults(json);
}
