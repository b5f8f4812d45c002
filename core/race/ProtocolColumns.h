#pragma once

#include "core/grid/SortGridData.h"

#include <QString>
#include <QStringList>
#include <array>

// Column indices of the protocol grid. Column identity is positional.
namespace Col {
constexpr int Platz = 0;
constexpr int StNr = 1;
constexpr int Vorname = 2;
constexpr int Nachname = 3;
constexpr int JG = 4;
constexpr int Verein = 5;
constexpr int Klasse = 6;
constexpr int KlPl = 7;
constexpr int Start = 8;
constexpr int Stopp = 9;
constexpr int Zeit = 10;
constexpr int Split = 11;
constexpr int Raw = 12; // hidden: start tick while running, running time in ms after the finish
constexpr int Count = 13;
} // namespace Col

// Columns of the finish grid.
namespace FinishCol {
constexpr int Number = 0;  // "1.", "2.", ...
constexpr int Kontakt = 1; // finish time
constexpr int Nr = 2;      // start number typed by the operator
constexpr int Count = 4;
} // namespace FinishCol

// The default captions of the protocol's thirteen columns (the last is empty).
const QStringList& ProtocolCaptions();
const QStringList& FinishCaptions();

// Widths of the protocol's thirteen columns for the column mask, the grid width
// W and the width S of a scroll bar arrow; -1 or any negative width hides a column.
std::array<int, Col::Count> ProtocolColumnWidths(int mask, int gridWidth, int scrollArrow);
// Widths of the finish grid's four columns.
std::array<int, FinishCol::Count> FinishColumnWidths(int gridWidth, int scrollArrow);

// Ordering of time texts: shorter first, equal length byte-wise; blank or empty as length 20.
int CompareTimeTexts(const QString& a, const QString& b);
// An integer key ordering like CompareTimeTexts, for the texts that fit one (every time text).
bool TimeTextSortKey(const QString& text, quint64& key);

// Sort style of a protocol column; installs CompareTimeTexts for the time columns.
void ProtocolSortStyle(SortGridData& grid, int col, TSortStyle& style);

// Running time from a start and a finish clock-of-day text read with `fractionDigits`.
// A finish clock below the start clock is on the next day when that gives less than
// 12 hours. False when the finish is not after the start or no start was recorded.
bool ClockTextDifference(const QString& finishClock, const QString& startClock, int fractionDigits,
                         qint32& runningTime);

// Mass start: a queued finish for which no start is known keeps its clock of day,
// marked as such (" 9:05:03,07 Uhr") so that it is never taken for a running time.
QString MassStartClockEntry(const QString& finishClock);
// The clock text of such an entry; false for a running time.
bool IsMassStartClockEntry(const QString& kontakt, QString* finishClock = nullptr);

// A text that converts to an integer as the number boxes and cells read them (trimmed, optional sign).
bool ToInt(const QString& text, int& value);
