#pragma once

// The result list as a Word document (.docx): the title paragraph, an empty
// paragraph and a table of the visible columns (the grid's last column included
// when it is visible) with the header row and every grid row, empty ones too.

#include "core/files/ExportOptions.h"

#include <QByteArray>
#include <QString>

class SortGridData;

// The document's bytes. When `templateFile` names an existing document, the title
// and the table go at the end of its body; the template itself is only read.
// False with a German message in `error`.
bool WordDocumentBytes(const SortGridData& grid, const ExportOptions& options, const QString& templateFile,
                       QByteArray& out, QString* error);

// Writes the document to `fileName` atomically.
bool WriteWordDocument(const SortGridData& grid, const ExportOptions& options, const QString& templateFile,
                       const QString& fileName, QString* error = nullptr);
