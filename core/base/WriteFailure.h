#pragma once

// One German sentence for every file that cannot be written: the file's name and a
// reason the operator can act on, never the C library's English text.

#include <QString>

// Why `fileName` could not be written: what the file system shows now (a missing folder,
// a read-only drive, a full disk), else the meaning of `errorNumber` (errno of the failed call).
QString WriteFailureReason(const QString& fileName, int errorNumber);

// "Die Datei »name« kann nicht geschrieben werden: reason"
QString WriteFailureText(const QString& fileName, const QString& reason);

// Both in one: the sentence for `fileName` with the reason from `errorNumber`.
QString WriteFailureText(const QString& fileName, int errorNumber);
