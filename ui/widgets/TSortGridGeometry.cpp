// Geometry of TSortGrid: column widths and row heights, where cells stand in
// the view, how many fit, and the scroll bars.
#include "ui/widgets/TSortGrid.h"

#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

// --- geometry

int TSortGrid::ColWidths(int col) const {
    if (col < 0 || col >= static_cast<int>(m_colWidths.size()))
        return m_defaultColWidth;
    return m_colWidths[static_cast<size_t>(col)];
}

void TSortGrid::SetColWidths(int col, int width) {
    SyncColumnWidths();
    if (col < 0 || col >= static_cast<int>(m_colWidths.size()) || m_colWidths[static_cast<size_t>(col)] == width)
        return;
    m_colWidths[static_cast<size_t>(col)] = width;
    UpdateScrollBars();
    if (EditorMode())
        PlaceEditor();
    viewport()->update();
    if (OnColumnWidthsChanged)
        OnColumnWidthsChanged(this);
}

int TSortGrid::RowHeights(int row) const {
    const auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? m_defaultRowHeight : it->second;
}

void TSortGrid::SetRowHeights(int row, int height) {
    if (row < 0 || RowHeights(row) == height)
        return;
    if (height == m_defaultRowHeight)
        m_rowHeights.erase(row);
    else
        m_rowHeights[row] = height;
    UpdateScrollBars();
    viewport()->update();
}

void TSortGrid::SetDefaultColWidth(int width) {
    if (width == m_defaultColWidth)
        return;
    m_defaultColWidth = width;
    std::fill(m_colWidths.begin(), m_colWidths.end(), width);
    UpdateScrollBars();
    viewport()->update();
}

void TSortGrid::SetDefaultRowHeight(int height) {
    if (height == m_defaultRowHeight)
        return;
    m_defaultRowHeight = height;
    m_rowHeights.clear();
    UpdateScrollBars();
    viewport()->update();
}

void TSortGrid::SetGridLineWidth(int width) {
    m_gridLineWidth = std::max(0, width);
    UpdateScrollBars();
    viewport()->update();
}

int TSortGrid::ColExtent(int col) const {
    return std::max(0, ColWidths(col) + m_gridLineWidth);
}
int TSortGrid::RowExtent(int row) const {
    return std::max(0, RowHeights(row) + m_gridLineWidth);
}
int TSortGrid::TopRow() const {
    return m_data->TopRow();
}
int TSortGrid::LeftCol() const {
    return m_data->LeftCol();
}

int TSortGrid::ColLeft(int col) const {
    if (col < LeftCol())
        return -1;
    int x = 0;
    for (int c = LeftCol(); c < col; ++c)
        x += ColExtent(c);
    return x;
}

int TSortGrid::RowTop(int row) const {
    if (row == 0)
        return 0;
    if (row < TopRow())
        return -1;
    int y = RowExtent(0);
    const int h = viewport()->height();
    for (int r = TopRow(); r < row && y <= h; ++r)
        y += RowExtent(r);
    return y;
}

QRect TSortGrid::CellRect(int col, int row) const {
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount())
        return {};
    const int x = ColLeft(col);
    const int y = RowTop(row);
    if (x < 0 || y < 0 || x > viewport()->width() || y > viewport()->height())
        return {};
    return {x, y, std::max(0, ColWidths(col)), std::max(0, RowHeights(row))};
}

TGridCoord TSortGrid::MouseCoord(int x, int y) const {
    TGridCoord coord;
    if (x >= 0) {
        int cx = 0;
        for (int c = LeftCol(); c < ColCount(); ++c) {
            cx += ColExtent(c);
            if (x < cx) {
                coord.X = c;
                break;
            }
        }
    }
    if (y >= 0 && RowCount() > 0) {
        int cy = RowExtent(0);
        if (y < cy) {
            coord.Y = 0;
        } else {
            for (int r = TopRow(); r < RowCount() && cy <= viewport()->height(); ++r) {
                cy += RowExtent(r);
                if (y < cy) {
                    coord.Y = r;
                    break;
                }
            }
        }
    }
    return coord;
}

int TSortGrid::VisibleRowCount() const {
    const int avail = viewport()->height() - RowExtent(0);
    int y = 0;
    int n = 0;
    for (int r = TopRow(); r < RowCount(); ++r) {
        y += RowExtent(r);
        if (y > avail)
            break;
        ++n;
    }
    return n;
}

