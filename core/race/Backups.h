#pragma once

#include <QString>

class GridCopy;
class SortGridData;
struct RunState;

// The two backup files of the protocol and the finish table, rewritten after
// every start, finish and assignment, so that a crash costs nothing.
class Backups {
public:
    explicit Backups(QString folder = QString()) : m_folder(std::move(folder)) {}

    const QString& Folder() const { return m_folder; }
    void SetFolder(const QString& folder) { m_folder = folder; }

    // Writes the protocol backup, then the finish backup; both are attempted. On
    // failure returns false with the German reason in `error`.
    bool WriteBackups(const SortGridData& protocol, const SortGridData& finish, QString& error) const;
    bool WriteBackups(const GridCopy& protocol, const GridCopy& finish, QString& error) const;
    // The run-state backup: what a restart needs besides the tables (the clock texts of a
    // mass start and of its first finish, the stamps of the run's starts and queued
    // finishes, the highest placeholder number). Empty when nothing is known.
    bool WriteRunState(const RunState& state, QString& error) const;
    // Restores those texts; a missing or unreadable file leaves `state` as it was.
    void ReadRunState(RunState& state) const;

private:
    QString m_folder;
};

// False for a backup that a power cut typically leaves behind: empty, or with zero
// bytes where its text was. Such a file still reads, as an empty or garbled table.
bool BackupLooksIntact(const QString& fileName);

// The run-state backup beside the two table backups.
QString RunStateBackupName(const QString& folder);

// The backup folder when none is set: the program folder when it can be written,
// otherwise the application's data folder; always ending in "/".
QString DefaultBackupFolder(const QString& programFolder);
