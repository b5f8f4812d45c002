#include "ui/tables/ProtocolTable.h"

#include "core/files/GridTextFile.h"
#include "core/files/SpreadsheetReader.h"
#include "core/platform/Prompts.h"
#include "core/race/JournalEntry.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/ProtocolEdits.h"
#include "core/race/Ranking.h"
#include "ui/widgets/RunColors.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <utility>

namespace {

const QColor kPlaced(224, 255, 224);
const QColor kRunning(255, 255, 192);
const QColor kNotStarted(255, 224, 224);

bool Editable(int col) {
    return (col >= Col::StNr && col <= Col::Klasse) || col == Col::Zeit;
}

} // namespace

ProtocolTable::ProtocolTable(TSortGrid* SortGrid1, const TSettings& settings, QObject* parent)
    : QObject(parent), m_grid(SortGrid1), m_settings(settings) {
    TSortGrid* g = m_grid;
    g->OnGetSortStyle = [this](TSortGrid*, int col, TSortStyle& style) {
        ProtocolSortStyle(m_grid->Data(), col, style);
    };
    g->OnGetCellFormat = [this](TSortGrid*, int col, int row, TGridDrawState state, TFormatOptions& format, bool&,
                                bool& comboBox, bool&) {
        SortGrid1GetCellFormat(col, row, state, format);
        // While cells are edited, "Klasse" offers the classes of the classes file.
        comboBox = col == Col::Klasse && row >= 1 && !m_classChoices.isEmpty() && (m_grid->Options() & goEditing);
    };
    g->OnGetComboBox = [this](TSortGrid*, int col, int row, QStringList& strs, int&, int&, bool& sorted) {
        strs = m_classChoices;
        sorted = false; // in the order of the file
        m_comboOld = Cell(col, row);
    };
    // A chosen class is a typed change: journalled, the backups written, or put back when refused.
    g->OnSetComboBox = [this](TSortGrid* grid, int col, int row, const QString& str) {
        if (col != Col::Klasse || !grid->OnCellValidate)
            return;
        QString chosen = str;
        bool valid = true;
        grid->OnCellValidate(grid, col, row, m_comboOld, chosen, valid);
        grid->SetCell(col, row, valid ? chosen : m_comboOld);
    };
    g->OnSelectCell = [this](TSortGrid*, int col, int row, bool& canSelect) {
        SortGrid1SelectCell(col, row, canSelect);
    };
    g->OnDblClick = [this](TSortGrid*) { SortGrid1DblClick(); };
}

void ProtocolTable::SetupGrid() {
    TSortGrid* g = m_grid;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    g->setFont(font);
    g->SetDefaultRowHeight(18);
    g->SetFixedColor(QColor(214, 218, 228));
    g->SetAlignmentHorz(TAlignment::taRightJustify);
    g->SetAlignmentVert(TVertAlignment::taTopJustify);
    g->SetScrollBars(TScrollStyle::ssVertical);
    g->SetOptions(TGridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goDrawFocusSelected |
                  goColSizing | goRowSelect);
    g->BeginUpdate();
    g->SetColCount(Col::Count);
    g->SetRowCount(2);
    g->EndUpdate();
    g->SetRows(0, ProtocolCaptions());
    TSortOptions& o = g->SortOptions();
    o.CanSort = false;
    o.SortStyle = TSortStyle::ssNormal;
    o.SortCaseSensitive = false;
    o.SortCol = Col::Zeit;
    o.SortDirection = TSortDirection::sdAscending;
    o.UpdateOnSizeChange = false;
    g->SetColWidths(Col::Raw, -1);
}

QString ProtocolTable::Cell(int col, int row) const {
    return m_grid->Cell(col, row);
}

int ProtocolTable::FindStartNumber(const QString& text) const {
    if (text.isEmpty())
        return -1;
    return m_grid->FindRow(Col::StNr, text);
}

int ProtocolTable::CountStartNumber(const QString& text) const {
    const QString number = text.trimmed();
    if (number.isEmpty())
        return 0;
    int count = 0;
    for (int row = 1; row < m_grid->RowCount(); ++row)
        if (m_grid->Cell(Col::StNr, row) == number)
            ++count;
    return count;
}

