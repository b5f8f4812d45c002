#pragma once

#include "core/race/JournalEntry.h"
#include "core/settings/TSettings.h"
#include "ui/tables/ProtocolInput.h"

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QKeyEvent;
class QMenu;
class QPoint;
class QWidget;
class Prompts;
class ProtocolTable;
class TFDlgYesNo;
class TSortGrid;

// The operator's corrections to the protocol grid SortGrid1: its context menu
// PopupMenuProtokol, the hidden shortcuts of the main menu, the keys Esc and
// Enter in the grid (time correction, moving a result to another start number)
// and the check of typed cells. The rules themselves are in ProtocolEdits.
class ProtocolEditing : public QObject, public ProtocolInput {
    Q_OBJECT
public:
    // The hidden items are added to `window`, so that their shortcuts act everywhere in it.
    // The grid edited is the protocol table's own.
    ProtocolEditing(QWidget* window, ProtocolTable& protocol, const TSettings& settings, TFDlgYesNo& question,
                    Prompts& prompts, QObject* parent = nullptr);
    // The grid outlives us: its events must not reach a dead controller (a check of a
    // typed text runs when the closing window takes the focus away).
    ~ProtocolEditing() override;

    QMenu* PopupMenuProtokol = nullptr;
    QAction* Editzeit1 = nullptr;
    QAction* Allezeitloschwn1 = nullptr;
    QAction* Zeitloschen1 = nullptr;
    QAction* Erase1 = nullptr;
    QAction* Neuezeile1 = nullptr;
    // Hidden items of the main menu: only their shortcuts act.
    QAction* DelStrt1 = nullptr;
    QAction* Erase2 = nullptr;
    QAction* mNeuezeile1 = nullptr;
    QAction* mCopyAll = nullptr;

    void PopupMenuProtokolPopup();
    void Editzeit1Click();
    void Allezeitloschwn1Click();
    void Zeitloschen1Click();
    void Erase1Click();
    void Neuezeile1Click();
    void mCopyAllClick();
    void SortGrid1KeyDown(QKeyEvent* event, bool& handled) override;
    // Opens the context menu at a global position (keyboard: below the current cell).
    void OpenPopupMenu(const QPoint& globalPos);

signals:
    // The protocol changed: both backup files are due.
    void ProtocolChanged();
    // A passing message for the operator (a text that could not be taken, what was done).
    void Notice(const QString& text);
    // Every change, with the texts before and after, for the journal.
    void Journal(const QList<JournalEntry>& entries);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SortGrid1CellValidate(int col, int row, const QString& oldValue, QString& newValue, bool& valid) override;
    void SortGrid1MouseDown(Qt::MouseButton button, int x, int y) override;
    void SortGrid1EditDropped() override;
    // Lets the grid close its open editor as Enter (or Esc) does, with the cell check.
    bool PassToEditor(QKeyEvent* event);
    void CommitPendingEdit();
    // Editing off, whole-row selection on, the row selected as a whole.
    void EndEditing(int row);
    void MakeRowCurrent(int row);
    void ZeitEnter(int row);
    void StNrEnter(int row);
    void ShowStatus(const QString& text);
    void Changed();
    // The journal entry of a change to `row`, named by its start number.
    JournalEntry Entry(const QString& event, int row) const;
    void Journalize(JournalEntry entry, bool ranks);
    // The row's texts before a command took them, for the journal.
    QString RowText(int row) const;
    // Puts a cell back (the change was refused) and notes it.
    void Revert(int col, int row, const QString& was);

    const TSortGrid* m_grid = nullptr; // read only: the protocol table writes it
    QWidget* m_window = nullptr;
    ProtocolTable& m_protocol;
    const TSettings& m_settings;
    TFDlgYesNo& m_question;
    Prompts& m_prompts;

    bool m_passing = false;  // a key handed back to the grid's editor
    bool m_rejected = false; // the last cell check refused the typed text
    int m_committedCol = -1; // the cell of the last accepted edit and its text before it
    int m_committedRow = -1;
    QString m_committedOld;
};
