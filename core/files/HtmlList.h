#pragma once

// The published result list: one static HTML page from the protocol grid, in
// Windows-1252 with CR LF. Every text from the grid and the title is escaped;
// the page's own markup is fixed.

#include "core/files/ExportOptions.h"

#include <QByteArray>
#include <QString>

class SortGridData;

// The maker's addresses and name, as the page shows them.
inline constexpr char kMakerUrl[] = "https://www.zeitravo.example/";
inline constexpr char kMakerHost[] = "www.zeitravo.example";
inline constexpr char kDesignerUrl[] = "https://design.zeitravo.example/";

// `text` with &, <, > and " as character references, and every character that
// Windows-1252 lacks as a numeric reference, so nothing is lost in the page.
QString HtmlEscape(const QString& text);

// The whole page as it goes into the file.
QByteArray HtmlListBytes(const SortGridData& grid, const ExportOptions& options);

// Writes the page to `fileName` atomically; false with a German message in `error`.
bool WriteHtmlList(const SortGridData& grid, const ExportOptions& options, const QString& fileName,
                   QString* error = nullptr);
