#include "xls-reader/XlsWorkbook.h"

#include "xls-reader/SpreadsheetText.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <freexl.h>

#include <algorithm>

namespace {

class FreeXlFile {
public:
    FreeXlFile() = default;
    FreeXlFile(const FreeXlFile&) = delete;
    FreeXlFile& operator=(const FreeXlFile&) = delete;
    ~FreeXlFile() {
        if (m_handle)
            freexl_close(m_handle);
    }
    int Open(const QString& fileName) { return freexl_open(QFile::encodeName(fileName).constData(), &m_handle); }
    const void* Handle() const { return m_handle; }

private:
    const void* m_handle = nullptr;
};

QString FreeXlReason(int code) {
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("Zu wenig Arbeitsspeicher.");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe.");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("Die Datei enthält keine Excel-Arbeitsmappe.");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return QStringLiteral("Der Zeichensatz der Arbeitsmappe wird nicht unterstützt.");
    default:
        return DamagedWorkbookText(QStringLiteral("Fehler %1").arg(code));
    }
}

} // namespace

XlsAnswer ReadXlsWorkbook(const QString& fileName, int maxColumns) {
    XlsAnswer answer;
    FreeXlFile file;
    const int rc = file.Open(fileName);
    if (rc != FREEXL_OK) {
        answer.reason = FreeXlReason(rc);
        return answer;
    }
    unsigned int sheetCount = 0;
    if (freexl_get_info(file.Handle(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK || sheetCount == 0 ||
        freexl_select_active_worksheet(file.Handle(), 0) != FREEXL_OK) {
        answer.reason = QStringLiteral("Die Arbeitsmappe enthält kein Tabellenblatt.");
        return answer;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(file.Handle(), &rows, &columns) != FREEXL_OK) {
        answer.reason = DamagedWorkbookText(QStringLiteral("Tabellengröße unlesbar"));
        return answer;
    }
    const unsigned short usedColumns = static_cast<unsigned short>(std::clamp<int>(maxColumns, 0, columns));
    for (unsigned int r = 0; r < rows && r < static_cast<unsigned>(MaxSheetRows); ++r) {
        for (unsigned short c = 0; c < usedColumns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(file.Handle(), r, c, &cell) != FREEXL_OK)
                continue;
            QString text;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                text = QString::number(cell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = CellNumberText(cell.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (cell.value.text_value)
                    text = QString::fromUtf8(cell.value.text_value);
                break;
            default:
                break;
            }
            if (text.isEmpty())
                continue;
            if (answer.rows.size() <= r)
                answer.rows.resize(r + 1);
            QStringList& row = answer.rows[r];
            if (row.size() < usedColumns)
                row.resize(usedColumns);
            row[c] = text;
        }
    }
    answer.ok = true;
    return answer;
}

QByteArray EncodeXlsAnswer(const XlsAnswer& answer) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << answer.ok << answer.reason << qint32(answer.rows.size());
    for (const QStringList& row : answer.rows)
        out << row;
    return bytes;
}

bool DecodeXlsAnswer(const QByteArray& bytes, XlsAnswer& answer) {
    QDataStream in(bytes);
    XlsAnswer decoded;
    qint32 rows = 0;
    in >> decoded.ok >> decoded.reason >> rows;
    if (in.status() != QDataStream::Ok || rows < 0 || rows > MaxSheetRows)
        return false;
    decoded.rows.reserve(static_cast<size_t>(std::min(rows, 65536)));
    for (qint32 r = 0; r < rows && in.status() == QDataStream::Ok; ++r) {
        QStringList row;
        in >> row;
        decoded.rows.push_back(std::move(row));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    answer = std::move(decoded);
    return true;
}
