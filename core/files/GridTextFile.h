#pragma once

// Grid text files: the tab-separated text of the protocol and finish tables
// (backups, saved protocols, start lists). Files are written in Windows-1252
// with CR LF; readers take UTF-8 and UTF-16 as well (DecodeWindowsText), accept
// CR LF, LF and CR line ends and refuse files that are no text.

#include "core/base/Windows1252.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class GridCopy;
class SortGridData;

// Largest file the readers take into memory; larger ones are refused with a message.
inline constexpr qint64 MaxTextFileSize = 200 * 1024 * 1024;

// Backup file names: the folder text, the program title and a fixed ending joined
// without a separator, so a folder typed without a trailing separator names files
// in its parent folder.
QString ProtocolBackupName(const QString& folder);
QString FinishBackupName(const QString& folder);

// Writes the rows of `grid` as grid text (columns 0 .. ColCount() - 2, each followed
// by TAB, an empty cell as one blank, CR LF). The header row is written when its
// column 0 is not empty; a data row when any written cell holds text. The file is
// replaced atomically. On failure returns false with a German message in `error`.
bool WriteGridText(const SortGridData& grid, const QString& fileName, QString* error = nullptr);
bool WriteGridText(const GridCopy& grid, const QString& fileName, QString* error = nullptr);

// Reads a start list or protocol backup into the protocol grid. The grid stays
// untouched when the file cannot be read. Empty captions of columns 0 .. 11 are
// refilled from `defaultCaptions`. Ranking and selecting are the caller's.
bool LoadProtocolText(SortGridData& grid, const QString& fileName, const QStringList& defaultCaptions,
                      QString* error = nullptr);

// Reads the finish backup into the finish grid (data lines only, empty lines skipped).
bool LoadFinishText(SortGridData& grid, const QString& fileName, QString* error = nullptr);

// --- helpers shared with the other text readers and writers

// Whole file into `data`; false with a German message naming the file and the reason.
bool ReadTextFileBytes(const QString& fileName, QByteArray& data, QString* error);

// Whole file decoded into `text`; refuses data that is no text (LooksBinary).
bool ReadTextFile(const QString& fileName, QString& text, QString* error);

// German message "Die Datei »name« kann nicht gelesen werden: reason".
QString ReadErrorText(const QString& fileName, const QString& reason);
