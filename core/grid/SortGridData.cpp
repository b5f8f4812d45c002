#include "core/grid/SortGridData.h"

#include "core/grid/ColumnSortKeys.h"
#include "core/grid/GridCopy.h"

#include <algorithm>
#include <numeric>

namespace {

const QString kIndexError = QStringLiteral("Grid index out of range");
const QString kRowsizeError = QStringLiteral("Rowsize too small");

} // namespace

SortGridData::SortGridData(int colCount, int rowCount)
    : m_colCount(std::max(1, colCount)), m_rowCount(std::max(1, rowCount)) {
    m_row = m_rowCount > 1 ? 1 : 0;
}

SortGridData::SortGridData(const GridCopy& copy)
    : m_cells(copy.StoredRows()), m_colCount(std::max(1, copy.ColCount())), m_rowCount(std::max(1, copy.RowCount())) {
    m_row = m_rowCount > 1 ? 1 : 0;
}

SortGridData::~SortGridData() = default;

bool SortGridData::SetEvents(SortGridEvents* events) {
    if (events && m_events && m_events != events)
        return false;
    m_events = events;
    return true;
}

void SortGridData::Changed() const {
    if (m_events)
        m_events->GridChanged();
}

void SortGridData::ReportError(const QString& message) const {
    if (m_events)
        m_events->Error(message);
}

void SortGridData::RaiseRowSelected() const {
    if (m_events)
        m_events->RowSelected();
}

void SortGridData::RaiseTopLeftChanged() const {
    if (m_events)
        m_events->TopLeftChanged();
}

QStringList& SortGridData::StoredRow(int row) {
    if (static_cast<size_t>(row) >= m_cells.size())
        m_cells.resize(static_cast<size_t>(row) + 1);
    return m_cells[static_cast<size_t>(row)];
}

// --- cells and counts

int SortGridData::ColCount() const {
    return m_colCount;
}

int SortGridData::RowCount() const {
    return m_rowCount;
}

void SortGridData::SetColCount(int count) {
    count = std::max(1, count);
    if (count == m_colCount)
        return;
    const int oldCol = m_colCount;
    m_colCount = count;
    if (!m_updating)
        SizeChanged(oldCol, m_rowCount);
    Changed();
}

void SortGridData::SetRowCount(int count) {
    count = std::max(1, count);
    if (count == m_rowCount)
        return;
    const int oldRow = m_rowCount;
    m_rowCount = count;
    if (!m_updating)
        SizeChanged(m_colCount, oldRow);
    Changed();
}

QString SortGridData::Cell(int col, int row) const {
    if (col < 0 || row < 0 || static_cast<size_t>(row) >= m_cells.size())
        return {};
    const QStringList& cells = m_cells[static_cast<size_t>(row)];
    return col < cells.size() ? cells.at(col) : QString();
}

void SortGridData::SetCell(int col, int row, const QString& text) {
    if (col < 0 || row < 0)
        return;
    if (text.isEmpty() && Cell(col, row).isEmpty())
        return; // nothing to store, and no need to grow the storage
    QStringList& cells = StoredRow(row);
    while (cells.size() <= col)
        cells.append(QString());
    if (cells[col] == text)
        return;
    cells[col] = text;
    if (static_cast<size_t>(col) < m_sortKeys.size() && m_sortKeys[static_cast<size_t>(col)])
        m_sortKeys[static_cast<size_t>(col)]->Invalidate(row);
    if (m_events)
        m_events->CellChanged(col, row);
    Changed();
}

QStringList SortGridData::Rows(int row) const {
    QStringList texts;
    texts.reserve(m_colCount);
    for (int c = 0; c < m_colCount; ++c)
        texts.append(Cell(c, row));
    return texts;
}

void SortGridData::SetRows(int row, const QStringList& texts) {
    if (row < 0)
        return;
    for (int c = 0; c < m_colCount; ++c)
        SetCell(c, row, c < texts.size() ? texts.at(c) : QString());
}

QStringList SortGridData::StoredCells(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_cells.size() ? m_cells[static_cast<size_t>(row)] : QStringList();
}

QStringList SortGridData::Cols(int col) const {
    QStringList texts;
    texts.reserve(m_rowCount);
    for (int r = 0; r < m_rowCount; ++r)
        texts.append(Cell(col, r));
    return texts;
}

bool SortGridData::RowIsEmpty(int row) const {
    for (int c = 0; c < m_colCount; ++c)
        if (!Cell(c, row).isEmpty())
            return false;
    return true;
}

// --- current cell and row selection

int SortGridData::Col() const {
    return m_col;
}

int SortGridData::Row() const {
    return m_row;
}

