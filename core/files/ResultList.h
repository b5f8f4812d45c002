#pragma once

// The result list as the published page shows it: the title, the header row and
// the data rows of the visible columns, and how each column is set. The HTML page
// and the painted pages (PDF, printer) are both made from it.

#include "core/files/ExportOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class SortGridData;

enum class ListAlign { Left, Center, Right };

struct ListColumn {
    int gridCol = 0;
    ListAlign align = ListAlign::Left;
    bool shaded = false; // grey background (places)
    bool best = false;   // the start column carries the page's "best" class
};

struct ResultList {
    QString title;
    QList<ListColumn> columns;
    QStringList header;      // one text per column
    QList<QStringList> rows; // the data rows, one text per column
};

// How a protocol column is set in the list, by its grid position.
ListColumn ListColumnLook(int gridCol);

// Number of grid rows the list shows, header included: an empty trailing row (no
// start number) is left out.
int ListRowCount(const SortGridData& grid);

// The texts of the list as they stand now (a copy: the grid may change afterwards).
ResultList MakeResultList(const SortGridData& grid, const ExportOptions& options);

// Column widths filling `width` from the widths the columns' texts want: a list
// narrower than the page is widened in proportion, as a table of full width is; a
// wider one keeps its narrow columns and shares the rest among the wide ones, whose
// texts then wrap.
std::vector<double> FitColumnWidths(const std::vector<double>& natural, double width);
