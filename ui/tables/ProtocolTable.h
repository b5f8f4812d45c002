#pragma once

#include "core/base/TimeText.h"
#include "core/platform/Clock.h"
#include "core/race/Ranking.h"
#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "ui/tables/ProtocolInput.h"
#include "ui/widgets/TSortGrid.h"

#include <QObject>
#include <QTime>
#include <functional>
#include <optional>

class QMenu;
class QKeyEvent;

namespace ProtocolEdits {
struct ResultMove;
}

// The protocol grid SortGrid1: one row per start number, its columns, colours
// and widths, the rows that START and FINISH fill, what selecting a row does,
// and the ranking. It owns only its grid, and is the grid's one writer: the others
// read it through Grid() and ask for every change through the methods below. The
// number boxes and command buttons belong to run control, which follows the signals.
class ProtocolTable : public QObject {
    Q_OBJECT
public:
    ProtocolTable(TSortGrid* SortGrid1, const TSettings& settings, QObject* parent = nullptr);

    const TSortGrid* Grid() const { return m_grid; }
    const SortGridData& Data() const { return m_grid->Data(); }
    QString Cell(int col, int row) const;
    int FindStartNumber(const QString& text) const;
    // How many rows carry exactly this "St.Nr." (a start list may hold a number twice).
    int CountStartNumber(const QString& text) const;
    // The highest placeholder number among the rows ("-5" gives 5), 0 when none.
    int HighestPlaceholder() const;

    // START in individual start: chooses the row for the number text and fills it.
    // Returns the row that received the start. A start without number gets a placeholder
    // number above `highestPlaceholder`, which follows it.
    int RecordStartInRow(const QString& numberText, Tick tick, const QTime& clock, TimeValue offset,
                         int& highestPlaceholder);
    void RecordFinishInRow(int row, TimeValue runningTime, const QString& finishClock, const QString& split);
    // After a START or FINISH the row below becomes current. That is the program's move,
    // not the operator's choice: it puts no number into the finish box.
    void SelectNextRow();

    // Selects a row as the operator's moving to it does (the cell-selection check runs).
    void SelectRow(int row);
    void SelectWholeRow(int row);
    // The operator chose `row` (RowChosen); in mass start it is selected as a whole.
    void SelectProtocolRow(int row);

    void RankProtocol();
    // How RankProtocol ranks with the settings in force.
    RankingOptions RankOptions() const;
    void ScrollAfterRanking();
    void ApplyColumnLayout();
    // After a settings change: the column layout follows Columns.
    void ApplySettings(const TSettings& before);
    // The protocol's content changed in a way the result commands follow.
    void UpdateResultCommands();
    // The "St.Nr." texts of all data rows, for the start-number box.
    QStringList StartNumbers() const;
    // The protocol holds a row with something in it: there is something to save or print.
    bool HasResults() const;
    // The width of each column, negative for a hidden one.
    QList<int> ColumnWidths() const;
    // Header captions and the grid's looks; called once at window creation.
    void SetupGrid();

    // --- Changes the other controllers ask for.
    // A queued finish given to `row`: the texts that are set replace the row's, the
    // split is cleared.
    void AssignFinish(int row, const std::optional<QString>& stopp, const QString& zeit,
                      const std::optional<QString>& raw);
    // A loaded start list (text or spreadsheet) or a restored backup replaces the rows.
    // False with `error` set when the file cannot be read.
    bool LoadText(const QString& fileName, QString* error = nullptr);
    bool LoadSpreadsheet(const QString& fileName, QString* error);
    // Only the caption row stays.
    void ClearTable();
    // Appends a row whose cells are empty and returns it; it does not become current.
    int AppendEmptyRow();
    // Inserts an empty row at `row` and makes it current.
    void InsertEmptyRow(int row);
    void DeleteRow(int row);
    // Puts a cell's text back, as the program does after a refused change.
    void SetCellText(int col, int row, const QString& text);
    void ClearAllResults();
    void ClearResults(int row);
    // A retyped "Zeit": Stopp and the raw time follow. False with `error` set when they cannot.
    bool CorrectRunningTime(int row, QString& error);
    // A retyped "St.Nr." that names another row: the result moves there (prepared by the caller).
    void ApplyResultMove(const ProtocolEdits::ResultMove& move);
    // The classes a "Klasse" cell offers while cells are edited; none: the cell is typed.
    void SetClassChoices(const QStringList& classes);
    // Cells editable in place (true) or whole-row selection (false).
    void SetEditing(bool editing);
    // Makes a cell current without the selection check (a right click).
    void GoToCell(int col, int row);
    // A key for the open in-place editor; false when no editor is open.
    bool PassKeyToEditor(QKeyEvent* event);
    void Repaint(bool now = false);
    // `eventFilter` sees the grid's events (the keyboard's context menu).
    void AttachInput(ProtocolInput& input, QMenu* popupMenu, QObject* eventFilter);
    void DetachInput(QObject* eventFilter);

    // Grid events.
    void SortGrid1GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format);
    void SortGrid1SelectCell(int col, int row, bool& canSelect);
    void SortGrid1DblClick();

signals:
    void ResultCommandsChanged();
    // A row was chosen by the operator (`byOperator`), or kept chosen by a ranking: the run follows it.
    void RowChosen(int row, bool byOperator);
    // The ranking moved rows: no number is left in the finish-number box.
    void FinishNumberVoided();
    // A double click asks for START or FINISH of its row, `source` naming the double click.
    void StartCommanded(const QString& source);
    void FinishCommanded(const QString& source);
    // Text for status field `panel` (the current row and the row count).
    void StatusText(int panel, const QString& text);
    // The columns were laid out: the finish grid and the status bar follow.
    void ColumnsLaidOut();

private:
    TSortGrid* m_grid;
    const TSettings& m_settings;
    bool m_selecting = false;
    // The ranking or the program moves the selection: no choice of the operator's.
    bool m_byProgram = false;
    QStringList m_classChoices;
    QString m_comboOld;          // the cell's text when its list opened
    RankingTexts m_rankingTexts; // what the last ranking computed, for the next one
};