void SortGridData::SetCol(int col) {
    if (col < 0 || col >= m_colCount) {
        ReportError(kIndexError);
        return;
    }
    if (col == m_col || !SelectCell(col, m_row))
        return;
    m_col = col;
    Changed();
}

void SortGridData::SetRow(int row) {
    if (row < 1 || row >= m_rowCount) {
        ReportError(kIndexError);
        return;
    }
    if (row == m_row || !SelectCell(m_col, row))
        return;
    m_row = row;
    Changed();
}

bool SortGridData::IsRowSelected(int row) const {
    return std::binary_search(m_selected.begin(), m_selected.end(), row);
}

const std::vector<int>& SortGridData::SelectedRows() const {
    return m_selected;
}

void SortGridData::ClearSelection() {
    m_selected.clear();
    m_anchor = -1;
    Changed();
}

void SortGridData::SelectRow(int row) {
    m_selected.assign(1, row);
    m_anchor = row;
    Changed();
}

bool SortGridData::SelectCell(int col, int row) {
    if (m_events && !m_events->CanSelectCell(col, row))
        return false;
    if (m_trackSelection) {
        SelectRow(row);
        RaiseRowSelected();
    }
    return true;
}

void SortGridData::AddSelectedRow(int row) {
    const auto it = std::lower_bound(m_selected.begin(), m_selected.end(), row);
    if (it == m_selected.end() || *it != row)
        m_selected.insert(it, row);
    Changed();
}

void SortGridData::RemoveSelectedRow(int row) {
    const auto it = std::lower_bound(m_selected.begin(), m_selected.end(), row);
    if (it != m_selected.end() && *it == row)
        m_selected.erase(it);
    Changed();
}

void SortGridData::SetSelectedRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    m_selected = std::move(rows);
    Changed();
}

void SortGridData::SetAnchor(int row) {
    m_anchor = row;
}

// Keeps the current cell and the row selection inside the grid after the counts changed.
void SortGridData::ClampCurrent() {
    m_col = std::clamp(m_col, 0, m_colCount - 1);
    m_row = std::clamp(m_row, 0, std::max(0, m_rowCount - 1));
    m_selected.erase(std::remove_if(m_selected.begin(), m_selected.end(), [&](int r) { return r >= m_rowCount; }),
                     m_selected.end());
    if (m_anchor >= m_rowCount)
        m_anchor = -1;
    m_topRow = std::clamp(m_topRow, 1, MaxTopRow());
    m_leftCol = std::clamp(m_leftCol, 0, m_colCount - 1);
}

// --- navigation

int SortGridData::MaxTopRow() const {
    return std::max(1, m_rowCount - m_visibleRowCount);
}

void SortGridData::SetTopRow(int row) {
    row = std::clamp(row, 1, MaxTopRow());
    if (row == m_topRow)
        return;
    m_topRow = row;
    RaiseTopLeftChanged();
    Changed();
}

void SortGridData::SetLeftCol(int col) {
    col = std::clamp(col, 0, m_colCount - 1);
    if (col == m_leftCol)
        return;
    m_leftCol = col;
    RaiseTopLeftChanged();
    Changed();
}

void SortGridData::SetVisibleRowCount(int count) {
    m_visibleRowCount = std::max(0, count);
}

int SortGridData::VisibleColCount() const {
    return m_visibleColCount < 0 ? m_colCount : m_visibleColCount;
}

void SortGridData::SetVisibleColCount(int count) {
    m_visibleColCount = count;
}

void SortGridData::GoToCell(int col, int row, bool scroll) {
    col = std::clamp(col, 0, m_colCount - 1);
    row = std::min(row, m_rowCount - 1);
    row = std::max(row, 1);
    if (row >= m_rowCount)
        return; // no data row to go to
    if (!SelectCell(col, row))
        return;
    m_col = col;
    m_row = row;
    m_selected.assign(1, row);
    m_anchor = row;
    Changed();
    if (scroll)
        ScrollToCell(col, row);
}

void SortGridData::ScrollToCell(int col, int row) {
    col = std::clamp(col, 0, m_colCount - 1);
    row = std::max(std::min(row, m_rowCount - 1), 1);
    int left = m_leftCol;
    const auto visibleFrom = [&](int lc) {
        const int fit = m_events ? m_events->VisibleColCountFrom(lc) : -1;
        const int n = fit < 0 ? VisibleColCount() : fit;
        return std::max(1, n);
    };
    if (col < left) {
        left = col;
    } else {
        while (col > left + visibleFrom(left) - 1 && left < m_colCount - 1)
            ++left;
    }
    // The target row one below the top when possible, never past the last page.
    const int e = std::max(1, m_rowCount - m_visibleRowCount);
    const int top = e >= row ? std::max(1, row - 1) : e;
    if (left == m_leftCol && top == m_topRow)
        return;
    m_leftCol = left;
    m_topRow = top;
    RaiseTopLeftChanged();
    Changed();
}

