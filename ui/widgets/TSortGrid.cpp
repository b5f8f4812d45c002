#include "ui/widgets/TSortGrid.h"

#include "core/platform/Prompts.h"

#include <QApplication>
#include <QDebug>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>

// Shows the hourglass for the lifetime of the object.
class WaitCursorGuard {
public:
    WaitCursorGuard() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursorGuard() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursorGuard(const WaitCursorGuard&) = delete;
    WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;
};

namespace {

template <typename Event, typename... Args>
void RaiseEvent(TSortGrid* sender, const Event& event, Args... args) {
    if (event)
        event(sender, args...);
}

} // namespace

// The engine's events reach the widget here, and nowhere else.
class TSortGrid::DataEvents final : public SortGridEvents {
public:
    explicit DataEvents(TSortGrid& grid) : g(grid) {}

    void GridChanged() override { g.DataChanged(); }
    void CellChanged(int col, int row) override { g.CellWritten(col, row); }
    void TopLeftChanged() override { g.TopLeftMoved(); }
    void RowSelected() override { RaiseEvent(&g, g.OnRowSelected); }
    void Modified() override { RaiseEvent(&g, g.OnModified); }
    void UpdateBegun() override {
        if (!g.m_waitCursor)
            g.m_waitCursor = std::make_unique<WaitCursorGuard>();
        RaiseEvent(&g, g.OnBeginUpdate);
    }
    void UpdateEnded() override {
        g.m_waitCursor.reset();
        g.DataChanged();
        RaiseEvent(&g, g.OnEndUpdate);
    }
    void SizeChanged(int oldCols, int oldRows) override {
        g.SyncColumnWidths();
        if (!g.Refreshing())
            g.UpdateScrollBars();
        if (g.OnSizeChanged)
            g.OnSizeChanged(&g, oldCols, oldRows);
    }
    void RowInserted(int row) override { RaiseEvent(&g, g.OnRowInsert, row); }
    void RowDeleted(int row) override { RaiseEvent(&g, g.OnRowDelete, row); }
    void ColumnInserted(int col) override { RaiseEvent(&g, g.OnColumnInsert, col); }
    void ColumnDeleted(int col) override { RaiseEvent(&g, g.OnColumnDelete, col); }
    void Error(const QString& message) override { g.ReportError(message); }
    bool CanSelectCell(int col, int row) override { return g.m_uncheckedMove || g.CanSelect(col, row); }
    int VisibleColCountFrom(int leftCol) override { return g.ColsFitFrom(leftCol); }
    void AutoSizeColumn(int col, bool force) override { g.AutoSizeColumn(col, force); }
    void SortBegun(int& col) override {
        // Rows move under an editor the program did not close: its text is not taken,
        // and a typed text waiting for its check would be checked in another row.
        g.DropEdit(true);
        g.m_valEdited = false;
        if (g.OnBeginSort)
            g.OnBeginSort(&g, col);
    }
    void SortEnded(int col) override { RaiseEvent(&g, g.OnEndSort, col); }
    bool GetSortStyle(int col, TSortStyle& style) override {
        if (!g.OnGetSortStyle)
            return false;
        g.OnGetSortStyle(&g, col, style);
        return true;
    }
    void FilterRow(const QStringList& row, bool& accept) override {
        if (g.OnSetFilter)
            g.OnSetFilter(row, accept);
    }

private:
    TSortGrid& g;
};

TSortGrid::TSortGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    m_ownData = std::make_unique<SortGridData>();
    m_data = m_ownData.get();
    Init();
}

TSortGrid::TSortGrid(SortGridData* data, QWidget* parent) : QAbstractScrollArea(parent) {
    if (data) {
        m_data = data;
    } else {
        m_ownData = std::make_unique<SortGridData>();
        m_data = m_ownData.get();
    }
    Init();
}

