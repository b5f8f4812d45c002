#include "core/grid/GridCopy.h"

#include "core/grid/SortGridData.h"

GridCopy::GridCopy(const SortGridData& grid) : m_colCount(grid.ColCount()) {
    m_rows.reserve(static_cast<size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        m_rows.push_back(grid.StoredCells(r));
}

QString GridCopy::Cell(int col, int row) const {
    if (col < 0 || col >= m_colCount || row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return {};
    const QStringList& cells = m_rows[static_cast<size_t>(row)];
    return col < cells.size() ? cells.at(col) : QString();
}
