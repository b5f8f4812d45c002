#include "reports/ResultList.h"

#include "widgets/SortGridData.h"

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
