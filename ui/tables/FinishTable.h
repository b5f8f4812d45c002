#pragma once

#include "core/race/JournalEntry.h"
#include "core/settings/TSettings.h"
#include "ui/widgets/TSortGrid.h"

#include <QObject>
#include <functional>

class QAction;
class QMenu;
class Prompts;
class ProtocolTable;
class TFDlgYesNo;
struct RunState;

// The finish table SortGrid2 (its one writer): finishes whose start number is not known yet,
// queued with a running number and their time, and assigned later by typing
// the number into "Nr" and pressing Enter.
class FinishTable : public QObject {
    Q_OBJECT
public:
    // `state` gives a mass start's clock text; what the table tells its neighbours are its signals.
    FinishTable(TSortGrid* SortGrid2, const RunState& state, const TSettings& settings, ProtocolTable& protocol,
                TFDlgYesNo& question, Prompts& prompts, QObject* parent = nullptr);

    // Read only: the finish table is its grid's one writer.
    const TSortGrid* Grid() const { return m_grid; }
    void SetupGrid();
    // A restored backup replaces the queued finishes; false when it cannot be read.
    bool LoadBackup(const QString& fileName);
    // Only the caption row stays.
    void Clear();
    void ApplyColumnLayout();

    // Queues a finish with the given running number and time text.
    void QueueFinish(const QString& timeText, int counter);
    // The highest running number of the queued finishes ("3." gives 3), 0 when none.
    int HighestNumber() const;
    // Enter in column "Nr": moves the queued finish of the current row into the protocol.
    void Assign();

    QMenu* PopupMenuSS2 = nullptr;
    QAction* Erase3 = nullptr;
    QAction* Allezeitenloschen1 = nullptr;

    void PopupMenuSS2Popup();
    void Erase3Click();
    void Allezeitenloschen1Click();

signals:
    // A queued finish was given to start number `number`: it leaves the finish-number box.
    void FinishNumberUsed(const QString& number);
    // Text for status field `panel` (the number of queued finishes).
    void StatusText(int panel, const QString& text);
    // A passing message for the operator (an edit given up because an assignment wrote it).
    void Notice(const QString& text);
    // An assignment changed both tables: both backups are due.
    void TablesChanged();
    // The table was emptied: the window lays out again.
    void LayoutWanted();
    // Assignments and deleted queued finishes, for the journal.
    void Journal(const QList<JournalEntry>& entries);

private:
    void SortGrid2KeyDown(QKeyEvent* event, bool& handled);
    void SortGrid2KeyPress(QChar& key);
    void SortGrid2SelectCell(int col, int row, bool& canSelect);
    void SortGrid2GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format);
    bool SingleEmptyRow() const;
    void ShowCount();
    // The journal entry of an event on queued finish `k`: its running number and time.
    JournalEntry Entry(const QString& event, int k, const QString& number) const;
    void Journalize(const JournalEntry& entry);

    TSortGrid* m_grid;
    const RunState& m_state;
    const TSettings& m_settings;
    ProtocolTable& m_protocol;
    TFDlgYesNo& m_question;
    Prompts& m_prompts;
    bool m_selecting = false;
};