TSortGrid::~TSortGrid() {
    m_editor->removeEventFilter(this);
    // The list may live on the window, which can outlive us. Its filters go
    // first: a list being destroyed must not reach a grid being destroyed.
    if (QListWidget* list = m_comboList.data()) {
        list->removeEventFilter(this);
        list->viewport()->removeEventFilter(this);
        m_comboList = nullptr;
        delete list;
    }
    // The data may outlive us: it must not call a dead grid.
    if (m_data->Events() == m_dataEvents.get())
        m_data->SetEvents(nullptr);
}

void TSortGrid::Init() {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_editor = new QLineEdit(viewport());
    m_editor->setFrame(false);
    m_editor->hide();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textEdited, this, [this](const QString& text) { EditorTextEdited(text); });

    // The drop-down list belongs to the window so that it may reach above the grid.
    m_comboList = new QListWidget(this);
    m_comboList->hide();
    m_comboList->setFocusPolicy(Qt::ClickFocus);
    m_comboList->installEventFilter(this);
    m_comboList->viewport()->installEventFilter(this);

    SyncColumnWidths();
    InstallDataHooks();
    UpdateScrollBars();
}

void TSortGrid::InstallDataHooks() {
    m_dataEvents = std::make_unique<DataEvents>(*this);
    if (!m_data->SetEvents(m_dataEvents.get()))
        qWarning() << "TSortGrid: the data is shown by another grid already";
}

void TSortGrid::ReportError(const QString& message) {
    if (m_prompts)
        m_prompts->showError(this, message);
    else
        qWarning() << "TSortGrid:" << message;
}

bool TSortGrid::Refreshing() const {
    return Updating() || m_batchDepth > 0;
}

void TSortGrid::DataChanged() {
    // Inside an update or a batch of program writes the view follows once, at the end.
    if (Refreshing())
        return;
    SyncColumnWidths();
    UpdateScrollBars();
    if (Col() != m_knownCol || Row() != m_knownRow) {
        m_knownCol = Col();
        m_knownRow = Row();
        if (!m_extending) {
            m_anchorCol = Col();
            m_anchorRow = Row();
        }
    }
    m_anchorCol = std::clamp(m_anchorCol, 0, std::max(0, ColCount() - 1));
    m_anchorRow = std::clamp(m_anchorRow, 1, std::max(1, RowCount() - 1));
    if (EditorMode()) {
        if (m_editCol != Col() || m_editRow != Row() || m_editRow >= RowCount())
            HideEditor();
        else if (!m_ownWrite && Cell(m_editCol, m_editRow) != m_editCellText)
            DropEdit(false); // the cell changed under the editor without a cell write (rows moved)
        else
            PlaceEditor();
    }
    if (!EditorMode() && (m_options & goAlwaysShowEditor) && hasFocus() && !Updating() && CanEditShow())
        ShowEditor();
    viewport()->update();
    emit ContentsChanged();
}

void TSortGrid::CellWritten(int col, int row) {
    if (m_ownWrite) {
        if (EditorMode() && col == m_editCol && row == m_editRow)
            m_editCellText = Cell(col, row);
        return;
    }
    // The program wrote the cell the operator is editing or has typed into: its text wins,
    // and the typed text is neither written back nor checked against the old one.
    if (m_valEdited && col == m_valCol && row == m_valRow) {
        m_valEdited = false;
        m_valText = Cell(col, row);
    }
    if (EditorMode() && col == m_editCol && row == m_editRow)
        DropEdit(false);
}

void TSortGrid::DropEdit(bool revert) {
    if (!EditorMode())
        return;
    const int col = m_editCol;
    const int row = m_editRow;
    const bool typed = m_editor->text() != m_editorStartText;
    if (revert && Cell(col, row) != m_editorStartText)
        SetCellForEditor(col, row, m_editorStartText);
    if (m_valCol == col && m_valRow == row) {
        m_valEdited = false;
        m_valText = Cell(col, row);
    }
    HideEditor();
    if (revert && !typed)
        return; // nothing was typed: the editor only closed
    if (OnEditDropped)
        OnEditDropped(this, col, row);
}

