#include "core/files/ExcelWorkbook.h"

#include "core/base/XmlText.h"
#include "core/grid/SortGridData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>

namespace {

// A cell holds at most this many characters.
constexpr qsizetype kMaxCellText = 32767;

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QByteArray CellBytes(const QString& text) {
    QByteArray utf8 = XmlTextUtf8(text.size() > kMaxCellText ? text.left(kMaxCellText) : text);
    return utf8;
}

// Width in characters of the column, after its longest text.
double FittedWidth(const SortGridData& grid, int col) {
    qsizetype longest = 0;
    for (int r = 0; r < grid.RowCount(); ++r)
        longest = std::max(longest, grid.Cell(col, r).size());
    return std::clamp(static_cast<double>(longest) + 2.0, 4.0, 100.0);
}

QString LxwText(lxw_error e) {
    return QString::fromUtf8(lxw_strerror(e));
}

} // namespace

bool WriteExcelWorkbook(const SortGridData& grid, const ExportOptions& options, const QString& fileName,
                        QString* error) {
    // The library writes a file by name; it goes into a private folder first and then
    // replaces the target in one step.
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/kadenzor-xlsx-XXXXXX"));
    if (!work.isValid()) {
        SetError(error,
                 ExportErrorText(fileName, QStringLiteral("Kein Platz für die Arbeitsmappe im temporären Ordner.")));
        return false;
    }
    const QByteArray tempName = QFile::encodeName(work.filePath(QStringLiteral("book.xlsx")));
    QByteArray tmpdir = QFile::encodeName(work.path());
    lxw_workbook_options wbOptions{};
    wbOptions.tmpdir = tmpdir.data();
    lxw_workbook* wb = workbook_new_opt(tempName.constData(), &wbOptions);
    if (!wb) {
        SetError(error, ExportErrorText(fileName, QStringLiteral("Die Arbeitsmappe lässt sich nicht anlegen.")));
        return false;
    }
    lxw_worksheet* ws = workbook_add_worksheet(wb, kProgramTitle);
    lxw_format* cell = workbook_add_format(wb);
    format_set_border(cell, LXW_BORDER_THIN);
    format_set_num_format(cell, "@"); // text, also for what is typed into the cell later
    lxw_format* head = workbook_add_format(wb);
    format_set_border(head, LXW_BORDER_THIN);
    format_set_bold(head);
    format_set_num_format(head, "@");

    const QList<int> cols = VisibleColumns(grid, options, false);
    lxw_error failed = LXW_NO_ERROR;
    for (int r = 0; r < grid.RowCount() && failed == LXW_NO_ERROR; ++r) {
        lxw_format* format = r == 0 ? head : cell;
        for (qsizetype k = 0; k < cols.size() && failed == LXW_NO_ERROR; ++k) {
            const QString text = grid.Cell(cols[k], r);
            const auto row = static_cast<lxw_row_t>(r);
            const auto col = static_cast<lxw_col_t>(k);
            if (text.isEmpty())
                failed = worksheet_write_blank(ws, row, col, format);
            else
                failed = worksheet_write_string(ws, row, col, CellBytes(text).constData(), format);
        }
    }
    for (qsizetype k = 0; k < cols.size(); ++k)
        worksheet_set_column(ws, static_cast<lxw_col_t>(k), static_cast<lxw_col_t>(k), FittedWidth(grid, cols[k]),
                             nullptr);
    worksheet_set_landscape(ws);
    worksheet_set_paper(ws, 9); // A4
    worksheet_repeat_rows(ws, 0, 0);
    worksheet_fit_to_pages(ws, 1, 0); // every column on the page's width, as many pages down as it takes

    QByteArray title = XmlTextUtf8(options.title);
    QByteArray author("Zeitravo Software");
    lxw_doc_properties properties{};
    properties.title = title.data();
    properties.author = author.data();
    workbook_set_properties(wb, &properties);

    const lxw_error closed = workbook_close(wb);
    if (failed == LXW_NO_ERROR)
        failed = closed;
    if (failed != LXW_NO_ERROR) {
        SetError(error, ExportErrorText(fileName, LxwText(failed)));
        return false;
    }
    QFile written(QFile::decodeName(tempName));
    if (!written.open(QIODevice::ReadOnly)) {
        SetError(error, ExportErrorText(fileName, QStringLiteral("Die Arbeitsmappe lässt sich nicht fertigstellen.")));
        return false;
    }
    return WriteFileAtomically(fileName, written.readAll(), error);
}
