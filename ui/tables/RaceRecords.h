#pragma once

#include "core/race/BackupWriter.h"
#include "core/race/Backups.h"
#include "core/race/Journal.h"
#include "core/race/JournalEntry.h"
#include "core/settings/TSettings.h"

#include <QObject>

#include <functional>

class Clock;
class FinishTable;
class Prompts;
class ProtocolFiles;
class ProtocolTable;
class TFDlgYesNo;
struct RunState;

// What keeps the race's recorded times safe beyond the window: the two table
// backups and the run state, rewritten after every change, and the impulse journal,
// appended and synced for every event. A failure never stops the race; it shows in
// the status bar until a write succeeds again. At start-up it brings the tables
// back, from the backups or, when those are missing or damaged, from the journal.
class RaceRecords : public QObject {
    Q_OBJECT
public:
    RaceRecords(const ProtocolTable& protocol, const FinishTable& finish, ProtocolFiles& files, RunState& state,
                const Clock& clock, const TSettings& settings, TFDlgYesNo& question, Prompts& prompts,
                QString programFolder, QObject* parent = nullptr);

    const Backups& BackupFiles() const { return m_backups; }
    const Journal& JournalFile() const { return m_journal; }
    const QString& Folder() const { return m_backups.Folder(); }

    // The folder set in RezervDir, or the default one when it is empty; a folder that
    // does not exist is accepted (a stick plugged in later) but shown at once. An
    // installed program's data folder is named in the status bar.
    void UseFolder(const QString& rezervDir);
    // Start-up: both tables of the last run come back, the journal is started (offering
    // to rebuild a missing or damaged protocol from it), queued finishes count on and a
    // mass start keeps its clock.
    void RestoreTables();
    // A changed backup folder takes the next backup at once.
    void ApplySettings(const TSettings& before);

    ~RaceRecords() override; // what waits is written first

    // Hands both tables and the run state to the backup writer; they are written at once
    // on its thread, and what it reports reaches the status bar from there.
    void WriteBackups();
    // A start list replaced the tables or the protocol was cleared: the race's stamps and
    // placeholder numbers go, and both backups and the run state are written at once.
    void NewRace();
    // Waits until the backups handed over are on the disk and reports their result now
    // (before a question, at ENDE, at shut-down).
    void FlushBackups();
    // One call per event: tick and clock come from the entries, or from now.
    void Journalize(const QList<JournalEntry>& entries);
    // Called for every line with date, clock and tick set, before it is written (a
    // timing station numbers its lines there).
    void SetStamp(std::function<void(JournalEntry&)> stamp) { m_stamp = std::move(stamp); }
    // Program start and end, and a ranking by hand.
    void JournalProgramEvent(const QString& event);

signals:
    // Why the backups (or the run-state file) cannot be written; empty once a write succeeded.
    void BackupFailure(const QString& text);
    // Why the journal cannot be written; empty once a line could be written again.
    void JournalFailure(const QString& text);
    // Where the backups go, when that is not beside the program.
    void FolderNotice(const QString& text);
    // Something the operator should read once (a journal line cut off, a replay notice).
    void Notice(const QString& text);
    // The lines of one event as they were written (also when the write failed).
    void Journalized(const QList<JournalEntry>& entries);

private:
    // Backups and journal in the folder RezervDir names, or the default one.
    void SetFolder(const QString& rezervDir);
    void StartJournal(bool protocolRestored);
    void RecoverFromJournal();
    void CheckFolder();
    void ShowBackupResult(const BackupWriter::Result& result);

    const ProtocolTable& m_protocol;
    const FinishTable& m_finish;
    ProtocolFiles& m_files;
    RunState& m_state;
    const Clock& m_clock;
    const TSettings& m_settings;
    TFDlgYesNo& m_question;
    Prompts& m_prompts;
    QString m_programFolder;
    Backups m_backups;
    Journal m_journal;
    bool m_backupFailing = false;
    quint64 m_shownSerial = 0; // the newest backup result shown; older ones arrive late
    BackupWriter m_writer;
    bool m_journalFailing = false;
    std::function<void(JournalEntry&)> m_stamp;
};
