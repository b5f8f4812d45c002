#include "ui/tables/FinishTable.h"

#include "core/files/GridTextFile.h"

#include "core/base/TimeText.h"
#include "core/platform/Prompts.h"
#include "core/race/DuplicateNumbers.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/ProtocolEdits.h"
#include "core/race/RunState.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/ProtocolTable.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <limits>

namespace {
const QColor kKontakt(255, 224, 224);
const QColor kNr(224, 255, 224);
} // namespace

FinishTable::FinishTable(TSortGrid* SortGrid2, const RunState& state, const TSettings& settings,
                         ProtocolTable& protocol, TFDlgYesNo& question, Prompts& prompts, QObject* parent)
    : QObject(parent), m_grid(SortGrid2), m_state(state), m_settings(settings), m_protocol(protocol),
      m_question(question), m_prompts(prompts) {
    m_grid->OnKeyDown = [this](TSortGrid*, QKeyEvent* e, bool& handled) { SortGrid2KeyDown(e, handled); };
    m_grid->OnKeyPress = [this](TSortGrid*, QChar& key) { SortGrid2KeyPress(key); };
    m_grid->OnSelectCell = [this](TSortGrid*, int col, int row, bool& canSelect) {
        SortGrid2SelectCell(col, row, canSelect);
    };
    m_grid->OnGetCellFormat = [this](TSortGrid*, int col, int row, TGridDrawState state, TFormatOptions& format, bool&,
                                     bool&, bool&) { SortGrid2GetCellFormat(col, row, state, format); };
    // An assignment wrote the number being edited: the grid goes back to row selection.
    m_grid->OnEditDropped = [this](TSortGrid*, int, int) {
        m_grid->SetOption(goEditing, false);
        m_grid->SetOption(goRowSelect, true);
        emit Notice(ProtocolEdits::DroppedEditText());
    };

    PopupMenuSS2 = new QMenu(m_grid);
    PopupMenuSS2->setObjectName(QStringLiteral("PopupMenuSS2"));
    Erase3 = PopupMenuSS2->addAction(QStringLiteral("Zeile löschen"), this, &FinishTable::Erase3Click);
    Erase3->setObjectName(QStringLiteral("Erase3"));
    Allezeitenloschen1 =
        PopupMenuSS2->addAction(QStringLiteral("Alle Zeiten löschen"), this, &FinishTable::Allezeitenloschen1Click);
    Allezeitenloschen1->setObjectName(QStringLiteral("Allezeitenloschen1"));
    connect(PopupMenuSS2, &QMenu::aboutToShow, this, &FinishTable::PopupMenuSS2Popup);
    m_grid->SetPopupMenu(PopupMenuSS2);
}

bool FinishTable::LoadBackup(const QString& fileName) {
    return LoadFinishText(m_grid->Data(), fileName);
}

void FinishTable::Clear() {
    m_grid->ClearGrid();
}

void FinishTable::SetupGrid() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    m_grid->setFont(font);
    m_grid->SetColor(QColor(232, 232, 255));
    m_grid->SetFixedColor(QColor(214, 218, 228));
    m_grid->SetDefaultRowHeight(18);
    m_grid->SetAlignmentHorz(TAlignment::taRightJustify);
    m_grid->SetScrollBars(TScrollStyle::ssVertical);
    m_grid->SetOptions(TGridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goDrawFocusSelected |
                       goColSizing | goRowSelect);
    m_grid->BeginUpdate();
    m_grid->SetColCount(FinishCol::Count);
    m_grid->SetRowCount(2);
    m_grid->EndUpdate();
    m_grid->SetRows(0, FinishCaptions());
    m_grid->SortOptions().CanSort = false;
    m_grid->SetColWidths(3, -1);
}

void FinishTable::ApplyColumnLayout() {
    const int arrow = m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const auto widths = FinishColumnWidths(m_grid->width(), arrow);
    for (int col = 0; col < FinishCol::Count; ++col)
        m_grid->SetColWidths(col, widths[col]);
}

bool FinishTable::SingleEmptyRow() const {
    return m_grid->RowCount() <= 2 && m_grid->Rows(1).join(QString()).trimmed().isEmpty();
}

void FinishTable::ShowCount() {
    emit StatusText(4, QString::number(m_grid->RowCount() - 1));
}

