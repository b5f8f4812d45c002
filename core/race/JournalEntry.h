#pragma once

// One line of the impulse journal: what happened, when, from where, to whom.
// The line is tab-separated: date, clock of day, tick, event, source, start
// number, time text, detail; a start-list row carries its cells after the detail.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>

// Event names as they stand in the journal.
namespace JournalEvent {
inline const QString ProgramStart = QStringLiteral("PROGRAMMSTART");
inline const QString ProgramEnd = QStringLiteral("PROGRAMMENDE");
inline const QString Start = QStringLiteral("START");
inline const QString Finish = QStringLiteral("FINISH");
inline const QString Queued = QStringLiteral("QUEUED");
inline const QString Assign = QStringLiteral("ASSIGN");
inline const QString End = QStringLiteral("ENDE");
inline const QString StartList = QStringLiteral("STARTLISTE");
inline const QString StartListRow = QStringLiteral("ZEILE");
inline const QString Cleared = QStringLiteral("PROTOKOLL GELÖSCHT");
inline const QString CellTyped = QStringLiteral("ZELLE");
inline const QString TimeCorrected = QStringLiteral("ZEIT KORRIGIERT");
inline const QString ResultMoved = QStringLiteral("ERGEBNIS VERSCHOBEN");
inline const QString TimeCleared = QStringLiteral("ZEIT GELÖSCHT");
inline const QString AllTimesCleared = QStringLiteral("ALLE ZEITEN GELÖSCHT");
inline const QString RowDeleted = QStringLiteral("ZEILE GELÖSCHT");
inline const QString RowInserted = QStringLiteral("NEUE ZEILE");
inline const QString FinishRowDeleted = QStringLiteral("ZIELZEILE GELÖSCHT");
inline const QString FinishTimesCleared = QStringLiteral("ZIELZEITEN GELÖSCHT");
inline const QString Ranked = QStringLiteral("PLÄTZE");
// Timing stations: an event of another station that was not applied as a START, one
// refused outright (does not parse, unknown station), and a clock comparison.
inline const QString RemoteEvent = QStringLiteral("STATIONSEREIGNIS");
inline const QString RemoteStartRejected = QStringLiteral("START ABGELEHNT");
inline const QString StationRefused = QStringLiteral("STATION ABGEWIESEN");
inline const QString ClockCompared = QStringLiteral("UHRVERGLEICH");
} // namespace JournalEvent

// Where an impulse or command came from.
namespace JournalSource {
inline const QString Key = QStringLiteral("Taste");
inline const QString Button = QStringLiteral("Schaltfläche");
inline const QString Contact = QStringLiteral("Kontakt");
inline const QString Countdown = QStringLiteral("Countdown");
inline const QString DoubleClick = QStringLiteral("Doppelklick");
inline const QString Menu = QStringLiteral("Menü");
inline const QString Program = QStringLiteral("Programm");
inline const QString Station = QStringLiteral("Station"); // "Station start": through the broker
} // namespace JournalSource

struct JournalEntry {
    QDate date;  // empty: the writer takes today's
    QTime clock; // empty: the writer reads the clock; impulses carry their captured one
    quint32 tick = 0;
    bool hasTick = false; // false: the writer reads the tick
    QString event;
    QString source;
    QString number; // "St.Nr."
    QString time;   // the time text of the event as the tables show it
    // "key=value" pairs in order, written as "key=value; key=value".
    QList<QPair<QString, QString>> detail;
    QStringList cells; // a start-list row: its cells

    JournalEntry& Add(const QString& key, const QString& value) {
        detail.append({key, value});
        return *this;
    }
    // The value of `key`; `found` tells whether it is there at all.
    QString Value(const QString& key, bool* found = nullptr) const;
    bool Has(const QString& key) const;
};

// Where the controllers hand their events: one call per event, the lines of one
// event (a start list and its rows) together.
using JournalSink = std::function<void(const QList<JournalEntry>&)>;

// The first line of a new journal.
QByteArray JournalHeaderLine();

// The line of `entry`, Windows-1252 with CR LF. Date, clock and tick must be set.
QByteArray FormatJournalLine(const JournalEntry& entry);

// Reads one line without its CR LF; false when it is not a journal line (the header,
// a damaged or cut line).
bool ParseJournalLine(const QByteArray& line, JournalEntry& entry);