void SortGridData::WheelDown() {
    ScrollToCell(m_col, m_topRow + 2);
}

void SortGridData::WheelUp() {
    ScrollToCell(m_col, m_topRow - 2);
}

int SortGridData::IncrementalSearchRow(QChar ch) const {
    const auto upperAZ = [](QChar c) { return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - (u'a' - u'A')) : c; };
    const QChar key = upperAZ(ch);
    const int col = SortOptions.SortCol;
    const auto matches = [&](int r) {
        const QString text = Cell(col, r);
        return !text.isEmpty() && upperAZ(text.at(0)) == key;
    };
    for (int r = m_row + 1; r < m_rowCount; ++r)
        if (matches(r))
            return r;
    for (int r = 1; r <= m_row && r < m_rowCount; ++r)
        if (matches(r))
            return r;
    return -1;
}

bool SortGridData::IncrementalSearch(QChar ch) {
    const int row = IncrementalSearchRow(ch);
    if (row < 0)
        return false;
    GoToCell(SortOptions.SortCol, row, true);
    return true;
}

// --- row and column operations

int SortGridData::FindRow(int col, const QString& text, bool ignoreCase) const {
    if (col < 0)
        return -1;
    const QString empty;
    const QString wanted = ignoreCase ? LowerAZ(text) : text;
    const int last = m_rowCount - 1 + m_hiddenRows;
    for (int r = 1; r <= last; ++r) {
        // Read the stored cell in place: no copy per row.
        const QStringList* cells = static_cast<size_t>(r) < m_cells.size() ? &m_cells[static_cast<size_t>(r)] : nullptr;
        const QString& cell = cells && col < cells->size() ? cells->at(col) : empty;
        if (ignoreCase ? LowerAZ(cell) == wanted : cell == wanted)
            return r;
    }
    return -1;
}

void SortGridData::ClearGrid() {
    DropSortKeys();
    BeginUpdate();
    if (m_rowCount > 1)
        SetRow(1);
    m_selected.clear();
    m_anchor = 1;
    // Rows parked by the filter go as well: a cleared grid must not bring them back.
    const int last = std::min<int>(static_cast<int>(m_cells.size()) - 1, m_rowCount - 1 + m_hiddenRows);
    for (int r = 1; r <= last; ++r)
        m_cells[static_cast<size_t>(r)].clear();
    m_hiddenRows = 0;
    m_modified = false;
    SetRowCount(2);
    AutoSizeColumns(true);
    EndUpdate();
    RaiseRowSelected();
}

void SortGridData::InsertRow(int row) {
    DropSortKeys();
    if (row < 1) {
        // Inserting above the first data row would push the header down.
        ReportError(kIndexError);
        return;
    }
    // An empty stored row at the end of the visible rows keeps parked (filtered) rows intact.
    if (static_cast<size_t>(m_rowCount) < m_cells.size())
        m_cells.insert(m_cells.begin() + m_rowCount, QStringList());
    SetRowCount(m_rowCount + 1);
    const int n = m_rowCount;
    if (row < n - 2)
        MoveRow(n - 1, row);
    else
        ++row;
    if (row >= n) {
        // Beyond the last row: the appended row stays, the row cannot become current.
        ReportError(kIndexError);
        return;
    }
    if (static_cast<size_t>(row) < m_cells.size())
        m_cells[static_cast<size_t>(row)].clear();
    SetRow(row);
    SelectRow(row);
    if (m_events)
        m_events->RowInserted(row);
}

void SortGridData::DeleteRow(int row) {
    DropSortKeys();
    SetModified(true);
    if (m_rowCount < 3) {
        if (static_cast<size_t>(1) < m_cells.size())
            m_cells[1].clear();
        Changed();
    } else if (row >= 1 && row < m_rowCount) {
        // The row leaves the storage: cutting it off behind the last row would put it in
        // front of rows parked by the filter, and it would come back in their place.
        if (static_cast<size_t>(row) < m_cells.size())
            m_cells.erase(m_cells.begin() + row);
        if (m_row > row)
            --m_row;
        std::vector<int> selected;
        for (const int r : m_selected)
            if (r != row)
                selected.push_back(r > row ? r - 1 : r);
        m_selected = std::move(selected);
        if (m_anchor == row)
            m_anchor = -1;
        else if (m_anchor > row)
            --m_anchor;
        SetRowCount(m_rowCount - 1);
    } else {
        ReportError(kIndexError);
        return;
    }
    if (m_events)
        m_events->RowDeleted(row);
}

