#pragma once

#include "platform/Clock.h"
#include "protocol/Ranking.h"
#include "reports/TSettings.h"
#include "timing/RunState.h"
#include "timing/TimeText.h"
#include "widgets/TSortGrid.h"

#include <QObject>
#include <QTime>
#include <functional>

// The protocol grid SortGrid1: one row per start number, its columns, colours
// and widths, the rows that START and FINISH fill, what selecting a row does,
// and the ranking. It owns only its grid: the number boxes and command buttons belong
// to run control, which follows the signals below.
class ProtocolTable : public QObject {
    Q_OBJECT
public:
    ProtocolTable(TSortGrid* SortGrid1, const TSettings& settings, QObject* parent = nullptr);

    TSortGrid* Grid() const { return m_grid; }
    QString Cell(int col, int row) const;
    int FindStartNumber(const QString& text) const;

    // START in individual start: chooses the row for the number text and fills it.
    // Returns the row that received the start.
    int RecordStartInRow(const QString& numberText, Tick tick, const QTime& clock, TimeValue offset);
    void RecordFinishInRow(int row, TimeValue runningTime, const QString& finishClock, const QString& split);
    void SelectNextRowAfterFinish();

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
    // Header captions and the grid's looks; called once at window creation.
    void SetupGrid();

    // Grid events.
    void SortGrid1GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format);
    void SortGrid1SelectCell(int col, int row, bool& canSelect);
    void SortGrid1DblClick();

signals:
    void ResultCommandsChanged();
    // A row was chosen by the operator (or by a ranking, a restore): the run follows it.
    void RowChosen(int row);
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
};