void FinishTable::QueueFinish(const QString& timeText, int counter) {
    int row = 1;
    if (!SingleEmptyRow()) {
        m_grid->SetRowCount(m_grid->RowCount() + 1);
        row = m_grid->RowCount() - 1;
        for (int col = 0; col < m_grid->ColCount(); ++col)
            m_grid->SetCell(col, row, QString());
    }
    ShowCount();
    m_grid->SetCell(FinishCol::Kontakt, row, timeText);
    m_grid->SetCell(FinishCol::Number, row, QString::number(counter) + QLatin1Char('.'));
}

int FinishTable::HighestNumber() const {
    int highest = 0;
    for (int r = 1; r < m_grid->RowCount(); ++r) {
        QString text = m_grid->Cell(FinishCol::Number, r).trimmed();
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        bool ok = false;
        const int n = text.toInt(&ok);
        if (ok && n > highest)
            highest = n;
    }
    return highest;
}

JournalEntry FinishTable::Entry(const QString& event, int k, const QString& number) const {
    JournalEntry entry;
    entry.event = event;
    entry.source = JournalSource::Key;
    entry.number = number;
    entry.time = m_grid->Cell(FinishCol::Kontakt, k);
    entry.Add(JournalKey::FinishRow, QString::number(k));
    entry.Add(JournalKey::Number, m_grid->Cell(FinishCol::Number, k));
    return entry;
}

void FinishTable::Journalize(const JournalEntry& entry) {
    emit Journal({entry});
}

void FinishTable::Assign() {
    const int k = m_grid->Row();
    const QString number = m_grid->Cell(FinishCol::Nr, k);
    if (m_grid->RowCount() <= 2 && m_grid->Cell(FinishCol::Kontakt, 1).trimmed().isEmpty()) {
        m_grid->SetCell(FinishCol::Nr, k, QString());
        return;
    }
    // An attempt that assigns nothing leaves its mark in "Nr", and in the journal.
    auto refuse = [&](const QString& mark) {
        m_grid->SetCell(FinishCol::Nr, k, mark);
        Journalize(Entry(JournalEvent::Assign, k, number).Add(JournalKey::Marked, mark));
    };
    // Two rows with this number: neither may be picked silently.
    const int same = m_protocol.CountStartNumber(number);
    if (same > 1) {
        refuse(QStringLiteral("-"));
        emit Notice(
            QStringLiteral("Startnummer %1 kommt %2 vor: nicht zugeordnet").arg(number.trimmed(), TimesText(same)));
        return;
    }
    // "-" stays when no row or no time is found.
    const int row = m_protocol.FindStartNumber(number);
    const QString kontakt = m_grid->Cell(FinishCol::Kontakt, k);
    if (row < 1 || kontakt.trimmed().isEmpty()) {
        refuse(QStringLiteral("-"));
        return;
    }
    // The finish's own stamp, when this race took it.
    const auto finishStamp = m_state.queued.constFind(StampKey(m_grid->Cell(FinishCol::Number, k), kontakt));
    const bool stamped = finishStamp != m_state.queued.cend();
    // Running time from the start's stamp: ticks within one boot, UTC across a reboot,
    // so that neither a daylight-saving change, midnight nor rounded texts falsify it.
    // Without stamps (backups of older versions) from the clock texts. A finish that is
    // before its start is refused with "!".
    auto runningFrom = [&](const std::optional<Stamp>& start, const QString& finishClock, const QString& startClock,
                           qint32& running) {
        if (stamped && start) {
            const auto diff = StampDiff(*finishStamp, *start);
            if (diff) {
                if (*diff < 0 || *diff > std::numeric_limits<qint32>::max())
                    return false;
                running = static_cast<qint32>(*diff);
                return true;
            }
        }
        return ClockTextDifference(finishClock, startClock, m_settings.Acc, running);
    };
    const QString startClock = m_protocol.Cell(Col::Start, row);
    std::optional<Stamp> startStamp;
    if (const auto it = m_state.starts.constFind(StampKey(m_protocol.Cell(Col::StNr, row), startClock));
        it != m_state.starts.cend())
        startStamp = *it;
    QString finishClock;
    const bool clockEntry = m_settings.massStart() && IsMassStartClockEntry(kontakt, &finishClock);
    qint32 running = 0;
    if (clockEntry ? !runningFrom(m_state.massStartStamp, finishClock, m_state.massStartClock, running)
                   : (!m_settings.massStart() && !runningFrom(startStamp, kontakt, startClock, running))) {
        refuse(QStringLiteral("!"));
        return;
    }
    m_grid->SetCell(FinishCol::Nr, k, QStringLiteral("-"));
    const QString overwritten = m_protocol.Cell(Col::Zeit, row);
    if (!m_protocol.Cell(Col::Stopp, row).trimmed().isEmpty()) {
        if (!m_question.Ask(m_prompts, QStringLiteral("Dieser Startnummer ist bereits eine Zielzeit zugeordnet. "
                                                      "Soll diese Zielzeit überschrieben werden?"))) {
            refuse(QString());
            return;
        }
    }
    JournalEntry entry = Entry(JournalEvent::Assign, k, m_protocol.Cell(Col::StNr, row));
    entry.Add(JournalKey::Row, QString::number(row));
    if (clockEntry)
        // Queued before a start was known: timed from the start now known.
        m_protocol.AssignFinish(row, finishClock, TimeToText(running, m_settings.Acc), QString::number(running));
    else if (m_settings.massStart())
        m_protocol.AssignFinish(row, std::nullopt, kontakt, std::nullopt);
    else
        m_protocol.AssignFinish(row, kontakt, TimeToText(running, m_settings.Acc), QString::number(running));
    AddCells(entry, m_protocol.Data(), row, {Col::Stopp, Col::Zeit, Col::Split, Col::Raw});
    if (!overwritten.trimmed().isEmpty())
        entry.Add(QStringLiteral("überschrieben"), overwritten);
    if (m_settings.AutoSort)
        entry.Add(JournalKey::Ranked, RankingText(m_protocol.RankOptions()));
    Journalize(entry);
    m_grid->DeleteRow(k);
    ShowCount();
    if (m_settings.AutoSort)
        m_protocol.RankProtocol();
    m_grid->SetColWidths(3, -1);
    m_grid->SetTopRow(1);
    m_grid->GoToCell(FinishCol::Nr, 1, false);
    // The assignment changed a protocol row too: both backups, not only the finish table's.
    emit TablesChanged();
    emit FinishNumberUsed(number);
}

