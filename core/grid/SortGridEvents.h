#pragma once

// What the grid engine (SortGridData) tells the one object that shows it, and the
// questions it asks that object. The widget (TSortGrid) implements it; the engine
// holds at most one receiver, so nothing else can take the widget's place.

#include "core/grid/SortCompare.h"

#include <QString>
#include <QStringList>

class SortGridEvents {
public:
    virtual ~SortGridEvents() = default;

    // Anything visible changed: cells, counts, current cell, selection.
    virtual void GridChanged() = 0;
    // One stored cell got another text (before GridChanged).
    virtual void CellChanged(int col, int row) = 0;
    virtual void TopLeftChanged() = 0;
    virtual void RowSelected() = 0;
    virtual void Modified() = 0;
    virtual void UpdateBegun() = 0;
    virtual void UpdateEnded() = 0;
    virtual void SizeChanged(int oldColCount, int oldRowCount) = 0;
    virtual void RowInserted(int row) = 0;
    virtual void RowDeleted(int row) = 0;
    virtual void ColumnInserted(int col) = 0;
    virtual void ColumnDeleted(int col) = 0;
    // Errors the grid reports to the operator ("Rowsize too small", index errors).
    virtual void Error(const QString& message) = 0;

    // Asked before a cell becomes current; the track-selection rule is applied afterwards.
    virtual bool CanSelectCell(int col, int row) = 0;
    // How many columns are fully visible when `leftCol` is the first one shown; a
    // negative answer leaves it to the engine's VisibleColCount().
    virtual int VisibleColCountFrom(int leftCol) = 0;
    // Measures one column (inside an update bracket).
    virtual void AutoSizeColumn(int col, bool force) = 0;

    // Sorting: the rows are about to move; the column may be changed.
    virtual void SortBegun(int& col) = 0;
    virtual void SortEnded(int col) = 0;
    // The comparison style of a key column; false when nobody answers (the engine then
    // detects the style for ssAutomatic).
    virtual bool GetSortStyle(int col, TSortStyle& style) = 0;
    // Whether a row stays visible while filtered.
    virtual void FilterRow(const QStringList& row, bool& accept) = 0;
};
