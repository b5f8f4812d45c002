#pragma once

// What every result writer reads besides the grid: the competition title and the
// grid's column widths at the moment of writing, and the file helpers they share.

#include <QByteArray>
#include <QList>
#include <QString>

class SortGridData;

struct ExportOptions {
    QString title;        // the competition title
    QList<int> colWidths; // width of each grid column; negative hides it, a missing entry shows it
};

// The program's name in titles and file names.
inline constexpr char kProgramTitle[] = "Kadenzor";

// Visible columns of `grid` in grid order. The grid's last column (the protocol's raw
// column) is part of the list only with `withLast`.
QList<int> VisibleColumns(const SortGridData& grid, const ExportOptions& options, bool withLast);

// Replaces `fileName` atomically with `bytes` (the old file stays until the new one is
// complete and synced). False with a German message in `error`.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error);

// German message for a result file that could not be written, naming the file.
QString ExportErrorText(const QString& fileName, const QString& reason);