void FinishTable::SortGrid2KeyDown(QKeyEvent* event, bool& handled) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_grid->Col() == FinishCol::Nr) {
        // The typed number is in the cell already. The editor closes before every attempt,
        // so that what the cell holds afterwards ("-", "!", empty) is what the operator
        // sees and types over: "1" Enter "7" Enter must never become 17.
        m_grid->SetEditorMode(false);
        Assign();
        handled = true;
    }
}

void FinishTable::SortGrid2KeyPress(QChar& key) {
    if (key == QLatin1Char('\b') || key == QLatin1Char('-') || (key >= QLatin1Char('0') && key <= QLatin1Char('9')))
        return;
    key = QChar();
}

void FinishTable::SortGrid2SelectCell(int col, int row, bool& canSelect) {
    if (m_selecting)
        return;
    if (col == FinishCol::Nr) {
        m_grid->SetOption(goRowSelect, false);
        m_grid->SetOption(goEditing, true);
        canSelect = true;
        return;
    }
    m_grid->SetOption(goEditing, false);
    m_grid->SetOption(goRowSelect, true);
    canSelect = false;
    m_selecting = true;
    m_grid->SetSelection({0, row, FinishCol::Count - 1, row});
    m_selecting = false;
}

void FinishTable::SortGrid2GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format) {
    if (row == 0) {
        format.AlignmentHorz = TAlignment::taCenter;
        return;
    }
    if (state & gdSelected)
        return;
    if (col == FinishCol::Kontakt)
        format.Brush.Color = kKontakt;
    else if (col == FinishCol::Nr)
        format.Brush.Color = kNr;
}

void FinishTable::PopupMenuSS2Popup() {
    Erase3->setEnabled(!SingleEmptyRow());
}

void FinishTable::Erase3Click() {
    if (!m_question.Ask(m_prompts, QStringLiteral("Zeile löschen?")))
        return;
    const int row = m_grid->Row();
    JournalEntry entry = Entry(JournalEvent::FinishRowDeleted, row, m_grid->Cell(FinishCol::Nr, row));
    entry.source = JournalSource::Menu;
    Journalize(entry);
    m_grid->DeleteRow(row);
    m_grid->GoToCell(0, qMin(row, m_grid->RowCount() - 1), true);
}

void FinishTable::Allezeitenloschen1Click() {
    JournalEntry entry;
    entry.event = JournalEvent::FinishTimesCleared;
    entry.source = JournalSource::Menu;
    entry.Add(QStringLiteral("Zeilen"), QString::number(m_grid->RowCount() - 1));
    Journalize(entry);
    m_grid->ClearGrid();
    emit LayoutWanted();
}
