#include "core/grid/SortGridData.h"

#include <algorithm>
#include <numeric>

// Filtering and sorting of SortGridData.

namespace {

// One key column of a sort: its texts (case-folded when asked), the style and the
// compare function in force for its pass, and the values of converting styles.
struct SortKey {
    TSortStyle style = TSortStyle::ssNormal;
    TSortCompareFunc custom;
    bool descending = false;
    std::vector<QString> texts;
    std::vector<double> values;
    std::vector<char> converted;

    int Compare(int a, int b) const {
        const QString& ta = texts[size_t(a)];
        const QString& tb = texts[size_t(b)];
        switch (style) {
        case TSortStyle::ssNumeric:
        case TSortStyle::ssDateTime:
        case TSortStyle::ssTime:
            if (converted[size_t(a)] && converted[size_t(b)]) {
                const double va = values[size_t(a)];
                const double vb = values[size_t(b)];
                return va < vb ? -1 : (vb < va ? 1 : 0);
            }
            return CompareBytes(ta, tb);
        case TSortStyle::ssCustom:
            return custom ? custom(ta, tb) : CompareBytes(ta, tb);
        case TSortStyle::ssNumericExtended:
            return CompareNumericExtended(ta, tb);
        case TSortStyle::ssAutomatic:
        case TSortStyle::ssNormal:
            break;
        }
        return CompareBytes(ta, tb);
    }
};

// Keys of the data rows 1 ... rowCount - 1, for the style now in SortOptions.
SortKey MakeSortKey(const SortGridData& grid, int col) {
    SortKey key;
    key.style = grid.SortOptions.SortStyle;
    key.custom = grid.SortOptions.SortCompare;
    key.descending = grid.SortOptions.SortDirection == TSortDirection::sdDescending;
    const bool fold = !grid.SortOptions.SortCaseSensitive;
    const int n = std::max(0, grid.RowCount() - 1);
    key.texts.reserve(size_t(n));
    for (int r = 1; r <= n; ++r)
        key.texts.push_back(fold ? LowerAZ(grid.Cell(col, r)) : grid.Cell(col, r));
    bool (*convert)(const QString&, double&) = nullptr;
    if (key.style == TSortStyle::ssNumeric)
        convert = TextToFloat;
    else if (key.style == TSortStyle::ssDateTime)
        convert = TextToDateTimeMs;
    else if (key.style == TSortStyle::ssTime)
        convert = TextToTimeMs;
    if (convert) {
        // Converting once per key orders exactly like converting at every comparison.
        key.values.resize(size_t(n));
        key.converted.resize(size_t(n));
        for (size_t p = 0; p < size_t(n); ++p)
            key.converted[p] = convert(key.texts[p], key.values[p]);
    }
    return key;
}

} // namespace

// --- filtering

bool SortGridData::Filtered() const {
    return m_filtered;
}

int SortGridData::HiddenRowCount() const {
    return m_hiddenRows;
}

void SortGridData::SetFiltered(bool filtered) {
    if (filtered && m_filtered && m_hiddenRows > 0) {
        // Filtering again: bring the hidden rows back first, so none is lost.
        SetFiltered(false);
    }
    m_filtered = filtered;
    if (filtered && RowIsEmpty(1))
        return;
    if (!filtered && m_hiddenRows == 0)
        return;
    const bool wasModified = m_modified;
    const bool wasUpdating = m_updating;
    if (!wasUpdating)
        BeginUpdate();
    if (filtered)
        FilterOn();
    else
        FilterOff();
    if (!wasUpdating)
        EndUpdate();
    SetModified(wasModified);
}

void SortGridData::FilterOn() {
    m_hiddenRows = 0;
    const int dataRows = m_rowCount - 1;
    StoredRow(m_rowCount - 1);
    std::vector<QStringList> accepted;
    std::vector<QStringList> rejected;
    for (int r = 1; r <= dataRows; ++r) {
        bool accept = false;
        if (m_events)
            m_events->FilterRow(Rows(r), accept);
        (accept ? accepted : rejected).push_back(std::move(m_cells[static_cast<size_t>(r)]));
    }
    const int visible = static_cast<int>(accepted.size());
    m_hiddenRows = dataRows - visible;
    size_t r = 1;
    for (QStringList& cells : accepted)
        m_cells[r++] = std::move(cells);
    for (QStringList& cells : rejected)
        m_cells[r++] = std::move(cells);
    if (visible == 0) {
        // One empty row stays visible; an empty stored row makes sure it is empty.
        m_cells.insert(m_cells.begin() + m_rowCount, QStringList());
        ExchangeRows(1, m_rowCount);
        SetRowCount(2);
    } else {
        SetRowCount(1 + visible);
        SortByColumn(SortOptions.SortCol);
    }
    GoToCell(0, 1, true);
}