void SortGridData::InsertColumn(int col) {
    DropSortKeys();
    if (col < 0)
        col = 0;
    // An empty cell at the end of every stored row, so no stale texts become the new column.
    for (QStringList& cells : m_cells)
        if (cells.size() > m_colCount)
            cells.insert(m_colCount, QString());
    SetColCount(m_colCount + 1);
    col = std::min(col, m_colCount - 1);
    MoveColumn(m_colCount - 1, col);
    for (QStringList& cells : m_cells)
        if (cells.size() > col)
            cells[col].clear();
    if (col != m_col && SelectCell(col, m_row))
        m_col = col;
    Changed();
    if (m_events)
        m_events->ColumnInserted(col);
}

void SortGridData::DeleteColumn(int col) {
    DropSortKeys();
    if (col < 0 || col >= m_colCount) {
        ReportError(kIndexError);
        return;
    }
    if (m_colCount < 2) {
        ReportError(QStringLiteral("Too many rows or columns deleted"));
        return;
    }
    for (QStringList& cells : m_cells)
        if (cells.size() > col)
            cells.removeAt(col);
    if (m_col > col)
        --m_col;
    const int sortCol = SortOptions.SortCol;
    if (sortCol > col)
        SortOptions.SortCol = sortCol - 1;
    SetColCount(m_colCount - 1);
    ClampCurrent();
    Changed();
    if (m_events)
        m_events->ColumnDeleted(col);
}

int SortGridData::MovedIndex(int index, int from, int to) const {
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (to < from && index >= to && index < from)
        return index + 1;
    return index;
}

void SortGridData::MoveRow(int from, int to) {
    DropSortKeys();
    if (from < 0 || to < 0 || from == to)
        return;
    StoredRow(std::max(from, to));
    const auto first = m_cells.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    m_row = MovedIndex(m_row, from, to);
    for (int& r : m_selected)
        r = MovedIndex(r, from, to);
    std::sort(m_selected.begin(), m_selected.end());
    if (m_anchor >= 0)
        m_anchor = MovedIndex(m_anchor, from, to);
    Changed();
}

void SortGridData::MoveColumn(int from, int to) {
    DropSortKeys();
    if (from < 0 || to < 0 || from == to)
        return;
    const int needed = std::max(from, to) + 1;
    for (QStringList& cells : m_cells) {
        if (cells.size() <= std::min(from, to))
            continue; // nothing stored in the moved range
        while (cells.size() < needed)
            cells.append(QString());
        cells.move(from, to);
    }
    m_col = MovedIndex(m_col, from, to);
    int& sortCol = SortOptions.SortCol;
    if (from == sortCol)
        sortCol = to;
    else if (to <= sortCol && sortCol <= from)
        ++sortCol;
    else if (from <= sortCol && sortCol <= to)
        --sortCol;
    SetModified(true);
    Changed();
}

void SortGridData::ExchangeRows(int a, int b) {
    if (a < b) {
        MoveRow(b, a);
        MoveRow(a + 1, b);
    } else if (b < a) {
        MoveRow(a, b);
        MoveRow(b + 1, a);
    }
}

// --- column widths

void SortGridData::AutoSizeColumns(bool force) {
    BeginUpdate();
    if (m_events)
        for (int c = 0; c < m_colCount; ++c)
            m_events->AutoSizeColumn(c, force);
    EndUpdate();
}

// --- modified flag, update state, size changes

bool SortGridData::Modified() const {
    return m_modified;
}

void SortGridData::SetModified(bool modified) {
    m_modified = modified;
    if (modified && m_events)
        m_events->Modified();
}

bool SortGridData::Updating() const {
    return m_updating;
}

void SortGridData::BeginUpdate() {
    // A nested BeginUpdate keeps the value remembered by the first one: the option is
    // already switched off here, and remembering that would lose it for good.
    if (!m_updating)
        m_savedUpdateOnSizeChange = SortOptions.UpdateOnSizeChange;
    m_updating = true;
    if (m_events)
        m_events->UpdateBegun();
    SortOptions.UpdateOnSizeChange = false;
}

void SortGridData::EndUpdate() {
    if (!m_updating)
        SizeChanged(m_colCount, m_rowCount); // a nested EndUpdate already cleared the flag
    else
        ClampCurrent(); // counts changed during the update, silently
    m_updating = false;
    SortOptions.UpdateOnSizeChange = m_savedUpdateOnSizeChange;
    Changed();
    if (m_events)
        m_events->UpdateEnded();
}

void SortGridData::SizeChanged(int oldColCount, int oldRowCount) {
    ClampCurrent();
    SetModified(true);
    if (SortOptions.UpdateOnSizeChange)
        SortByColumn(SortOptions.SortCol);
    if (!m_updating)
        GoToCell(0, 1, true);
    if (m_rowCount < 2)
        ReportError(kRowsizeError);
    if (m_events)
        m_events->SizeChanged(oldColCount, oldRowCount);
}
