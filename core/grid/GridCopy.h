#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class SortGridData;

// An immutable copy of a grid's visible cells. Taking it costs a reference count per
// row (the rows share their texts with the grid), so the window's thread takes it at
// once and a worker writes files from it while the grid goes on changing.
class GridCopy {
public:
    GridCopy() = default;
    explicit GridCopy(const SortGridData& grid);

    int ColCount() const { return m_colCount; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    QString Cell(int col, int row) const; // empty outside the stored cells
    const std::vector<QStringList>& StoredRows() const { return m_rows; }

private:
    int m_colCount = 1;
    std::vector<QStringList> m_rows; // index = row, header first
};
