#pragma once

// The rules of the operator's corrections to the protocol: reading a typed
// running time, the finish clock a corrected time implies, clearing results,
// moving a result onto the row of another start number, and the clipboard text.

#include "core/base/TimeText.h"

#include <QString>

class SortGridData;

namespace ProtocolEdits {

constexpr TimeValue kDay = 24 * 3600 * 1000;

// A running time typed by the operator: "[[H]H:]MM:SS,f[f]" or fewer fields, the
// first field one or two digits, the others two digits below 60; a comma with one
// or two fraction digits (required unless `fractionDigits` is 0). Surrounding blanks
// are ignored. Only texts that TextToTime reads as written are accepted, so
// letters, signs, stray blanks and over-long texts are refused.
bool ReadTypedTime(const QString& text, int fractionDigits, TimeValue& value);

// What to show the operator when a typed running time was refused.
QString TypedTimeError(const QString& text, int fractionDigits);
// The status text when the program wrote a cell while the operator was editing it.
QString DroppedEditText();

// The finish clock of a start at `startClock` (ms since midnight) after `runningTime`:
// past midnight it is the next day's clock. Written as ClockText writes every clock of
// day (" 9:10:05,23", " 0:01:00,00").
QString FinishClockText(TimeValue startClock, TimeValue runningTime);

// Running time from a start and a finish clock text; a finish clock smaller than the
// start clock is on the next day. False when either is not a recorded time or the
// two are equal.
bool RunningTimeFromClocks(const QString& finishClock, const QString& startClock, int fractionDigits,
                           TimeValue& runningTime);

// "Platz" and the result columns ("Kl.-Pl." to the raw column) of `row` become empty;
// the athlete's data stay.
void ClearResults(SortGridData& grid, int row);
void ClearAllResults(SortGridData& grid);

// Enter after "Zeit" was corrected: the typed time must read as a time (else false and
// the German reason in `error`, nothing written). "Stopp" becomes the finish clock the
// corrected time implies when the row has a "Start"; "Split" is emptied; the raw column
// follows the corrected time unless it already holds that time to the shown resolution.
bool CorrectRunningTime(SortGridData& grid, int row, int fractionDigits, QString& error);

// Moving the result of row `from` (whose number was retyped) onto row `to`, which
// carries that number. Prepare checks that there is a result and computes its running
// time (individual start: the raw column, else the "Stopp"/"Start" clocks, less the
// start offset of `to`); false with the German reason otherwise, nothing written.
struct ResultMove {
    int from = -1;
    int to = -1;
    bool massStart = false;
    TimeValue runningTime = 0; // individual start
};
bool PrepareResultMove(const SortGridData& grid, ResultMove& move, int fractionDigits, QString& error);
// Writes the result into row `to`; the caller then deletes row `from`.
void ApplyResultMove(SortGridData& grid, const ResultMove& move, int fractionDigits);

// True when row `to` already has a result that the move would overwrite.
bool HasResult(const SortGridData& grid, int row);

// The first data row other than `except` whose "St.Nr." is exactly `number`; -1 for none.
int FindOtherRow(const SortGridData& grid, const QString& number, int except);

// The whole grid, header included, for the clipboard: cells separated by TAB, every
// row ended by CR LF, a cell holding ";" put between double quotes.
QString ClipboardText(const SortGridData& grid);

} // namespace ProtocolEdits