void SortGridData::FilterOff() {
    const int hidden = m_hiddenRows;
    SetRowCount(m_rowCount + hidden);
    m_hiddenRows = 0;
    if (RowIsEmpty(1))
        DeleteRow(1);
    if (hidden > 0)
        SortByColumn(SortOptions.SortCol);
}

// --- sorting

TSortStyle SortGridData::DetectSortStyle(int col) const {
    const auto all = [&](bool (*convert)(const QString&, double&)) {
        double value = 0;
        for (int r = 1; r < m_rowCount; ++r)
            if (!convert(Cell(col, r), value))
                return false;
        return true;
    };
    if (all(TextToFloat))
        return TSortStyle::ssNumeric;
    if (all(TextToDateTimeMs))
        return TSortStyle::ssDateTime;
    if (all(TextToTimeMs))
        return TSortStyle::ssTime;
    return TSortStyle::ssNormal;
}

bool SortGridData::SortByColumn(int col) {
    if (!SortOptions.CanSort)
        return true;
    SortOptions.SortCol = col;
    BeginUpdate();
    if (m_events)
        m_events->SortBegun(col);
    const std::vector<int> selectedBefore = m_selected;

    // Key list: the primary column first, then SecondaryIndex without it.
    QStringList items;
    for (const QString& item : SortOptions.SecondaryIndex.split(u','))
        if (!item.trimmed().isEmpty())
            items.append(item.trimmed());
    items.removeOne(QString::number(col));
    items.prepend(QString::number(col));
    std::vector<int> keyCols;
    for (const QString& item : items) {
        bool ok = false;
        const int c = item.toInt(&ok, 10);
        if (!ok || c < 0 || c >= m_colCount) {
            // Checked before any pass, so no row has moved.
            ReportError(ok ? QStringLiteral("Sort column %1: Grid index out of range").arg(item)
                           : QStringLiteral("Sort column '%1' is not a valid integer value").arg(item));
            SortOptions.SortCompare = nullptr;
            EndUpdate();
            return false;
        }
        keyCols.push_back(c);
    }

    // The passes run least significant column first; each stable pass keeps the order of
    // the previous one among equal keys. One stable sort comparing the columns primary
    // first gives the same order with a single pass over the rows: the styles and
    // compare functions are fixed beforehand in pass order, as the passes would see them.
    std::vector<SortKey> keys(keyCols.size());
    TSortStyle handlerStyle = TSortStyle::ssAutomatic;
    for (size_t k = keyCols.size(); k-- > 0;) {
        if (m_events && m_events->GetSortStyle(keyCols[k], handlerStyle)) {
            SortOptions.SortStyle = handlerStyle;
        } else if (SortOptions.SortStyle == TSortStyle::ssAutomatic) {
            SortOptions.SortStyle = DetectSortStyle(keyCols[k]);
        }
        keys[k] = MakeSortKey(*this, keyCols[k]);
    }
    const int dataRows = std::max(0, m_rowCount - 1);
    std::vector<int> index(static_cast<size_t>(dataRows));
    std::iota(index.begin(), index.end(), 0);
    // Equal keys in every column keep their positions (stable), in both directions.
    std::stable_sort(index.begin(), index.end(), [&](int a, int b) {
        for (const SortKey& key : keys) {
            const int result = key.Compare(a, b);
            if (result != 0)
                return key.descending ? result > 0 : result < 0;
        }
        return false;
    });
    std::vector<int> order(index.size());
    for (size_t q = 0; q < index.size(); ++q)
        order[q] = index[q] + 1;

    // Write the rows once, in their new order.
    StoredRow(m_rowCount - 1);
    std::vector<QStringList> rows(static_cast<size_t>(dataRows));
    for (size_t q = 0; q < rows.size(); ++q)
        rows[q] = std::move(m_cells[static_cast<size_t>(order[q])]);
    std::vector<int> newPosition(static_cast<size_t>(m_rowCount), -1);
    for (size_t q = 0; q < rows.size(); ++q) {
        m_cells[q + 1] = std::move(rows[q]);
        newPosition[static_cast<size_t>(order[q])] = static_cast<int>(q) + 1;
    }
    // The selection follows its rows; the first of them becomes the current row.
    std::vector<int> selected;
    for (const int r : selectedBefore)
        if (r >= 1 && r < m_rowCount)
            selected.push_back(newPosition[static_cast<size_t>(r)]);
    if (!selected.empty()) {
        std::sort(selected.begin(), selected.end());
        m_selected = selected;
        m_row = selected.front();
        if (m_anchor >= 1 && m_anchor < m_rowCount)
            m_anchor = newPosition[static_cast<size_t>(m_anchor)];
    }

    SortOptions.SortCompare = nullptr;
    if (m_events)
        m_events->SortEnded(keyCols.front());
    EndUpdate();
    return true;
}
