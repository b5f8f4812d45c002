#include "core/files/SpreadsheetReader.h"

#include "core/files/GridTextFile.h"
#include "xls-reader/SpreadsheetText.h"

#include <QFile>
#include <QFileInfo>

SheetTexts::SheetTexts(int columns) : m_columns(qMax(columns, 0)) {}

QString SheetTexts::Text(int row, int col) const {
    if (row < 0 || row >= RowCount() || col < 0)
        return QString();
    const QStringList& r = m_rows[static_cast<size_t>(row)];
    return col < r.size() ? r[col] : QString();
}

void SheetTexts::SetText(int row, int col, const QString& text) {
    if (row < 0 || col < 0 || col >= m_columns)
        return;
    if (row >= RowCount())
        m_rows.resize(static_cast<size_t>(row) + 1);
    QStringList& r = m_rows[static_cast<size_t>(row)];
    if (r.size() <= col)
        r.resize(m_columns); // whole width at once: rows fill cell by cell
    r[col] = text;
}

// Told by the content: a zip archive is an .xlsx, a compound file an .xls.
bool ReadFirstSheet(const QString& fileName, SheetTexts& sheet, QString* error) {
    QByteArray head;
    {
        const QFileInfo info(fileName);
        QFile probe(fileName);
        if (!info.exists() || info.isDir() || !probe.open(QIODevice::ReadOnly)) {
            QByteArray ignored;
            ReadTextFileBytes(fileName, ignored, error); // says why the file cannot be read
            return false;
        }
        if (info.size() > MaxWorkbookPartSize) {
            SetReasonText(error, ReadErrorText(fileName, WorkbookTooLargeText(MaxWorkbookPartSize)));
            return false;
        }
        head = probe.read(8);
    }
    QString reason;
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")) {
        QByteArray data;
        if (!ReadTextFileBytes(fileName, data, error))
            return false;
        if (ReadXlsxSheet(data, sheet, &reason))
            return true;
    } else if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        if (ReadXlsSheet(fileName, sheet, &reason))
            return true;
    } else {
        reason = QStringLiteral("Die Datei ist keine Excel-Arbeitsmappe (.xls oder .xlsx).");
    }
    SetReasonText(error, ReadErrorText(fileName, reason));
    return false;
}
