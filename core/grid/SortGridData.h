#pragma once

// The data engine of TSortGrid: cells, counts, current cell and row selection,
// row and column operations, sorting, filtering, the modified flag, the update
// state and the size-change path. Qt Core only; the widget (TSortGrid) paints
// it, turns mouse and keys into calls on it and hears from it through the one
// SortGridEvents receiver.
//
// Rows are numbered from 0 (the header) to RowCount() - 1. Cells of rows beyond
// RowCount() stay stored when the count shrinks and come back when it grows.

#include "core/grid/SortCompare.h"
#include "core/grid/SortGridEvents.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// TSortStyle (ssAutomatic ... ssCustom) is declared with the comparisons in SortCompare.h.
enum class TSortDirection { sdAscending, sdDescending };

struct TSortOptions {
    bool CanSort = true;
    QString SecondaryIndex; // comma-separated column numbers, most significant first
    TSortStyle SortStyle = TSortStyle::ssNormal;
    bool SortCaseSensitive = false;
    int SortCol = 0;
    TSortDirection SortDirection = TSortDirection::sdAscending;
    bool UpdateOnSizeChange = false;
    std::function<int(const QString&, const QString&)> SortCompare; // for ssCustom; reset after every sort
    TSortKeyFunc SortKey = nullptr;                                 // for ssCustom; reset with SortCompare
};

class GridCopy;
struct ColumnSortKeys;

class SortGridData {
public:
    explicit SortGridData(int colCount = 5, int rowCount = 5);
    // A grid of the copied cells, for the writers of a worker thread; shares the texts.
    explicit SortGridData(const GridCopy& copy);
    virtual ~SortGridData();
    SortGridData(const SortGridData&) = delete;
    SortGridData& operator=(const SortGridData&) = delete;

    // The one receiver of the engine's events, set once by what shows the data;
    // nullptr detaches it. Returns false (and changes nothing) when another
    // receiver is attached already.
    bool SetEvents(SortGridEvents* events);
    SortGridEvents* Events() const { return m_events; }

    // --- cells and counts
    int ColCount() const;
    int RowCount() const;
    void SetColCount(int count);          // at least 1
    void SetRowCount(int count);          // at least 1 (the header)
    QString Cell(int col, int row) const; // empty outside the stored cells
    void SetCell(int col, int row, const QString& text);
    QStringList Rows(int row) const; // ColCount() texts
    void SetRows(int row, const QStringList& texts);
    QStringList Cols(int col) const; // RowCount() texts, header first
    // The texts stored for a row, shared, possibly fewer than ColCount() (a copy takes them).
    QStringList StoredCells(int row) const;

    // --- current cell and row selection
    int Col() const;
    int Row() const;
    // Both report "Grid index out of range" as an error for a cell outside the
    // grid and move only when the cell-selection check (SelectCell) allows it.
    void SetCol(int col);
    void SetRow(int row);
    bool IsRowSelected(int row) const;
    const std::vector<int>& SelectedRows() const;
    void ClearSelection();
    void SelectRow(int row); // the row alone becomes the row selection and the anchor
    // The cell-selection check: the receiver's CanSelectCell decides; when it allows the cell
    // and the track-selection flag is on, the row alone becomes the row selection (RowSelected).
    bool SelectCell(int col, int row);
    void AddSelectedRow(int row); // kept in ascending order
    void RemoveSelectedRow(int row);
    void SetSelectedRows(std::vector<int> rows);
    int Anchor() const { return m_anchor; } // -1 when there is none
    void SetAnchor(int row);
    bool TrackSelection() const { return m_trackSelection; }
    void SetTrackSelection(bool track) { m_trackSelection = track; }

