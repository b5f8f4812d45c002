#include "ui/tables/ProtocolEditing.h"

#include "core/base/Windows1252.h"

#include "core/platform/Prompts.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/ProtocolEdits.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/platform/ShortcutPriority.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <utility>

ProtocolEditing::ProtocolEditing(QWidget* window, ProtocolTable& protocol, const TSettings& settings,
                                 TFDlgYesNo& question, Prompts& prompts, QObject* parent)
    : QObject(parent), m_grid(protocol.Grid()), m_window(window), m_protocol(protocol), m_settings(settings),
      m_question(question), m_prompts(prompts) {
    PopupMenuProtokol = new QMenu(m_window);
    PopupMenuProtokol->setObjectName(QStringLiteral("PopupMenuProtokol"));
    auto item = [this](const char* name, const QString& caption, void (ProtocolEditing::*handler)()) {
        QAction* a = PopupMenuProtokol->addAction(caption, this, handler);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    Editzeit1 = item("Editzeit1", QStringLiteral("Edit zeit"), &ProtocolEditing::Editzeit1Click);
    Allezeitloschwn1 =
        item("Allezeitloschwn1", QStringLiteral("Alle Zeiten löschen"), &ProtocolEditing::Allezeitloschwn1Click);
    Zeitloschen1 =
        item("Zeitloschen1", QStringLiteral("Zeit löschen       (Strg+0)"), &ProtocolEditing::Zeitloschen1Click);
    Erase1 = item("Erase1", QStringLiteral("Zeile löschen     (Strg+\"-\")"), &ProtocolEditing::Erase1Click);
    Neuezeile1 =
        item("Neuezeile1", QStringLiteral("Neue Zeile         (Strg+\"+\")"), &ProtocolEditing::Neuezeile1Click);
    connect(PopupMenuProtokol, &QMenu::aboutToShow, this, &ProtocolEditing::PopupMenuProtokolPopup);

    auto hidden = [this](const char* name, const QList<QKeySequence>& keys, void (ProtocolEditing::*handler)()) {
        auto* a = new QAction(m_window);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        m_window->addAction(a);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    DelStrt1 = hidden("DelStrt1", {QKeySequence(Qt::CTRL | Qt::Key_0)}, &ProtocolEditing::Zeitloschen1Click);
    // Keypad and main keyboard alike.
    Erase2 = hidden("Erase2",
                    {QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus),
                     QKeySequence(Qt::ControlModifier | Qt::Key_Minus)},
                    &ProtocolEditing::Erase1Click);
    mNeuezeile1 = hidden("mNeuezeile1",
                         {QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus),
                          QKeySequence(Qt::ControlModifier | Qt::Key_Plus)},
                         &ProtocolEditing::Neuezeile1Click);
    mCopyAll = hidden("mCopyAll", {QKeySequence(Qt::CTRL | Qt::Key_A)}, &ProtocolEditing::mCopyAllClick);
    // A focused number box would take Ctrl+A as "select all" and the copy would never run.
    new ShortcutPriority(m_window, {mCopyAll}, this);

    m_protocol.AttachInput(*this, PopupMenuProtokol, this);
}

// A FINISH, a ranking or an assignment wrote the cell being edited: the recorded text
// stays, the grid goes back to row selection (a next key must not edit again).
void ProtocolEditing::SortGrid1EditDropped() {
    m_protocol.SetEditing(false);
    ShowStatus(ProtocolEdits::DroppedEditText());
}

ProtocolEditing::~ProtocolEditing() {
    m_protocol.DetachInput(this);
}

// --- the context menu

void ProtocolEditing::PopupMenuProtokolPopup() {
    m_protocol.UpdateResultCommands();
}

void ProtocolEditing::OpenPopupMenu(const QPoint& globalPos) {
    if (PopupMenuProtokol->isVisible())
        return;
    PopupMenuProtokol->popup(globalPos);
}