void TSortGrid::SetCellForEditor(int col, int row, const QString& text) {
    const bool was = m_ownWrite;
    m_ownWrite = true;
    m_data->SetCell(col, row, text);
    m_ownWrite = was;
}

void TSortGrid::Batch(const std::function<void(SortGridData& data)>& writes) {
    ++m_batchDepth;
    writes(*m_data);
    --m_batchDepth;
    DataChanged();
}

void TSortGrid::SyncColumnWidths() {
    const auto n = static_cast<size_t>(std::max(0, ColCount()));
    if (m_colWidths.size() != n)
        m_colWidths.resize(n, m_defaultColWidth);
}

// --- data forwarding

QString TSortGrid::Cell(int col, int row) const {
    return m_data->Cell(col, row);
}
void TSortGrid::SetCell(int col, int row, const QString& text) {
    m_data->SetCell(col, row, text);
}
QStringList TSortGrid::Rows(int row) const {
    return m_data->Rows(row);
}
void TSortGrid::SetRows(int row, const QStringList& texts) {
    m_data->SetRows(row, texts);
}
QStringList TSortGrid::Cols(int col) const {
    return m_data->Cols(col);
}
int TSortGrid::ColCount() const {
    return m_data->ColCount();
}
void TSortGrid::SetColCount(int count) {
    m_data->SetColCount(count);
    SyncColumnWidths();
}
int TSortGrid::RowCount() const {
    return m_data->RowCount();
}
void TSortGrid::SetRowCount(int count) {
    m_data->SetRowCount(count);
}
int TSortGrid::Col() const {
    return m_data->Col();
}
void TSortGrid::SetCol(int col) {
    m_data->SetCol(col);
}
int TSortGrid::Row() const {
    return m_data->Row();
}
void TSortGrid::SetRow(int row) {
    m_data->SetRow(row);
}
TSortOptions& TSortGrid::SortOptions() {
    return m_data->SortOptions;
}
int TSortGrid::FindRow(int col, const QString& text, bool ignoreCase) const {
    return m_data->FindRow(col, text, ignoreCase);
}

void TSortGrid::ClearGrid() {
    HideEditor();
    m_data->ClearGrid();
}

void TSortGrid::InsertRow(int row) {
    HideEditor();
    m_data->InsertRow(row);
}

void TSortGrid::DeleteRow(int row) {
    HideEditor();
    m_data->DeleteRow(row);
}

void TSortGrid::InsertColumn(int col) {
    HideEditor();
    const int before = ColCount();
    m_data->InsertColumn(col);
    SyncColumnWidths();
    // The new last column moved to `col`: its width goes with it.
    if (ColCount() == before + 1 && col >= 0 && col < ColCount()) {
        const int w = m_colWidths.back();
        m_colWidths.pop_back();
        m_colWidths.insert(m_colWidths.begin() + col, w);
    }
    viewport()->update();
}

void TSortGrid::DeleteColumn(int col) {
    HideEditor();
    const int before = ColCount();
    if (col >= 0 && col < before) {
        std::vector<int> widths = m_colWidths;
        m_data->DeleteColumn(col);
        if (ColCount() == before - 1) {
            widths.erase(widths.begin() + col);
            m_colWidths = widths;
        }
    } else {
        m_data->DeleteColumn(col);
    }
    SyncColumnWidths();
    UpdateScrollBars();
    viewport()->update();
}

void TSortGrid::MoveRow(int from, int to) {
    HideEditor();
    m_data->MoveRow(from, to);
}

void TSortGrid::MoveColumn(int from, int to) {
    HideEditor();
    const int n = ColCount();
    m_data->MoveColumn(from, to);
    if (from >= 0 && from < n && to >= 0 && to < n && from != to && ColCount() == n) {
        const int w = m_colWidths[from];
        m_colWidths.erase(m_colWidths.begin() + from);
        m_colWidths.insert(m_colWidths.begin() + to, w);
    }
    viewport()->update();
}

