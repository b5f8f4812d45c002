#pragma once

#include "core/grid/SortGridData.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Captions of the protocol grid's thirteen columns; the last is the hidden raw column.
inline QStringList DefaultCaptions() {
    return {"Platz",   "St.Nr.", "Vorname", "Nachname", "JG",    "Verein", "Klasse",
            "Kl.-Pl.", "Start",  "Stopp",   "Zeit",     "Split", ""};
}

// A protocol grid as the main window creates it: captions, one empty data row.
inline void MakeProtocolGrid(SortGridData& grid) {
    grid.SetColCount(13);
    grid.SetRowCount(2);
    grid.SetRows(0, DefaultCaptions());
}

inline void MakeFinishGrid(SortGridData& grid) {
    grid.SetColCount(4);
    grid.SetRowCount(2);
    grid.SetRows(0, {"", "Kontakt", "Nr", ""});
}

// One row as "a|b|c", trailing empty cells left out, so blanks stay visible.
inline QString RowText(const SortGridData& grid, int row) {
    QStringList cells = grid.Rows(row);
    while (!cells.isEmpty() && cells.last().isEmpty())
        cells.removeLast();
    return cells.join(QLatin1Char('|'));
}

// All rows, one per line.
inline QString GridText(const SortGridData& grid) {
    QStringList rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows.append(RowText(grid, r));
    return rows.join(QLatin1Char('\n'));
}

inline bool WriteBytes(const QString& fileName, const QByteArray& bytes) {
    QFile f(fileName);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
