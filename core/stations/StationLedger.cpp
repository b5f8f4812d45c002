#include "core/stations/StationLedger.h"

#include <QFile>

namespace {
bool SeqOf(const JournalEntry& line, quint64& seq) {
    bool ok = false;
    seq = line.Value(StationKey::Seq).toULongLong(&ok);
    return ok && seq > 0;
}
} // namespace

std::optional<StationEvent> StationLedger::EventOf(const JournalEntry& line, const QString& key) {
    bool found = false;
    const QString station = line.Value(key, &found);
    quint64 seq = 0;
    if (!found || station.isEmpty() || !SeqOf(line, seq))
        return std::nullopt;
    StationEvent e;
    e.station = station;
    e.seq = seq;
    e.event = line.event;
    e.tick = line.tick;
    e.number = line.number;
    e.source = line.source;
    e.utcMs = line.Value(StationKey::Utc).toLongLong();
    e.clockMs = line.clock.isValid() ? line.clock.msecsSinceStartOfDay() : 0;
    return e;
}

void StationLedger::Restore(const QList<JournalEntry>& lines) {
    m_own.clear();
    m_applied.clear();
    m_pending.clear();
    m_lastSeq = 0;
    for (const JournalEntry& line : lines) {
        if (const auto own = EventOf(line, StationKey::Station); own && own->station == m_self) {
            m_own.insert(own->seq, *own);
            m_lastSeq = qMax(m_lastSeq, own->seq);
        } else if (const auto remote = EventOf(line, StationKey::Origin)) {
            // Applied in order only, so the highest one journalled has no gap below it.
            quint64& applied = m_applied[remote->station];
            applied = qMax(applied, remote->seq);
        }
    }
    m_lastSeq = qMax(m_lastSeq, m_peerAck);
}

StationEvent StationLedger::Stamp(JournalEntry& entry, const QString& race, qint64 utcMs) {
    const quint64 seq = ++m_lastSeq;
    entry.Add(StationKey::Station, m_self);
    entry.Add(StationKey::Seq, QString::number(seq));
    entry.Add(StationKey::Utc, QString::number(utcMs));
    StationEvent e;
    e.race = race;
    e.station = m_self;
    e.seq = seq;
    e.event = entry.event;
    e.tick = entry.tick;
    e.clockMs = entry.clock.isValid() ? entry.clock.msecsSinceStartOfDay() : 0;
    e.utcMs = utcMs;
    e.number = entry.number;
    e.source = entry.source;
    m_own.insert(seq, e);
    return e;
}

QList<StationEvent> StationLedger::After(quint64 seq) const {
    QList<StationEvent> out;
    for (auto it = m_own.upperBound(seq); it != m_own.end(); ++it)
        out.append(*it);
    return out;
}

void StationLedger::Acknowledged(quint64 seq) {
    m_peerAck = seq;
    m_lastSeq = qMax(m_lastSeq, seq);
}

bool StationLedger::Receive(const StationEvent& event) {
    if (event.seq <= m_applied.value(event.station))
        return false;
    auto& pending = m_pending[event.station];
    if (pending.contains(event.seq))
        return false;
    pending.insert(event.seq, event);
    return true;
}

const StationEvent* StationLedger::NextDue(const QString& origin) const {
    const auto p = m_pending.constFind(origin);
    if (p == m_pending.constEnd())
        return nullptr;
    const auto it = p->constFind(m_applied.value(origin) + 1);
    return it == p->constEnd() ? nullptr : &*it;
}

void StationLedger::MarkApplied(const QString& origin, quint64 seq) {
    m_applied[origin] = qMax(m_applied.value(origin), seq);
    auto& pending = m_pending[origin];
    while (!pending.isEmpty() && pending.firstKey() <= seq)
        pending.erase(pending.begin());
}

int StationLedger::Waiting(const QString& origin) const {
    return static_cast<int>(m_pending.value(origin).size());
}

QList<JournalEntry> ReadJournalLines(const QString& path) {
    QList<JournalEntry> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        // A line without its end was cut by a power cut: it never counted.
        if (!line.endsWith('\n'))
            break;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        JournalEntry entry;
        if (ParseJournalLine(line, entry))
            lines.append(entry);
    }
    return lines;
}
