// The grid fill: a read sheet becomes the start list in the protocol grid.
#include "core/files/SpreadsheetReader.h"

#include "core/grid/CellText.h"
#include "core/grid/SortGridData.h"

namespace {

// Decimal integer, optionally signed, after optional leading blanks.
bool IsIntegerText(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    if (i == text.size())
        return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
        if (v > 2147483648LL)
            return false;
    }
    return true;
}

} // namespace

void ApplyStartListSheet(SortGridData& grid, const SheetTexts& sheet, const QStringList& defaultCaptions) {
    const int m = sheet.Columns();
    const int lastWritable = grid.ColCount() - 2; // the hidden raw column stays empty
    int n = sheet.RowCount();
    int offset = 0;
    for (int p = 1; p <= n; ++p) {
        const QString second = sheet.Text(p - 1, 1);
        if (sheet.Text(p - 1, 0).isEmpty() && second.isEmpty() && sheet.Text(p - 1, 2).isEmpty()) {
            n = p - 1;
            break;
        }
        // Names in the second column: the sheet has no "Platz" column.
        if (p > 1 && !second.isEmpty() && !IsIntegerText(second))
            offset = 1;
    }

    const QStringList captions = grid.Rows(0);
    // Places and start ticks of an earlier race must not stay beside a new list.
    grid.ClearGrid(); // has its own update bracket, which does not nest
    grid.BeginUpdate();
    grid.SetRows(0, captions);
    if (n > 1)
        grid.SetRowCount(n);
    const int rows = grid.RowCount();
    for (int v = 1; v <= rows; ++v) {
        // Rows stored beyond an earlier row count come back when the count grows: overwrite them whole.
        QStringList cells = v == 1 ? grid.Rows(0) : QStringList(grid.ColCount(), QString());
        for (int q = 1; q <= m; ++q) {
            const int col = q - 1 + offset;
            if (col <= lastWritable && col < cells.size())
                cells[col] = SingleLineCellText(sheet.Text(v - 1, q - 1));
        }
        if (v == 1) {
            for (int c = 0; c <= lastWritable && c < defaultCaptions.size() && c < cells.size(); ++c)
                if (cells[c].trimmed().isEmpty())
                    cells[c] = defaultCaptions[c];
        }
        grid.SetRows(v - 1, cells);
    }
    grid.EndUpdate();
}

bool LoadStartListSpreadsheet(SortGridData& grid, const QString& fileName, const QStringList& defaultCaptions,
                              QString* error) {
    SheetTexts sheet(qMax(grid.ColCount() - 1, 0));
    if (!ReadFirstSheet(fileName, sheet, error))
        return false;
    ApplyStartListSheet(grid, sheet, defaultCaptions);
    return true;
}
