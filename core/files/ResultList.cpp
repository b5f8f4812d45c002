#include "core/files/ResultList.h"

#include "core/grid/SortGridData.h"

ListColumn ListColumnLook(int gridCol) {
    ListColumn look;
    look.gridCol = gridCol;
    switch (gridCol) {
    case 0: // "Platz"
    case 7: // "Kl.-Pl."
        look.align = ListAlign::Right;
        look.shaded = true;
        break;
    case 1:  // "St.Nr."
    case 9:  // "Stopp"
    case 10: // "Zeit"
    case 11: // "Split"
        look.align = ListAlign::Right;
        break;
    case 4: // "JG"
        look.align = ListAlign::Center;
        break;
    case 8: // "Start"
        look.align = ListAlign::Right;
        look.best = true;
        break;
    default:
        break;
    }
    return look;
}

int ListRowCount(const SortGridData& grid) {
    int n = grid.RowCount();
    if (n > 1 && grid.Cell(1, n - 1).isEmpty())
        --n;
    return n;
}

ResultList MakeResultList(const SortGridData& grid, const ExportOptions& options) {
    ResultList list;
    list.title = options.title;
    const QList<int> cols = VisibleColumns(grid, options, false);
    for (int c : cols) {
        list.columns << ListColumnLook(c);
        list.header << grid.Cell(c, 0);
    }
    const int n = ListRowCount(grid);
    list.rows.reserve(n > 1 ? n - 1 : 0);
    for (int r = 1; r < n; ++r) {
        QStringList row;
        row.reserve(cols.size());
        for (int c : cols)
            row << grid.Cell(c, r);
        list.rows << row;
    }
    return list;
}

std::vector<double> FitColumnWidths(const std::vector<double>& natural, double width) {
    const size_t n = natural.size();
    std::vector<double> out(natural);
    double total = 0;
    for (double w : natural)
        total += w;
    if (n == 0)
        return out;
    if (total <= 0)
        return std::vector<double>(n, width / double(n));
    if (total <= width) {
        for (double& w : out)
            w += (width - total) * w / total;
        return out;
    }
    std::vector<bool> fixed(n, false);
    double left = width;
    size_t open = n;
    for (bool changed = true; changed && open > 0;) {
        changed = false;
        const double share = left / double(open);
        for (size_t i = 0; i < n; ++i)
            if (!fixed[i] && natural[i] <= share) {
                fixed[i] = true;
                left -= natural[i];
                --open;
                changed = true;
            }
    }
    for (size_t i = 0; i < n; ++i)
        if (!fixed[i])
            out[i] = left / double(open);
    return out;
}
