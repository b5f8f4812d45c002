#pragma once

#include "core/race/Ranking.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <initializer_list>

class SortGridData;
struct JournalEntry;

// Keys of the detail pairs the replay reads.
namespace JournalKey {
inline const QString Row = QStringLiteral("Zeile");
inline const QString Target = QStringLiteral("Ziel");
inline const QString FinishRow = QStringLiteral("Zielzeile");
inline const QString Number = QStringLiteral("Nr");
inline const QString Column = QStringLiteral("Spalte");
inline const QString Old = QStringLiteral("alt");
inline const QString New = QStringLiteral("neu");
inline const QString Ranked = QStringLiteral("sortiert");
inline const QString Marked = QStringLiteral("markiert");
inline const QString Appended = QStringLiteral("angehängt");
} // namespace JournalKey

// How a handler ranked after its change, as the journal writes it
// ("Einzelstart, Klassen, 2"), and back.
QString RankingText(const RankingOptions& options);
RankingOptions ReadRankingText(const QString& text);

// The detail keys of the protocol cells an event wrote ("Stopp", "Zeit", ...), and
// `entry`'s pairs for the given columns of `row`.
QString CellKey(int col);
void AddCells(JournalEntry& entry, const SortGridData& grid, int row, std::initializer_list<int> cols);

struct JournalReplayResult {
    int events = 0;           // events that were replayed
    int skipped = 0;          // damaged lines left out
    bool lastLineCut = false; // the last line has no line end (a write cut short)
    bool content = false;     // the rebuilt tables hold anything
};

// Rebuilds the protocol (from the last start list or "protocol cleared" on) and the
// finish table (from the last "protocol cleared" on) out of the journal's bytes.
// Both grids must have their columns and header captions; their rows are replaced.
// Damaged lines and a cut last line are skipped, never trusted.
JournalReplayResult ReplayJournal(const QByteArray& journal, SortGridData& protocol, SortGridData& finish);

// The status-bar notice for skipped lines, empty when none were skipped.
QString ReplayNotice(const JournalReplayResult& result);

// The events of the current race (from the last start list or "protocol cleared" on,
// without the start list's rows), oldest first; damaged lines are left out.
QList<JournalEntry> CurrentRaceEntries(const QByteArray& journal);
