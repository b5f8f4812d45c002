#pragma once

// The .xls reading itself, by libfreexl, and the answer the reader process
// (kadenzor-xls-reader) hands back through its standard output. libfreexl parses
// the BIFF records in C and a crafted file can make it read outside its buffers,
// so only that process calls ReadXlsWorkbook.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct XlsAnswer {
    bool ok = false;
    QString reason;                // German, when not ok
    std::vector<QStringList> rows; // at most `maxColumns` texts each
};

// The first worksheet of the workbook, at most `maxColumns` columns.
XlsAnswer ReadXlsWorkbook(const QString& fileName, int maxColumns);

QByteArray EncodeXlsAnswer(const XlsAnswer& answer);
// False when the bytes are not a complete answer.
bool DecodeXlsAnswer(const QByteArray& bytes, XlsAnswer& answer);