    // --- navigation (the widget sets how many rows and columns fit)
    int TopRow() const { return m_topRow; }
    void SetTopRow(int row); // kept within 1 ... MaxTopRow()
    int MaxTopRow() const;   // RowCount() - VisibleRowCount(), at least 1
    int LeftCol() const { return m_leftCol; }
    void SetLeftCol(int col);
    int VisibleRowCount() const { return m_visibleRowCount; }
    void SetVisibleRowCount(int count);
    int VisibleColCount() const;
    void SetVisibleColCount(int count);
    // Clamps the cell into the data rows and never fails.
    void GoToCell(int col, int row, bool scroll);
    void ScrollToCell(int col, int row);
    void WheelDown(); // ScrollToCell(Col, TopRow + 2): the view moves one row
    void WheelUp();   // ScrollToCell(Col, TopRow - 2): the view moves three rows
    // Incremental search: the row a typed character leads to in column SortCol, -1 for none.
    int IncrementalSearchRow(QChar ch) const;
    bool IncrementalSearch(QChar ch); // GoToCell to that row; false when nothing matched

    // --- row and column operations
    int FindRow(int col, const QString& text, bool ignoreCase = false) const; // -1 when none
    void ClearGrid();                                                         // also drops the rows a filter hid
    // Inserts before `row`; at the last data row (or beyond) the new row is appended.
    void InsertRow(int row);
    // Removes the row from the storage; with a single data row that row is cleared instead.
    void DeleteRow(int row);
    void InsertColumn(int col);
    void DeleteColumn(int col);
    void MoveRow(int from, int to);
    void MoveColumn(int from, int to);
    void ExchangeRows(int a, int b);

    // --- sorting
    TSortOptions SortOptions;
    // Returns false (and reports an error before any row is written) when
    // SecondaryIndex holds an item that is not a column number of the grid; true
    // otherwise, also when CanSort is false and nothing happened.
    bool SortByColumn(int col);

    // --- filtering
    bool Filtered() const;
    // Filtering again while filtered first brings the hidden rows back, so none is lost.
    void SetFiltered(bool filtered);
    int HiddenRowCount() const;

    // --- column widths: the widget measures, the engine brackets the pass in an update
    void AutoSizeColumns(bool force);

    // --- modified flag, update state, size changes
    bool Modified() const;
    void SetModified(bool modified);
    // The update state is a flag, not a counter: one EndUpdate ends it. BeginUpdate
    // switches UpdateOnSizeChange off and EndUpdate restores it; a nested BeginUpdate
    // keeps the value the first one remembered.
    bool Updating() const;
    void BeginUpdate();
    void EndUpdate();

protected:
    // The size-change path: runs when a count changed outside an update, and from
    // EndUpdate when the flag had already been cleared.
    virtual void SizeChanged(int oldColCount, int oldRowCount);

private:
    void Changed() const;
    void ReportError(const QString& message) const;
    void RaiseRowSelected() const;
    void RaiseTopLeftChanged() const;
    QStringList& StoredRow(int row); // grows the storage up to `row`
    bool RowIsEmpty(int row) const;
    void ClampCurrent();
    int MovedIndex(int index, int from, int to) const;
    void FilterOn();
    void FilterOff();
    TSortStyle DetectSortStyle(int col) const;
    // The column's parsed keys, parsing only the rows whose entry a cell write dropped.
    const ColumnSortKeys& SortKeysOf(int col, TSortStyle style, bool fold, TSortKeyFunc keyFunc,
                                     std::vector<std::unique_ptr<ColumnSortKeys>>& retired);
    // Rows moved or columns changed outside a sort: every parsed key goes.
    void DropSortKeys();

    SortGridEvents* m_events = nullptr;
    std::vector<QStringList> m_cells; // index = row; rows beyond m_rowCount stay stored
    int m_colCount = 5;
    int m_rowCount = 5;
    int m_col = 0;
    int m_row = 1;
    std::vector<int> m_selected;
    int m_anchor = -1;
    bool m_trackSelection = true;
    int m_topRow = 1;
    int m_leftCol = 0;
    int m_visibleRowCount = 0;
    int m_visibleColCount = -1; // -1: all columns
    bool m_filtered = false;
    int m_hiddenRows = 0;
    bool m_modified = false;
    bool m_updating = false;
    bool m_savedUpdateOnSizeChange = false;
    std::vector<std::unique_ptr<ColumnSortKeys>> m_sortKeys; // index = column
};