int ProtocolTable::HighestPlaceholder() const {
    int highest = 0;
    for (int row = 1; row < m_grid->RowCount(); ++row) {
        int n = 0;
        if (ToInt(m_grid->Cell(Col::StNr, row), n) && n < 0)
            highest = qMax(highest, -n);
    }
    return highest;
}

int ProtocolTable::RecordStartInRow(const QString& numberText, Tick tick, const QTime& clock, TimeValue offset,
                                    int& highestPlaceholder) {
    TSortGrid* g = m_grid;
    const QString typed = numberText.trimmed();
    int n = 0;
    const bool numbered = ToInt(typed, n) && n != 0;
    int row = numbered ? FindStartNumber(typed) : -1;
    if (row < 1) {
        // The last row receives the start only while it is empty: after a start list or a
        // backup was loaded it is a real athlete whose data must not be overwritten.
        row = g->RowCount() - 1;
        if (!g->Rows(row).join(QString()).trimmed().isEmpty()) {
            row = AppendEmptyRow();
        }
    }
    SelectRow(row);
    QString stNr = QString::number(n);
    if (!numbered) {
        // The row index while no placeholder of this race had it: a placeholder number is
        // never given twice, whatever rows were deleted since, or "-5" F8 could time the wrong one.
        int p = qMax(row, highestPlaceholder + 1);
        while (FindStartNumber(QString::number(-p)) >= 1)
            ++p;
        highestPlaceholder = p;
        stNr = QString::number(-p);
    }
    g->SetCell(Col::StNr, row, stNr);
    g->SetCell(Col::Start, row, ClockText(clock));
    g->SetCell(Col::Split, row, TimeToText(offset, m_settings.Acc));
    g->SetCell(Col::Platz, row, QStringLiteral("-"));
    g->SetCell(Col::Raw, row, QString::number(static_cast<qint32>(tick)));

    if (row == g->RowCount() - 1) {
        AppendEmptyRow();
        ApplyColumnLayout();
        if (g->RowCount() - 1 > g->VisibleRowCount())
            g->SetTopRow(qMax(1, g->RowCount() - g->VisibleRowCount()));
    }

    return row;
}

void ProtocolTable::RecordFinishInRow(int row, TimeValue runningTime, const QString& finishClock,
                                      const QString& split) {
    TSortGrid* g = m_grid;
    g->SetCell(Col::Stopp, row, finishClock);
    g->SetCell(Col::Zeit, row, TimeToText(runningTime, m_settings.Acc));
    g->SetCell(Col::Split, row, split);
    g->SetCell(Col::Raw, row, QString::number(runningTime));
}

void ProtocolTable::SelectNextRow() {
    const int row = m_grid->Row();
    if (row < 1 || row >= m_grid->RowCount() - 1)
        return;
    m_byProgram = true;
    SelectRow(row + 1);
    m_byProgram = false;
}

void ProtocolTable::SelectRow(int row) {
    TSortGrid* g = m_grid;
    if (row < 1 || row >= g->RowCount())
        return;
    g->GoToCell(g->Col(), row, false);
    const int top = g->TopRow();
    if (row < top || row >= top + g->VisibleRowCount())
        g->ScrollToCell(g->Col(), row);
}

void ProtocolTable::SelectWholeRow(int row) {
    TSortGrid* g = m_grid;
    if (row < 1 || row >= g->RowCount())
        return;
    m_selecting = true;
    g->SetSelection({0, row, Col::Count - 1, row});
    m_selecting = false;
    // After a load of 10 000 rows the field must say so, not the count before it.
    emit StatusText(0, QStringLiteral("%1:%2").arg(row).arg(g->RowCount() - 1));
}

void ProtocolTable::SetClassChoices(const QStringList& classes) {
    m_classChoices = classes;
}

void ProtocolTable::SortGrid1SelectCell(int col, int row, bool& canSelect) {
    TSortGrid* g = m_grid;
    if (m_selecting)
        return;
    if (Editable(col)) {
        g->SetOption(goRowSelect, false);
        g->SetOption(goEditing, true);
        canSelect = true;
    } else {
        g->SetOption(goEditing, false);
        g->SetOption(goRowSelect, true);
        SelectProtocolRow(row);
        canSelect = false;
        SelectWholeRow(row);
    }
    emit StatusText(0, QStringLiteral("%1:%2").arg(row).arg(g->RowCount() - 1));
}