void TSortGrid::ExchangeRows(int a, int b) {
    HideEditor();
    m_data->ExchangeRows(a, b);
}

bool TSortGrid::SortByColumn(int col) {
    ValidateCell();
    HideEditor();
    return m_data->SortByColumn(col);
}

bool TSortGrid::Modified() const {
    return m_data->Modified();
}
void TSortGrid::SetModified(bool modified) {
    m_data->SetModified(modified);
}
bool TSortGrid::Updating() const {
    return m_data->Updating();
}
void TSortGrid::BeginUpdate() {
    m_data->BeginUpdate();
}
void TSortGrid::EndUpdate() {
    m_data->EndUpdate();
}
bool TSortGrid::Filtered() const {
    return m_data->Filtered();
}
void TSortGrid::SetFiltered(bool filtered) {
    HideEditor();
    m_data->SetFiltered(filtered);
}
bool TSortGrid::IsRowSelected(int row) const {
    return m_data->IsRowSelected(row);
}
void TSortGrid::ClearSelection() {
    m_data->ClearSelection();
    viewport()->update();
}

void TSortGrid::SetUserSettings(const QStringList& settings) {
    m_userSettings = settings;
    SetModified(true);
}

// --- navigation

void TSortGrid::GoToCell(int col, int row, bool scroll) {
    m_data->SetVisibleRowCount(RowsFit());
    m_data->GoToCell(col, row, scroll);
    m_anchorCol = Col();
    m_anchorRow = Row();
    viewport()->update();
}

void TSortGrid::ScrollToCell(int col, int row) {
    m_data->SetVisibleRowCount(RowsFit());
    m_data->ScrollToCell(col, row);
}

TGridRect TSortGrid::Selection() const {
    TGridRect r;
    r.Left = std::min(m_anchorCol, Col());
    r.Right = std::max(m_anchorCol, Col());
    r.Top = std::min(m_anchorRow, Row());
    r.Bottom = std::max(m_anchorRow, Row());
    if (!(m_options & goRangeSelect) || (m_options & goEditing && EditorMode())) {
        r.Left = r.Right = Col();
        r.Top = r.Bottom = Row();
    }
    if (m_options & goRowSelect) {
        r.Left = 0;
        r.Right = std::max(0, ColCount() - 1);
    }
    return r;
}

void TSortGrid::SetSelection(const TGridRect& rect) {
    HideEditor();
    const int col = std::clamp(rect.Right, 0, std::max(0, ColCount() - 1));
    const int row = std::clamp(rect.Bottom, 1, std::max(1, RowCount() - 1));
    MakeCurrent(col, row);
    m_anchorCol = std::clamp(rect.Left, 0, std::max(0, ColCount() - 1));
    m_anchorRow = std::clamp(rect.Top, 1, std::max(1, RowCount() - 1));
    viewport()->update();
}

// --- options and looks

void TSortGrid::SetOptions(TGridOptions options) {
    if (options & goRowSelect)
        options &= ~TGridOptions(goAlwaysShowEditor);
    if (options == m_options)
        return;
    m_options = options;
    if (!(m_options & goEditing) || (m_options & goRowSelect))
        HideEditor();
    else if ((m_options & goAlwaysShowEditor) && hasFocus() && CanEditShow())
        ShowEditor();
    viewport()->update();
}

void TSortGrid::SetOption(TGridOption option, bool on) {
    TGridOptions options = m_options;
    options.setFlag(option, on);
    SetOptions(options);
}

void TSortGrid::SetScrollBars(TScrollStyle style) {
    m_scrollBars = style;
    const bool vert = style == TScrollStyle::ssVertical || style == TScrollStyle::ssBoth;
    const bool horz = style == TScrollStyle::ssHorizontal || style == TScrollStyle::ssBoth;
    setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    UpdateScrollBars();
}

