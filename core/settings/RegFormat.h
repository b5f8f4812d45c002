#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// The settings file in the style of a registry export:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Zeitravo\Kadenzor]
//   "Port"=dword:00000000
//   "Title"="Wettkampftitel"
//
// A value keeps its type: a dword reads as an int (the signed 32-bit pattern), a
// text as a QString (with \ and " escaped by a backslash), any other registry type
// ("hex:...", "qword:...") as a QByteArray holding the text after "=", which is
// written back unchanged. UTF-8; lines may end in CR LF or LF.

struct RegValue {
    QString name;
    QVariant value; // int, QString or QByteArray (other registry types, kept verbatim)

    bool operator==(const RegValue&) const = default;
};

struct RegReadResult {
    QList<RegValue> values; // in file order, up to the first damaged line
    int damagedLine = 0;    // 1-based number of the first damaged line; 0 = none
    QString damage;         // what is wrong with that line
};

namespace RegFormat {

inline constexpr char kHeader[] = "Windows Registry Editor Version 5.00";

// Reads the values below `key` (for example "HKEY_CURRENT_USER\Software\Zeitravo\Kadenzor").
// The first line that cannot be read, or a value outside that key, ends the reading.
RegReadResult Read(const QByteArray& data, const QString& key);

// Writes the values in the given order, CR LF line ends.
QByteArray Write(const QList<RegValue>& values, const QString& key);

// One value as a line, without the line end.
QString ValueLine(const RegValue& value);

} // namespace RegFormat
