#pragma once

// The grid engine's events for tests and benchmarks that drive a SortGridData
// without a widget: each event calls the function of the same name when it is set.

#include "core/grid/SortGridData.h"

#include <functional>

class GridHooks final : public SortGridEvents {
public:
    explicit GridHooks(SortGridData& grid) : m_grid(grid) { grid.SetEvents(this); }
    ~GridHooks() override {
        if (m_grid.Events() == this)
            m_grid.SetEvents(nullptr);
    }
    GridHooks(const GridHooks&) = delete;
    GridHooks& operator=(const GridHooks&) = delete;

    std::function<void()> OnChanged;
    std::function<void(int col, int row)> OnCellChanged;
    std::function<void()> OnTopLeftChanged;
    std::function<void()> OnRowSelected;
    std::function<void()> OnModified;
    std::function<void()> OnBeginUpdate;
    std::function<void()> OnEndUpdate;
    std::function<void(int oldColCount, int oldRowCount)> OnSizeChanged;
    std::function<void(int row)> OnRowInsert;
    std::function<void(int row)> OnRowDelete;
    std::function<void(int col)> OnColumnInsert;
    std::function<void(int col)> OnColumnDelete;
    std::function<void(const QString& message)> OnError;
    std::function<bool(int col, int row)> OnCanSelectCell;
    std::function<int(int leftCol)> OnVisibleColCountFrom;
    std::function<void(int col, bool force)> OnAutoSizeColumn;
    std::function<void(int& col)> OnBeginSort;
    std::function<void(int col)> OnEndSort;
    std::function<void(int col, TSortStyle& style)> OnGetSortStyle;
    std::function<void(const QStringList& row, bool& accept)> OnSetFilter;

    void GridChanged() override { Call(OnChanged); }
    void CellChanged(int col, int row) override { Call(OnCellChanged, col, row); }
    void TopLeftChanged() override { Call(OnTopLeftChanged); }
    void RowSelected() override { Call(OnRowSelected); }
    void Modified() override { Call(OnModified); }
    void UpdateBegun() override { Call(OnBeginUpdate); }
    void UpdateEnded() override { Call(OnEndUpdate); }
    void SizeChanged(int oldColCount, int oldRowCount) override { Call(OnSizeChanged, oldColCount, oldRowCount); }
    void RowInserted(int row) override { Call(OnRowInsert, row); }
    void RowDeleted(int row) override { Call(OnRowDelete, row); }
    void ColumnInserted(int col) override { Call(OnColumnInsert, col); }
    void ColumnDeleted(int col) override { Call(OnColumnDelete, col); }
    void Error(const QString& message) override { Call(OnError, message); }
    bool CanSelectCell(int col, int row) override { return !OnCanSelectCell || OnCanSelectCell(col, row); }
    int VisibleColCountFrom(int leftCol) override {
        return OnVisibleColCountFrom ? OnVisibleColCountFrom(leftCol) : -1;
    }
    void AutoSizeColumn(int col, bool force) override { Call(OnAutoSizeColumn, col, force); }
    void SortBegun(int& col) override {
        if (OnBeginSort)
            OnBeginSort(col);
    }
    void SortEnded(int col) override { Call(OnEndSort, col); }
    bool GetSortStyle(int col, TSortStyle& style) override {
        if (!OnGetSortStyle)
            return false;
        OnGetSortStyle(col, style);
        return true;
    }
    void FilterRow(const QStringList& row, bool& accept) override {
        if (OnSetFilter)
            OnSetFilter(row, accept);
    }

private:
    template <typename Fn, typename... Args>
    static void Call(const Fn& fn, Args... args) {
        if (fn)
            fn(args...);
    }

    SortGridData& m_grid;
};
