#pragma once

#include <QString>
#include <QStringList>

// The class names of "Klassen.txt": one per line, lines ended by CR LF, LF or CR,
// Windows-1252 or UTF-8 (DecodeWindowsText). A final line end adds no empty name.
// `ok` tells whether the file could be read; an unreadable file gives an empty list.
QStringList ReadClassesFile(const QString& fileName, bool* ok = nullptr, QString* error = nullptr);
