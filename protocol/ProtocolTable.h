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

class QAbstractButton;
class QAction;
class NumberBox;
class TBitBtnWithColor;
class RunDisplay;

struct ProtocolControls {
    TSortGrid* SortGrid1 = nullptr;
    NumberBox* cbStartN = nullptr;
    NumberBox* cbStopN = nullptr;
    TBitBtnWithColor* bSTART = nullptr;
    TBitBtnWithColor* bSTOP = nullptr;
    TBitBtnWithColor* bTimer = nullptr;
    QAction* mStart = nullptr;
    QAction* mStop = nullptr;
};

struct ProtocolHooks {
    std::function<void()> armFinishContact;   // arms the finish contact when it is locked
    std::function<void()> disarmStartContact; // locks the start contact when it is armed
    std::function<void(int panel, const QString& text)> status;
    std::function<void()> layoutOthers; // finish grid and status bar follow the protocol's layout
    // A double click's START or FINISH: triggers the action naming the double click as its source.
    std::function<void(QAction*)> triggerByDoubleClick;
};

// The protocol grid SortGrid1: one row per start number, its columns, colours
// and widths, the rows that START and FINISH fill, what selecting a row does,
// and the ranking.
class ProtocolTable : public QObject {
    Q_OBJECT
public:
    ProtocolTable(const ProtocolControls& controls, ProtocolHooks hooks, const TSettings& settings, RunState& state,
                  RunDisplay& display, QObject* parent = nullptr);

    TSortGrid* Grid() const { return c.SortGrid1; }
    QString Cell(int col, int row) const;
    int FindStartNumber(const QString& text) const;

    // START in individual start: chooses the row for the number text, fills it, and
    // moves the number boxes on. Returns the row that received the start.
    int RecordStartInRow(const QString& numberText, Tick tick, const QTime& clock, TimeValue offset);
    // START in mass start: every start number becomes a choice of the finish-number box.
    void FillStopListForMassStart();
    void RecordFinishInRow(int row, TimeValue runningTime, const QString& finishClock, const QString& split);
    void SelectNextRowAfterFinish();

    // Selects a row as the operator's moving to it does (the cell-selection check runs).
    void SelectRow(int row);
    void SelectWholeRow(int row);
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

private:
    ProtocolControls c;
    ProtocolHooks m_hooks;
    const TSettings& m_settings;
    RunState& m_state;
    RunDisplay& m_display;
    bool m_selecting = false;
};
