#pragma once

// Start lists from spreadsheets, read straight from the file: the first worksheet
// of an .xls (BIFF) or .xlsx (Office Open XML) workbook, no office program needed.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class SortGridData;

// The texts of one worksheet: rows and columns from 0, at most Columns() columns;
// a missing cell reads as empty. Numbers are written as the default locale writes
// them (integers without decimals, no group separators).
class SheetTexts {
public:
    explicit SheetTexts(int columns = 12);
    int Columns() const { return m_columns; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    QString Text(int row, int col) const;
    void SetText(int row, int col, const QString& text); // grows the sheet; columns beyond Columns() are ignored

private:
    int m_columns = 12;
    std::vector<QStringList> m_rows;
};

// Largest uncompressed part of a workbook, and all parts together, that is read.
inline constexpr qint64 MaxWorkbookPartSize = 200 * 1024 * 1024;

// First worksheet of an .xlsx held in memory. On failure returns false with a
// German reason (without the file name).
bool ReadXlsxSheet(const QByteArray& data, SheetTexts& sheet, QString* reason);

// First worksheet of an .xls file.
bool ReadXlsSheet(const QString& fileName, SheetTexts& sheet, QString* reason);

// Either format, told by the file's content rather than its extension. On failure
// returns false with a German message naming the file.
bool ReadFirstSheet(const QString& fileName, SheetTexts& sheet, QString* error);

// Puts a sheet into the protocol grid: sheet row 1 is the header, the list ends
// before the first row whose first three cells are empty, and the columns move one
// to the right when the second column holds something other than integers. The grid
// is cleared first; empty captions are refilled from `defaultCaptions`.
void ApplyStartListSheet(SortGridData& grid, const SheetTexts& sheet, const QStringList& defaultCaptions);

// ReadFirstSheet, then ApplyStartListSheet. The grid stays untouched when the file
// cannot be read. Selecting, the start-number list and the commands are the caller's.
bool LoadStartListSpreadsheet(SortGridData& grid, const QString& fileName, const QStringList& defaultCaptions,
                              QString* error = nullptr);