void TSortGrid::SetProportionalScrollBars(bool on) {
    m_proportionalScrollBars = on;
    UpdateScrollBars();
}

void TSortGrid::SetColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    viewport()->update();
}

void TSortGrid::SetFixedColor(const QColor& color) {
    if (color == m_fixedColor)
        return;
    m_fixedColor = color;
    viewport()->update();
}

void TSortGrid::SetSelectionColor(const QColor& color) {
    m_selectionColor = color;
    viewport()->update();
}

void TSortGrid::SetSelectionTextColor(const QColor& color) {
    m_selectionTextColor = color;
    viewport()->update();
}

void TSortGrid::SetGridLineColor(const QColor& color) {
    m_gridLineColor = color;
    viewport()->update();
}

void TSortGrid::SetAlignmentHorz(TAlignment alignment) {
    m_alignmentHorz = alignment;
    viewport()->update();
}

void TSortGrid::SetAlignmentVert(TVertAlignment alignment) {
    m_alignmentVert = alignment;
    viewport()->update();
}

void TSortGrid::SetBevelStyle(TCellBevelStyle style) {
    m_bevelStyle = style;
    viewport()->update();
}

void TSortGrid::SetHideRows(bool hide) {
    m_hideRows = hide;
    if (RowCount() > 1)
        SetRow(1);
    viewport()->update();
}

void TSortGrid::SetMultiSelect(bool on) {
    m_multiSelect = on;
    if (on)
        SetOption(goRowSelect, true);
}

// --- column widths

void TSortGrid::AutoSizeColumn(int col, bool force) {
    if (col < 0 || col >= ColCount())
        return;
    if (ColWidths(col) == -1 && !force)
        return;
    QFont last = font();
    int headerWidth = 0;
    int dataWidth = 0;
    for (int r = 0; r < RowCount(); ++r) {
        const TCellFormat cf = CellFormat(col, r);
        last = cf.Format.Font;
        const QFontMetrics metrics(last);
        // Very long cells: the column never grows past what a screen can show.
        const int w = metrics.horizontalAdvance(Cell(col, r).left(2000));
        if (r == 0)
            headerWidth = w + (col == SortOptions().SortCol && SortOptions().CanSort ? 12 : 0);
        else
            dataWidth = std::max(dataWidth, w);
    }
    const QFontMetrics metrics(last);
    const int w = std::max(headerWidth, dataWidth);
    SetColWidths(col, w <= 0 ? metrics.horizontalAdvance(QStringLiteral("xx"))
                             : w + metrics.horizontalAdvance(QStringLiteral("X")));
}

void TSortGrid::AutoSizeColumns(bool force) {
    m_data->AutoSizeColumns(force);
}

void TSortGrid::ApplyStretch() {
    // The columns before the last must all be in view. The last one's own width
    // does not count: a scroll bar that just appeared must not stop the stretch.
    const int n = ColCount();
    if (n < 1 || LeftCol() > n - 1 || ColsFitFrom(LeftCol()) < n - 1 - LeftCol())
        return;
    int s = 0;
    for (int c = LeftCol(); c <= n - 2; ++c)
        s += ColWidths(c);
    // The width the view has once the vertical bar shows, so that the stretched
    // column never calls for a horizontal bar.
    int view = contentsRect().width();
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && m_data->MaxTopRow() > 1)
        view -= verticalScrollBar()->sizeHint().width();
    const int w = std::min(viewport()->width(), view) - s - (n - LeftCol());
    if (w > 0 && ColWidths(n - 1) >= 0)
        SetColWidths(n - 1, w);
}

void TSortGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    ApplyStretch();
    UpdateScrollBars();
    if (EditorMode())
        PlaceEditor();
    viewport()->update();
    // Bars shown or hidden from inside a resize are laid out again afterwards.
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

void TSortGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_editor->setFont(font());
        m_comboList->setFont(font());
        viewport()->update();
    }
}

QSize TSortGrid::sizeHint() const {
    return {320, 200};
}