void ProtocolTable::SelectProtocolRow(int row) {
    TSortGrid* g = m_grid;
    if (row < 1 || row >= g->RowCount())
        return;
    emit RowChosen(row, !m_byProgram);
    if (m_settings.massStart())
        SelectWholeRow(row);
}

void ProtocolTable::SortGrid1DblClick() {
    TSortGrid* g = m_grid;
    const int row = g->Row();
    if (row < 2)
        return;
    bool canSelect = true;
    SortGrid1SelectCell(g->Col(), row, canSelect);
    if (Cell(Col::Start, row).trimmed().isEmpty())
        emit StartCommanded(JournalSource::DoubleClick);
    else if (Cell(Col::Stopp, row).trimmed().isEmpty())
        emit FinishCommanded(JournalSource::DoubleClick);
}

void ProtocolTable::SortGrid1GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format) {
    if (row == 0) {
        format.AlignmentHorz = TAlignment::taCenter;
        return;
    }
    if (Cell(Col::StNr, row).contains(QLatin1Char('-')))
        format.Font.Color = RunColors::Red;
    format.AlignmentHorz =
        (col >= Col::Vorname && col <= Col::Klasse) ? TAlignment::taLeftJustify : TAlignment::taRightJustify;
    if (state & gdSelected)
        return;
    switch (col) {
    case Col::Platz: {
        const QString platz = Cell(Col::Platz, row);
        if (platz == QLatin1String("-"))
            format.Brush.Color = kRunning;
        else if (platz.trimmed().isEmpty())
            format.Brush.Color = kNotStarted;
        else
            format.Brush.Color = kPlaced;
        break;
    }
    case Col::KlPl:
        format.Brush.Color = kNotStarted;
        break;
    case Col::Start:
    case Col::Stopp:
    case Col::Split:
        format.Brush.Color = kRunning;
        break;
    case Col::Zeit:
        format.Brush.Color = kPlaced;
        break;
    default:
        break;
    }
}

RankingOptions ProtocolTable::RankOptions() const {
    RankingOptions options;
    options.individualStart = !m_settings.massStart();
    options.classMode = m_settings.Klass;
    options.fractionDigits = m_settings.Acc;
    return options;
}

void ProtocolTable::RankProtocol() {
    TSortGrid* g = m_grid;
    const RankingOptions options = RankOptions();
    // Through the grid: it follows the ranking once at its end, not after each of its
    // cell writes, and closes an editor whose cell or row the ranking changes.
    int row = -1;
    // The ranking moves the selection with the rows.
    m_byProgram = true;
    g->Batch([&](SortGridData& data) { row = RankProtocolRows(data, options, m_rankingTexts); });
    emit FinishNumberVoided();
    if (row >= 1) {
        SelectProtocolRow(row);
        if (!m_settings.massStart())
            SelectWholeRow(row);
    }
    m_byProgram = false;
    g->viewport()->update();
}

void ProtocolTable::ScrollAfterRanking() {
    TSortGrid* g = m_grid;
    g->ScrollToCell(g->Col(), g->Row());
}

void ProtocolTable::ApplyColumnLayout() {
    TSortGrid* g = m_grid;
    const int arrow = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const auto widths = ProtocolColumnWidths(m_settings.Columns, g->width(), arrow);
    for (int col = 0; col < Col::Count; ++col)
        g->SetColWidths(col, widths[col]);
    emit ColumnsLaidOut();
}

void ProtocolTable::ApplySettings(const TSettings& before) {
    if (m_settings.Columns != before.Columns)
        ApplyColumnLayout();
}

void ProtocolTable::UpdateResultCommands() {
    emit ResultCommandsChanged();
}

bool ProtocolTable::HasResults() const {
    return m_grid->RowCount() >= 2 && !m_grid->Rows(1).join(QString()).trimmed().isEmpty();
}

QList<int> ProtocolTable::ColumnWidths() const {
    QList<int> widths;
    for (int col = 0; col < m_grid->ColCount(); ++col)
        widths << m_grid->ColWidths(col);
    return widths;
}

QStringList ProtocolTable::StartNumbers() const {
    QStringList numbers = m_grid->Cols(Col::StNr);
    numbers.removeFirst();
    return numbers;
}

// --- Changes the other controllers ask for