int TSortGrid::ColsFitFrom(int leftCol) const {
    const int avail = viewport()->width();
    int x = 0;
    int n = 0;
    for (int c = std::max(0, leftCol); c < ColCount(); ++c) {
        x += ColExtent(c);
        if (x > avail)
            break;
        ++n;
    }
    return n;
}

int TSortGrid::VisibleColCount() const {
    return ColsFitFrom(LeftCol());
}

int TSortGrid::RowsFit() const {
    const int avail = viewport()->height() - RowExtent(0);
    if (avail <= 0)
        return 0;
    if (m_rowHeights.empty() || (m_rowHeights.size() == 1 && m_rowHeights.begin()->first == 0)) {
        const int extent = std::max(1, m_defaultRowHeight + m_gridLineWidth);
        return avail / extent;
    }
    // Rows of their own height: count what fits on the last page.
    int y = 0;
    int n = 0;
    for (int r = RowCount() - 1; r >= 1; --r) {
        y += RowExtent(r);
        if (y > avail)
            return n;
        ++n;
    }
    const int extent = std::max(1, m_defaultRowHeight + m_gridLineWidth);
    return n + (avail - y) / extent;
}

int TSortGrid::MaxLeftCol() const {
    const int avail = viewport()->width();
    int x = 0;
    int left = ColCount();
    for (int c = ColCount() - 1; c >= 0; --c) {
        x += ColExtent(c);
        if (x > avail)
            break;
        left = c;
    }
    return std::max(0, std::min(left, ColCount() - 1));
}

// Hands the view's size to the data (its scroll arithmetic needs it) and sets the bars.
void TSortGrid::UpdateScrollBars() {
    if (m_syncingScrollBars)
        return;
    m_syncingScrollBars = true;
    m_data->SetVisibleRowCount(RowsFit());
    m_data->SetVisibleColCount(VisibleColCount());
    const int oldTop = TopRow();
    const int oldLeft = LeftCol();
    if (TopRow() > m_data->MaxTopRow())
        m_data->SetTopRow(m_data->MaxTopRow());
    const int maxLeft = MaxLeftCol();
    if (LeftCol() > maxLeft)
        m_data->SetLeftCol(maxLeft);

    QScrollBar* v = verticalScrollBar();
    v->setRange(0, m_data->MaxTopRow() - 1);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, maxLeft);
    h->setSingleStep(1);
    if (m_proportionalScrollBars && RowCount() > 0 && ColCount() > 0) {
        const double vRange = v->maximum() - v->minimum() + 1;
        v->setPageStep(std::max(1, static_cast<int>(std::lround((VisibleRowCount() + 1.0) / RowCount() * vRange))));
        const double hRange = h->maximum() - h->minimum() + 1;
        h->setPageStep(std::max(1, static_cast<int>(std::lround(double(VisibleColCount()) / ColCount() * hRange))));
    } else {
        v->setPageStep(std::max(1, VisibleRowCount()));
        h->setPageStep(std::max(1, VisibleColCount()));
    }
    v->setValue(TopRow() - 1);
    h->setValue(LeftCol());
    m_syncingScrollBars = false;
    if (oldTop != TopRow() || oldLeft != LeftCol())
        TopLeftMoved();
}

// The bars moved by the operator.
void TSortGrid::scrollContentsBy(int, int) {
    if (m_syncingScrollBars)
        return;
    m_syncingScrollBars = true;
    m_data->SetTopRow(verticalScrollBar()->value() + 1);
    m_data->SetLeftCol(horizontalScrollBar()->value());
    m_syncingScrollBars = false;
    TopLeftMoved();
}

void TSortGrid::TopLeftMoved() {
    if (!m_syncingScrollBars) {
        m_syncingScrollBars = true;
        verticalScrollBar()->setValue(TopRow() - 1);
        horizontalScrollBar()->setValue(LeftCol());
        m_syncingScrollBars = false;
    }
    if (EditorMode())
        PlaceEditor();
    if (m_comboList && !m_comboList->isHidden())
        HideComboList();
    viewport()->update();
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

void TSortGrid::SetTopRow(int row) {
    m_data->SetVisibleRowCount(RowsFit());
    m_data->SetTopRow(row);
}

void TSortGrid::SetLeftCol(int col) {
    m_data->SetLeftCol(std::min(col, MaxLeftCol()));
}
