#pragma once

// The result list as an Excel workbook (.xlsx): the visible columns (the grid's
// last column never) of every grid row as text cells, thin borders on the whole
// range, a bold header row, fitted column widths, landscape pages; author
// "Zeitravo Software", the competition title as the workbook's title and the
// sheet name "Kadenzor".

#include "core/files/ExportOptions.h"

#include <QString>

class SortGridData;

// Writes the workbook to `fileName` atomically; false with a German message in `error`.
bool WriteExcelWorkbook(const SortGridData& grid, const ExportOptions& options, const QString& fileName,
                        QString* error = nullptr);
