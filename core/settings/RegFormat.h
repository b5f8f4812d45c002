#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
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
// written back unchanged. Written in UTF-8; read as UTF-8, UTF-16 after its byte order
// mark, or Windows-1252 when the bytes are no valid UTF-8. Lines may end in CR LF, LF or CR.

struct RegValue {
    QString name;
    QVariant value; // int, QString or QByteArray (other registry types, kept verbatim)

    bool operator==(const RegValue&) const = default;
};

struct RegReadResult {
    QList<RegValue> values; // in file order; a damaged line in between does not end the reading
    int damagedLine = 0;    // 1-based number of the first damaged line; 0 = none
    QString damage;         // what is wrong with that line
    int damagedLines = 0;   // how many lines are damaged
    // The lines that are no values of the key, to be written back after the values so that
    // nothing is lost: comments and other keys with their lines as they stand, damaged
    // lines as comments (kDamagedMark in front).
    QStringList kept;
    // The names of damaged value lines where the name itself could be read: the value is
    // there, only unreadable, which is not the same as a value an older store lacks.
    QStringList damagedNames;
};

namespace RegFormat {

inline constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
// Put in front of a line that could not be read when it is written back as a comment.
inline constexpr char kDamagedMark[] = "; nicht lesbar: ";

// Reads the values below `key` (for example "HKEY_CURRENT_USER\Software\Zeitravo\Kadenzor").
// A line that cannot be read is kept, and reading goes on with the next one; a text cut
// inside its quotes is read up to the line end (and counted as damaged).
RegReadResult Read(const QByteArray& data, const QString& key);

// Writes the values in the given order, then the `kept` lines unchanged; CR LF line ends.
QByteArray Write(const QList<RegValue>& values, const QString& key, const QStringList& kept = {});

// One value as a line, without the line end.
QString ValueLine(const RegValue& value);

} // namespace RegFormat
