#pragma once

// Texts shared by the spreadsheet readers (xlsx, xls and the .xls reader process):
// the German reasons and how numbers and truth values of cells are written.

#include <QString>
#include <QtGlobal>

// Excel's own limit; a row number beyond it marks a damaged sheet.
inline constexpr int MaxSheetRows = 1048576;

// "Die Arbeitsmappe ist beschädigt (detail)."
QString DamagedWorkbookText(const QString& detail);
// The workbook unpacks beyond `limit` bytes.
QString WorkbookTooLargeText(qint64 limit);
// Writes `text` to `target` when there is one.
void SetReasonText(QString* target, const QString& text);
// Numbers as the default locale writes them; integral values without decimals.
QString CellNumberText(double value);
QString CellBoolText(bool value);
