#pragma once

#include "core/race/JournalEntry.h"
#include "core/stations/StationEvent.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

// Journal keys of the station lines.
namespace StationKey {
inline const QString Station = QStringLiteral("Station"); // an own event: the station's name
inline const QString Origin = QStringLiteral("Herkunft"); // a remote event: where it happened
inline const QString Seq = QStringLiteral("Seq");
inline const QString Utc = QStringLiteral("UTC");
inline const QString Clock = QStringLiteral("Uhr"); // the remote clock of day
} // namespace StationKey

// What a station knows about replication, rebuilt from its journal after any restart:
// its own published events by sequence number (to republish what the peer lacks) and,
// per origin, the highest sequence applied without a gap plus the events that arrived
// ahead of it. The journal is the only memory: nothing here depends on the broker.
class StationLedger {
public:
    explicit StationLedger(QString self = QString()) : m_self(std::move(self)) {}

    const QString& Self() const { return m_self; }

    // Rebuilds everything from the journal's lines (own events and applied remote ones).
    void Restore(const QList<JournalEntry>& lines);

    // Gives an own journal line its place in the sequence (Station, Seq and UTC into its
    // detail) and keeps it for republishing; returns the event to publish.
    StationEvent Stamp(JournalEntry& entry, const QString& race, qint64 utcMs);
    quint64 LastSeq() const { return m_lastSeq; }
    // The own events after `seq`, in order.
    QList<StationEvent> After(quint64 seq) const;
    // The peer acknowledged `seq`. Numbering never goes back below what a peer has
    // applied: an event numbered there would be taken for one it already has.
    void Acknowledged(quint64 seq);
    quint64 PeerAck() const { return m_peerAck; }
    quint64 Backlog() const { return m_lastSeq > m_peerAck ? m_lastSeq - m_peerAck : 0; }

    // A remote event arrived: false when it was applied before or is already waiting.
    bool Receive(const StationEvent& event);
    // The next event of `origin` to apply, when it has arrived.
    const StationEvent* NextDue(const QString& origin) const;
    // The event NextDue gave is applied (and journalled).
    void MarkApplied(const QString& origin, quint64 seq);
    quint64 Applied(const QString& origin) const { return m_applied.value(origin); }
    int Waiting(const QString& origin) const;

    // The remote event of a journal line, or the own one; nullopt for other lines.
    static std::optional<StationEvent> EventOf(const JournalEntry& line, const QString& key);

private:
    QString m_self;
    quint64 m_lastSeq = 0;
    quint64 m_peerAck = 0;
    QMap<quint64, StationEvent> m_own;
    QHash<QString, quint64> m_applied;
    QHash<QString, QMap<quint64, StationEvent>> m_pending;
};

// The lines of the journal file `path` (damaged and cut lines skipped); empty when absent.
QList<JournalEntry> ReadJournalLines(const QString& path);
