#pragma once

// The code page of every file the program writes and of the text files it reads.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text of a file: UTF-8 or UTF-16 after its byte order mark (which is dropped); UTF-8
// when the data is valid UTF-8 and not pure ASCII (lists saved by today's editors);
// Windows-1252 otherwise (the program's own files and older lists).
QString DecodeWindowsText(const QByteArray& data);

// True for data that is no text: a NUL byte (outside UTF-16 after its byte order mark),
// or more than one byte in twenty a control character other than TAB, CR, LF and FF.
bool LooksBinary(const QByteArray& data);

// Windows-1252; a character outside the code page becomes "?".
QByteArray EncodeWindows1252(const QString& text);

// True when the code point has a Windows-1252 byte of its own.
bool InWindows1252(char32_t codePoint);

// The distinct characters of `texts` that Windows-1252 cannot hold, in the order they
// first occur, joined by ", " ("Ł, ř"); empty when every character can be stored.
QString CharactersOutsideWindows1252(const QStringList& texts);

// "Zeichen können in den Sicherungsdateien nicht gespeichert werden: Ł, ř" for the texts
// that hold such characters; empty when there are none.
QString Windows1252Warning(const QStringList& texts);