bool ProtocolEditing::eventFilter(QObject* watched, QEvent* event) {
    // The mouse's context menu comes from the grid's right-button handling; the
    // keyboard's (the menu key) opens it at the current cell.
    if (watched == m_grid && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        const QRect cell = m_grid->CellRect(m_grid->Col(), m_grid->Row());
        const QPoint at = cell.isEmpty() ? m_grid->viewport()->rect().center() : cell.bottomLeft();
        OpenPopupMenu(m_grid->viewport()->mapToGlobal(at));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ProtocolEditing::SortGrid1MouseDown(Qt::MouseButton button, int x, int y) {
    // The commands act on the row the operator right-clicked, not on a row selected earlier.
    if (button != Qt::RightButton || m_grid->EditorMode())
        return;
    const TGridCoord cell = m_grid->MouseCoord(x, y);
    if (cell.X >= 0 && cell.Y >= 1 && cell.Y != m_grid->Row())
        m_protocol.GoToCell(cell.X, cell.Y);
}

// --- editing state

bool ProtocolEditing::PassToEditor(QKeyEvent* event) {
    m_passing = true;
    const bool passed = m_protocol.PassKeyToEditor(event);
    m_passing = false;
    return passed;
}

void ProtocolEditing::CommitPendingEdit() {
    // A typed text is checked and taken before a command changes rows under it.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    PassToEditor(&enter);
}

void ProtocolEditing::EndEditing(int row) {
    m_protocol.SetEditing(false);
    m_protocol.SelectWholeRow(row);
}

void ProtocolEditing::MakeRowCurrent(int row) {
    m_protocol.SelectRow(row);
    EndEditing(row);
}

void ProtocolEditing::ShowStatus(const QString& text) {
    emit Notice(text);
}

void ProtocolEditing::Changed() {
    emit ProtocolChanged();
}

JournalEntry ProtocolEditing::Entry(const QString& event, int row) const {
    JournalEntry entry;
    entry.event = event;
    entry.source = JournalSource::Key;
    entry.number = m_grid->Cell(Col::StNr, row);
    entry.Add(JournalKey::Row, QString::number(row));
    return entry;
}

void ProtocolEditing::Journalize(JournalEntry entry, bool ranks) {
    if (ranks)
        entry.Add(JournalKey::Ranked, RankingText(m_protocol.RankOptions()));
    emit Journal({entry});
}

QString ProtocolEditing::RowText(int row) const {
    QStringList cells = m_grid->Rows(row);
    if (cells.size() > Col::Raw)
        cells.removeLast();
    return cells.join(QStringLiteral(" | "));
}

void ProtocolEditing::Revert(int col, int row, const QString& was) {
    JournalEntry entry = Entry(JournalEvent::CellTyped, row);
    entry.source = JournalSource::Program;
    entry.Add(JournalKey::Column, QString::number(col));
    entry.Add(QStringLiteral("Feld"), m_grid->Cell(col, 0));
    entry.Add(JournalKey::Old, m_grid->Cell(col, row));
    entry.Add(JournalKey::New, was);
    m_protocol.SetCellText(col, row, was);
    Journalize(entry, false);
}

void ProtocolEditing::SortGrid1CellValidate(int col, int row, const QString& oldValue, QString& newValue, bool& valid) {
    if (col == Col::Zeit) {
        TimeValue t = 0;
        if (!ProtocolEdits::ReadTypedTime(newValue, m_settings.Acc, t)) {
            // The grid puts the old text back.
            valid = false;
            m_rejected = true;
            ShowStatus(ProtocolEdits::TypedTimeError(newValue, m_settings.Acc));
            return;
        }
    }
    m_committedCol = col;
    m_committedRow = row;
    m_committedOld = oldValue;
    if (oldValue != newValue) {
        JournalEntry entry = Entry(JournalEvent::CellTyped, row);
        // The row as it stood before: a retyped number names the row by its old one.
        if (col == Col::StNr)
            entry.number = oldValue;
        entry.Add(JournalKey::Column, QString::number(col));
        entry.Add(QStringLiteral("Feld"), m_grid->Cell(col, 0));
        entry.Add(JournalKey::Old, oldValue);
        entry.Add(JournalKey::New, newValue);
        if (col == Col::Zeit)
            entry.time = newValue;
        Journalize(entry, false);
        // The text stays as typed, but a backup keeps "?" for what its code page lacks.
        const QString warning = Windows1252Warning({newValue});
        if (!warning.isEmpty())
            ShowStatus(warning);
    }
    // Enter in "Zeit" and "St.Nr." writes the backups when its command is done.
    if (!m_passing)
        Changed();
}

// --- commands

void ProtocolEditing::Editzeit1Click() {
    m_protocol.SetEditing(true);
}

void ProtocolEditing::Allezeitloschwn1Click() {
    CommitPendingEdit();
    if (!m_question.Ask(m_prompts, QStringLiteral("Alle Zeiten löschen?")))
        return;
    JournalEntry entry;
    entry.event = JournalEvent::AllTimesCleared;
    entry.source = JournalSource::Menu;
    entry.Add(QStringLiteral("Zeilen"), QString::number(m_grid->RowCount() - 1));
    Journalize(entry, false);
    m_protocol.ClearAllResults();
    Changed();
}

void ProtocolEditing::Zeitloschen1Click() {
    CommitPendingEdit();
    const int k = m_grid->Row();
    if (k < 1 || k >= m_grid->RowCount())
        return;
    JournalEntry entry = Entry(JournalEvent::TimeCleared, k);
    entry.source = sender() == DelStrt1 ? JournalSource::Key : JournalSource::Menu;
    entry.time = m_grid->Cell(Col::Zeit, k);
    entry.Add(JournalKey::Old, RowText(k));
    Journalize(entry, m_settings.AutoSort);
    m_protocol.ClearResults(k);
    if (m_settings.AutoSort)
        m_protocol.RankProtocol();
    Changed();
}

void ProtocolEditing::Erase1Click() {
    CommitPendingEdit();
    if (!m_question.Ask(m_prompts, QStringLiteral("Zeile löschen?")))
        return;
    const int k = m_grid->Row();
    JournalEntry entry = Entry(JournalEvent::RowDeleted, k);
    entry.source = sender() == Erase2 ? JournalSource::Key : JournalSource::Menu;
    entry.time = m_grid->Cell(Col::Zeit, k);
    entry.Add(JournalKey::Old, RowText(k));
    Journalize(entry, true);
    m_protocol.DeleteRow(k);
    m_protocol.RankProtocol();
    MakeRowCurrent(qMin(k, m_grid->RowCount() - 1));
    m_protocol.UpdateResultCommands();
    Changed();
}

void ProtocolEditing::Neuezeile1Click() {
    CommitPendingEdit();
    const int k = m_grid->Row();
    JournalEntry entry = Entry(JournalEvent::RowInserted, k);
    entry.source = sender() == mNeuezeile1 ? JournalSource::Key : JournalSource::Menu;
    if (k + 1 >= m_grid->RowCount()) {
        Journalize(entry.Add(JournalKey::Appended, QStringLiteral("ja")), false);
        // Below the last row the grid can only append; the new row does not become current.
        m_protocol.AppendEmptyRow();
        Changed();
        return;
    }
    Journalize(entry, false);
    m_protocol.InsertEmptyRow(k + 1);
    m_protocol.SetEditing(false);
    m_protocol.SelectWholeRow(m_grid->Row());
    m_protocol.UpdateResultCommands();
    Changed();
}

void ProtocolEditing::mCopyAllClick() {
    QGuiApplication::clipboard()->setText(ProtocolEdits::ClipboardText(m_grid->Data()));
}

// --- keys

void ProtocolEditing::SortGrid1KeyDown(QKeyEvent* event, bool& handled) {
    if (m_passing)
        return;
    const int k = m_grid->Row();
    const int c = m_grid->Col();
    switch (event->key()) {
    case Qt::Key_Escape:
        // The editor first puts the text back as it was.
        PassToEditor(event);
        EndEditing(k);
        handled = true;
        return;
    case Qt::Key_Menu: {
        const QRect cell = m_grid->CellRect(c, k);
        const QPoint at = cell.isEmpty() ? m_grid->viewport()->rect().center() : cell.bottomLeft();
        OpenPopupMenu(m_grid->viewport()->mapToGlobal(at));
        handled = true;
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!(m_grid->Options() & goEditing))
            return; // row selection: nothing typed to confirm
        if (c == Col::Zeit) {
            ZeitEnter(k);
            handled = true;
        } else if (c == Col::StNr) {
            StNrEnter(k);
            handled = true;
        }
        return;
    default:
        return;
    }
}

void ProtocolEditing::ZeitEnter(int row) {
    m_rejected = false;
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    PassToEditor(&enter);
    EndEditing(row);
    if (m_rejected)
        return; // the check has told the operator and kept the old text
    if (m_grid->Cell(Col::Zeit, row).trimmed().isEmpty())
        return; // nothing was typed into an empty cell
    QString error;
    if (!m_protocol.CorrectRunningTime(row, error)) {
        ShowStatus(error);
        return;
    }
    JournalEntry entry = Entry(JournalEvent::TimeCorrected, row);
    entry.time = m_grid->Cell(Col::Zeit, row);
    AddCells(entry, m_grid->Data(), row, {Col::Stopp, Col::Zeit, Col::Split, Col::Raw});
    Journalize(entry, m_settings.AutoSort);
    m_protocol.SelectWholeRow(row);
    if (m_settings.AutoSort)
        m_protocol.RankProtocol();
    m_protocol.SetEditing(false);
    m_protocol.Repaint();
    Changed();
}

void ProtocolEditing::StNrEnter(int row) {
    m_committedCol = m_committedRow = -1;
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    PassToEditor(&enter);
    EndEditing(row);
    if (m_committedCol != Col::StNr || m_committedRow != row)
        return; // the number was not changed
    const QString old = m_committedOld;
    const QString number = m_grid->Cell(Col::StNr, row);
    const SortGridData& data = m_protocol.Data();
    const int target = number.trimmed().isEmpty() ? -1 : ProtocolEdits::FindOtherRow(data, number, row);
    if (target < 1) {
        Changed(); // the row simply carries its new number
        return;
    }

    ProtocolEdits::ResultMove move;
    move.from = row;
    move.to = target;
    move.massStart = m_settings.massStart();
    QString error;
    if (!ProtocolEdits::PrepareResultMove(data, move, m_settings.Acc, error)) {
        Revert(Col::StNr, row, old);
        m_prompts.showError(m_window, error + QStringLiteral(" Die Startnummer %1 bleibt.").arg(old));
        return;
    }
    if (ProtocolEdits::HasResult(data, target)) {
        if (!m_question.Ask(m_prompts, QStringLiteral("Dieser Startnummer ist bereits eine Zielzeit zugeordnet. "
                                                      "Soll diese Zielzeit überschrieben werden?"))) {
            Revert(Col::StNr, row, old);
            return;
        }
    }
    JournalEntry entry = Entry(JournalEvent::ResultMoved, row);
    entry.Add(JournalKey::Target, QString::number(target));
    const QString overwritten = m_grid->Cell(Col::Zeit, target);
    m_protocol.ApplyResultMove(move);
    entry.time = m_grid->Cell(Col::Zeit, target);
    AddCells(entry, data, target, {Col::Platz, Col::KlPl, Col::Start, Col::Stopp, Col::Zeit, Col::Split, Col::Raw});
    if (!overwritten.trimmed().isEmpty())
        entry.Add(QStringLiteral("überschrieben"), overwritten);
    entry.Add(JournalKey::Old, RowText(row));
    Journalize(entry, m_settings.AutoSort);
    m_protocol.DeleteRow(row);
    MakeRowCurrent(target > row ? target - 1 : target);
    if (m_settings.AutoSort)
        m_protocol.RankProtocol();
    m_protocol.SetEditing(false);
    m_protocol.Repaint();
    Changed();
}
