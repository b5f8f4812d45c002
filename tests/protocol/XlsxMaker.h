#pragma once

// Writes .xlsx workbooks for tests and benchmarks with libxlsxwriter.

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <xlsxwriter.h>

// One sheet row per list; a cell text "n:<number>" is written as a number, "b:0" /
// "b:1" as a boolean, an empty text not at all, anything else as a string.
using SheetRows = QList<QStringList>;

struct XlsxSheet {
    QString name;
    SheetRows rows;
};

inline bool WriteXlsxSheets(const QString& fileName, const QList<XlsxSheet>& sheets, bool constantMemory = false) {
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(QFile::encodeName(fileName).constData(), &options);
    if (!workbook)
        return false;
    for (const XlsxSheet& sheet : sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(workbook, sheet.name.toUtf8().constData());
        for (int r = 0; r < sheet.rows.size(); ++r) {
            for (int c = 0; c < sheet.rows[r].size(); ++c) {
                const QString& text = sheet.rows[r][c];
                const auto row = static_cast<lxw_row_t>(r);
                const auto col = static_cast<lxw_col_t>(c);
                if (text.isEmpty())
                    continue;
                if (text.startsWith("n:"))
                    worksheet_write_number(ws, row, col, text.mid(2).toDouble(), nullptr);
                else if (text.startsWith("b:"))
                    worksheet_write_boolean(ws, row, col, text.mid(2).toInt(), nullptr);
                else
                    worksheet_write_string(ws, row, col, text.toUtf8().constData(), nullptr);
            }
        }
    }
    return workbook_close(workbook) == LXW_NO_ERROR;
}

inline bool WriteXlsx(const QString& fileName, const SheetRows& rows, bool constantMemory = false) {
    return WriteXlsxSheets(fileName, {XlsxSheet{"Startliste", rows}}, constantMemory);
}
