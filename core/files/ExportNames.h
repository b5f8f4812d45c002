#pragma once

// Names of the files the exports write: stamped names that never replace an earlier
// export, and the guard that keeps the program's own files (help page, Word template,
// tones, pictures) from being written over.

#include <QString>
#include <QStringList>

// `folder` + `stem` + `suffix` when no such file exists yet, else the first free one of
// `stem`-2, `stem`-3, ... (two Ctrl+W in one second keep both documents).
QString UniqueFileName(const QString& folder, const QString& stem, const QString& suffix);

// The files the program ships in its program folder.
QStringList ShippedFileNames();

// True when `fileName` is one of the shipped files of `programFolder` or one of
// `ownFiles` (backups, journal), compared after resolving links and ".." so that no other
// spelling gets past. No export may write over such a file.
bool IsProtectedFile(const QString& programFolder, const QStringList& ownFiles, const QString& fileName);

// "Die Datei »…« gehört zum Programm und wird nicht überschrieben. …"
QString ProtectedFileText(const QString& fileName);
