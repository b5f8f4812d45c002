#pragma once

#include "core/grid/SortCompare.h"

#include <QString>

#include <utility>
#include <vector>

// The parsed sort keys of one grid column for one way of comparing (style, case
// folding, key function), indexed by row. A changed cell drops its row's entry;
// the next sort parses only the rows whose entry is gone, so sorting a grid that
// changed in a few cells costs little more than the sort itself.
struct ColumnSortKeys {
    ColumnSortKeys(TSortStyle s, bool f, TSortKeyFunc k) : style(s), fold(f), keyFunc(k) {}

    TSortStyle style;
    bool fold;
    TSortKeyFunc keyFunc;
    std::vector<QString> texts; // case-folded when fold is set
    std::vector<double> values; // ssNumeric, ssDateTime, ssTime
    std::vector<quint64> ints;  // ssCustom with a key function
    std::vector<char> keyed;    // values or ints hold the row's key
    std::vector<char> valid;    // the entry still reflects the cell

    void Invalidate(int row) {
        if (static_cast<size_t>(row) < valid.size())
            valid[static_cast<size_t>(row)] = 0;
    }
    void Resize(size_t rows) {
        if (valid.size() >= rows)
            return;
        texts.resize(rows);
        values.resize(rows);
        ints.resize(rows);
        keyed.resize(rows, 0);
        valid.resize(rows, 0);
    }
    // order[q] is the row that becomes row q + 1.
    void Permute(const std::vector<int>& order) {
        Resize(order.size() + 1);
        const auto apply = [&](auto& v) {
            auto moved = v;
            for (size_t q = 0; q < order.size(); ++q)
                v[q + 1] = std::move(moved[static_cast<size_t>(order[q])]);
        };
        apply(texts);
        apply(values);
        apply(ints);
        apply(keyed);
        apply(valid);
    }
};
