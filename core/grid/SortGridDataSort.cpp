#include "core/grid/SortGridData.h"

#include "core/grid/ColumnSortKeys.h"

#include <algorithm>
#include <numeric>

// Filtering and sorting of SortGridData.

namespace {

// One key column of a sort: its parsed keys and the compare function in force for its pass.
struct SortKey {
    const ColumnSortKeys* keys = nullptr;
    TSortCompareFunc custom;
    bool descending = false;

    int Compare(int a, int b) const {
        const ColumnSortKeys& k = *keys;
        const size_t ia = size_t(a);
        const size_t ib = size_t(b);
        switch (k.style) {
        case TSortStyle::ssNumeric:
        case TSortStyle::ssDateTime:
        case TSortStyle::ssTime:
            if (k.keyed[ia] && k.keyed[ib]) {
                const double va = k.values[ia];
                const double vb = k.values[ib];
                return va < vb ? -1 : (vb < va ? 1 : 0);
            }
            return CompareBytes(k.texts[ia], k.texts[ib]);
        case TSortStyle::ssCustom:
            if (k.keyFunc && k.keyed[ia] && k.keyed[ib])
                return k.ints[ia] < k.ints[ib] ? -1 : (k.ints[ib] < k.ints[ia] ? 1 : 0);
            return custom ? custom(k.texts[ia], k.texts[ib]) : CompareBytes(k.texts[ia], k.texts[ib]);
        case TSortStyle::ssNumericExtended:
            return CompareNumericExtended(k.texts[ia], k.texts[ib]);
        case TSortStyle::ssAutomatic:
        case TSortStyle::ssNormal:
            break;
        }
        return CompareBytes(k.texts[ia], k.texts[ib]);
    }
};

// The order std::stable_sort gives, found faster when few rows are out of place (a
// finish moves one row): the rows that keep the order in a single walk stay, the others
// are sorted alone and merged in, ties going by position, which is what stability means.
template <typename Less>
void StableOrder(std::vector<int>& index, Less less) {
    std::vector<int> kept;
    std::vector<int> misfits;
    kept.reserve(index.size());
    for (const int i : index) {
        if (kept.empty() || !less(i, kept.back()))
            kept.push_back(i);
        else
            misfits.push_back(i);
    }
    if (misfits.empty())
        return;
    if (misfits.size() > index.size() / 8) {
        std::stable_sort(index.begin(), index.end(), less);
        return;
    }
    std::stable_sort(misfits.begin(), misfits.end(), less);
    std::merge(kept.begin(), kept.end(), misfits.begin(), misfits.end(), index.begin(),
               [&](int a, int b) { return less(a, b) || (!less(b, a) && a < b); });
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
    DropSortKeys();
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
            SortOptions.SortKey = nullptr;
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
    // Keys replaced while a column is listed twice stay alive until the sort is done.
    std::vector<std::unique_ptr<ColumnSortKeys>> retired;
    TSortStyle handlerStyle = TSortStyle::ssAutomatic;
    for (size_t k = keyCols.size(); k-- > 0;) {
        if (m_events && m_events->GetSortStyle(keyCols[k], handlerStyle)) {
            SortOptions.SortStyle = handlerStyle;
        } else if (SortOptions.SortStyle == TSortStyle::ssAutomatic) {
            SortOptions.SortStyle = DetectSortStyle(keyCols[k]);
        }
        const TSortKeyFunc keyFunc =
            SortOptions.SortStyle == TSortStyle::ssCustom ? SortOptions.SortKey : TSortKeyFunc(nullptr);
        keys[k].keys = &SortKeysOf(keyCols[k], SortOptions.SortStyle, !SortOptions.SortCaseSensitive, keyFunc, retired);
        keys[k].custom = SortOptions.SortCompare;
        keys[k].descending = SortOptions.SortDirection == TSortDirection::sdDescending;
    }
    const int dataRows = std::max(0, m_rowCount - 1);
    std::vector<int> order(static_cast<size_t>(dataRows));
    std::iota(order.begin(), order.end(), 1);
    // Equal keys in every column keep their positions (stable), in both directions.
    StableOrder(order, [&](int a, int b) {
        for (const SortKey& key : keys) {
            const int result = key.Compare(a, b);
            if (result != 0)
                return key.descending ? result > 0 : result < 0;
        }
        return false;
    });
    bool moved = false;
    for (size_t q = 0; q < order.size() && !moved; ++q)
        moved = order[q] != static_cast<int>(q) + 1;
    // Rows already in order are not written (nor their keys moved).
    if (moved)
        for (auto& k : m_sortKeys)
            if (k)
                k->Permute(order);

    // Write the rows once, in their new order.
    StoredRow(m_rowCount - 1);
    std::vector<QStringList> rows(moved ? static_cast<size_t>(dataRows) : 0);
    for (size_t q = 0; q < rows.size(); ++q)
        rows[q] = std::move(m_cells[static_cast<size_t>(order[q])]);
    std::vector<int> newPosition(static_cast<size_t>(m_rowCount), -1);
    for (size_t q = 0; q < order.size(); ++q) {
        if (moved)
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
    SortOptions.SortKey = nullptr;
    if (m_events)
        m_events->SortEnded(keyCols.front());
    EndUpdate();
    return true;
}

const ColumnSortKeys& SortGridData::SortKeysOf(int col, TSortStyle style, bool fold, TSortKeyFunc keyFunc,
                                               std::vector<std::unique_ptr<ColumnSortKeys>>& retired) {
    if (m_sortKeys.size() < static_cast<size_t>(m_colCount))
        m_sortKeys.resize(static_cast<size_t>(m_colCount));
    std::unique_ptr<ColumnSortKeys>& k = m_sortKeys[static_cast<size_t>(col)];
    if (!k || k->style != style || k->fold != fold || k->keyFunc != keyFunc) {
        retired.push_back(std::move(k));
        k = std::make_unique<ColumnSortKeys>(style, fold, keyFunc);
    }
    k->Resize(static_cast<size_t>(m_rowCount));
    bool (*convert)(const QString&, double&) = nullptr;
    if (style == TSortStyle::ssNumeric)
        convert = TextToFloat;
    else if (style == TSortStyle::ssDateTime)
        convert = TextToDateTimeMs;
    else if (style == TSortStyle::ssTime)
        convert = TextToTimeMs;
    for (int r = 1; r < m_rowCount; ++r) {
        const size_t i = static_cast<size_t>(r);
        if (k->valid[i])
            continue;
        k->texts[i] = fold ? LowerAZ(Cell(col, r)) : Cell(col, r);
        // Converting once per key orders exactly like converting at every comparison.
        if (convert)
            k->keyed[i] = convert(k->texts[i], k->values[i]);
        else if (keyFunc)
            k->keyed[i] = keyFunc(k->texts[i], k->ints[i]);
        else
            k->keyed[i] = 0;
        k->valid[i] = 1;
    }
    return *k;
}

void SortGridData::DropSortKeys() {
    m_sortKeys.clear();
}
