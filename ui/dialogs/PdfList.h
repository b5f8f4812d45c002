#pragma once

// The printed result list as a PDF file: the list of the HTML page on A4 pages,
// landscape when more than 8 columns are visible, with the title and the page
// number on every page. Painting needs Qt Gui, so this writer lives in the ui
// library; the pages are painted by PaintListPages, as on a printer.

#include "core/files/ExportOptions.h"

#include <QString>

class SortGridData;

// Writes the file atomically; false with a German message in `error`.
bool WritePdfList(const SortGridData& grid, const ExportOptions& options, const QString& fileName,
                  QString* error = nullptr);