void ProtocolTable::AssignFinish(int row, const std::optional<QString>& stopp, const QString& zeit,
                                 const std::optional<QString>& raw) {
    if (stopp)
        m_grid->SetCell(Col::Stopp, row, *stopp);
    m_grid->SetCell(Col::Zeit, row, zeit);
    if (raw)
        m_grid->SetCell(Col::Raw, row, *raw);
    m_grid->SetCell(Col::Split, row, QString());
}

bool ProtocolTable::LoadText(const QString& fileName, QString* error) {
    return LoadProtocolText(m_grid->Data(), fileName, ProtocolCaptions(), error);
}

bool ProtocolTable::LoadSpreadsheet(const QString& fileName, QString* error) {
    return LoadStartListSpreadsheet(m_grid->Data(), fileName, ProtocolCaptions(), error);
}

void ProtocolTable::ClearTable() {
    m_grid->ClearGrid();
}

// Rows beyond the count keep their old texts: the new row's cells are emptied.
int ProtocolTable::AppendEmptyRow() {
    TSortGrid* g = m_grid;
    g->SetRowCount(g->RowCount() + 1);
    const int row = g->RowCount() - 1;
    for (int col = 0; col < g->ColCount(); ++col)
        g->SetCell(col, row, QString());
    return row;
}

void ProtocolTable::InsertEmptyRow(int row) {
    m_grid->InsertRow(row);
}

void ProtocolTable::DeleteRow(int row) {
    m_grid->DeleteRow(row);
}

void ProtocolTable::SetCellText(int col, int row, const QString& text) {
    m_grid->SetCell(col, row, text);
}

void ProtocolTable::ClearAllResults() {
    ProtocolEdits::ClearAllResults(m_grid->Data());
    m_grid->viewport()->update();
}

void ProtocolTable::ClearResults(int row) {
    ProtocolEdits::ClearResults(m_grid->Data(), row);
    m_grid->viewport()->update();
}

bool ProtocolTable::CorrectRunningTime(int row, QString& error) {
    return ProtocolEdits::CorrectRunningTime(m_grid->Data(), row, m_settings.Acc, error);
}

void ProtocolTable::ApplyResultMove(const ProtocolEdits::ResultMove& move) {
    ProtocolEdits::ApplyResultMove(m_grid->Data(), move, m_settings.Acc);
}

void ProtocolTable::SetEditing(bool editing) {
    if (editing) {
        m_grid->SetOption(goRowSelect, false);
        m_grid->SetOption(goEditing, true);
    } else {
        m_grid->SetOption(goEditing, false);
        m_grid->SetOption(goRowSelect, true);
    }
}

void ProtocolTable::GoToCell(int col, int row) {
    m_grid->GoToCell(col, row, false);
}

bool ProtocolTable::PassKeyToEditor(QKeyEvent* event) {
    QLineEdit* editor = m_grid->InplaceEditor();
    if (!editor || !m_grid->EditorMode())
        return false;
    QKeyEvent copy(QEvent::KeyPress, event->key(), event->modifiers(), event->text());
    QCoreApplication::sendEvent(editor, &copy);
    return true;
}

void ProtocolTable::Repaint(bool now) {
    if (now)
        m_grid->viewport()->repaint();
    else
        m_grid->viewport()->update();
}

void ProtocolTable::AttachInput(ProtocolInput& input, QMenu* popupMenu, QObject* eventFilter) {
    TSortGrid* g = m_grid;
    g->OnKeyDown = [&input](TSortGrid*, QKeyEvent* e, bool& handled) { input.SortGrid1KeyDown(e, handled); };
    g->OnCellValidate = [&input](TSortGrid*, int col, int row, const QString& oldValue, QString& newValue,
                                 bool& valid) { input.SortGrid1CellValidate(col, row, oldValue, newValue, valid); };
    g->OnMouseDown = [&input](TSortGrid*, Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        input.SortGrid1MouseDown(button, x, y);
    };
    g->OnEditDropped = [&input](TSortGrid*, int, int) { input.SortGrid1EditDropped(); };
    if (popupMenu)
        g->SetPopupMenu(popupMenu);
    if (eventFilter)
        g->installEventFilter(eventFilter);
}

void ProtocolTable::DetachInput(QObject* eventFilter) {
    m_grid->OnKeyDown = nullptr;
    m_grid->OnCellValidate = nullptr;
    m_grid->OnMouseDown = nullptr;
    m_grid->OnEditDropped = nullptr;
    if (eventFilter)
        m_grid->removeEventFilter(eventFilter);
}
