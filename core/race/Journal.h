#pragma once

#include "core/race/JournalEntry.h"

#include <QString>

// The impulse journal "Kadenzor-Journal.txt" in the backup folder: every impulse
// and every change of the tables, one line each, appended and never rewritten.
// Each line goes out with one write and is on the disk (fdatasync) before
// Append returns, so a power cut cannot take an impulse whose handler returned.
class Journal {
public:
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // The folder the journal lives in (ending in "/"); the file is opened at the next Append.
    void SetFolder(const QString& folder);
    QString FileName() const;

    // Appends the line of `entry` (date, clock and tick must be set). A missing file is
    // created with the header line; after a failed write the next line starts on a line
    // of its own. False with the German reason in LastError().
    bool Append(const JournalEntry& entry);
    // Several lines of one event (a start list and its rows) in one write.
    bool Append(const QList<JournalEntry>& entries);
    const QString& LastError() const { return m_error; }

private:
    bool Open();
    void Close();
    bool WriteAll(const QByteArray& bytes);

    QString m_folder;
    int m_fd = -1;
    bool m_needsLineEnd = false; // the file does not end in a line end
    QString m_error;
};

// The journal's file name in `folder`.
QString JournalFileName(const QString& folder);
