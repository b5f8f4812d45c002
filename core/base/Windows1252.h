#pragma once

// The code page of every file the program writes and of the text files it reads.

#include <QByteArray>
#include <QString>

// Windows-1252, or UTF-8 when the data starts with a UTF-8 byte order mark (which is dropped).
QString DecodeWindowsText(const QByteArray& data);

// Windows-1252; a character outside the code page becomes "?".
QByteArray EncodeWindows1252(const QString& text);

// True when the code point has a Windows-1252 byte of its own.
bool InWindows1252(char32_t codePoint);
