// The .xls reader: libfreexl runs in a separate program (kadenzor-xls-reader), so a
// file that crashes or hangs the library costs a message, never the running race.
#include "core/files/SpreadsheetReader.h"

#include "core/files/XlsReaderProcess.h"
#include "xls-reader/SpreadsheetText.h"
#include "xls-reader/XlsWorkbook.h"

namespace {

// Longest time an .xls may take to read before it counts as damaged.
constexpr int XlsTimeoutMs = 60000;

} // namespace

bool ReadXlsSheet(const QString& fileName, SheetTexts& sheet, QString* reason) {
    const QString program = XlsReaderProcess::Program();
    if (program.isEmpty()) {
        SetReasonText(reason, QStringLiteral("Das Leseprogramm für .xls-Dateien (kadenzor-xls-reader) fehlt."));
        return false;
    }
    XlsReaderProcess process;
    QByteArray output;
    XlsAnswer answer;
    if (!process.Run(program, {fileName, QString::number(sheet.Columns())}, XlsTimeoutMs, 4 * MaxWorkbookPartSize,
                     output) ||
        !DecodeXlsAnswer(output, answer)) {
        SetReasonText(reason, DamagedWorkbookText(QStringLiteral("die Excel-Bibliothek ist daran gescheitert")));
        return false;
    }
    if (!answer.ok) {
        SetReasonText(reason, answer.reason);
        return false;
    }
    SheetTexts result(sheet.Columns());
    for (size_t r = 0; r < answer.rows.size(); ++r) {
        const QStringList& row = answer.rows[r];
        for (int c = 0; c < row.size(); ++c)
            if (!row[c].isEmpty())
                result.SetText(static_cast<int>(r), c, row[c]);
    }
    sheet = std::move(result);
    return true;
}
