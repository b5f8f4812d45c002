#include "ui/tables/RaceRecords.h"

#include "core/files/GridTextFile.h"
#include "core/platform/Clock.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/RunState.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolFiles.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/TSortGrid.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kJournalFailed = QStringLiteral("Journal fehlgeschlagen: ");
const QString kBackupFailed = QStringLiteral("Sicherung fehlgeschlagen: ");
const QString kRecoverQuestion =
    QStringLiteral("Sicherungsdatei fehlt oder ist beschädigt. Protokoll aus dem Journal wiederherstellen?");

// The date of a clock of day captured a moment ago: just before midnight when it is
// far later than the clock now.
QDate DateOf(const QTime& clock, const QDateTime& now) {
    if (clock.isValid() && clock.msecsSinceStartOfDay() > now.time().msecsSinceStartOfDay() + 3600 * 1000)
        return now.date().addDays(-1);
    return now.date();
}

// A damaged backup is kept beside the new one, for the operator to look at.
void KeepDamaged(const QString& fileName, const QDateTime& now) {
    if (QFileInfo::exists(fileName))
        QFile::copy(fileName,
                    fileName + QStringLiteral(".beschädigt-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

} // namespace

RaceRecords::RaceRecords(const ProtocolTable& protocol, const FinishTable& finish, ProtocolFiles& files,
                         RunState& state, const Clock& clock, const TSettings& settings, TFDlgYesNo& question,
                         Prompts& prompts, QString programFolder, QObject* parent)
    : QObject(parent), m_protocol(protocol), m_finish(finish), m_files(files), m_state(state), m_clock(clock),
      m_settings(settings), m_question(question), m_prompts(prompts), m_programFolder(std::move(programFolder)),
      m_writer([this](const BackupWriter::Result& result) {
          QMetaObject::invokeMethod(
              this, [this, result] { ShowBackupResult(result); }, Qt::QueuedConnection);
      }) {}

RaceRecords::~RaceRecords() {
    m_writer.Flush();
}

void RaceRecords::SetFolder(const QString& rezervDir) {
    m_backups.SetFolder(rezervDir.isEmpty() ? DefaultBackupFolder(m_programFolder) : rezervDir);
    m_journal.SetFolder(m_backups.Folder());
}

void RaceRecords::UseFolder(const QString& rezervDir) {
    SetFolder(rezervDir);
    // An installed program cannot write beside itself: the operator must know where the backups are.
    if (m_backups.Folder() != m_programFolder && m_backups.Folder() == DefaultBackupFolder(QString()))
        emit FolderNotice(QStringLiteral("Sicherungsdateien in ") + m_backups.Folder());
    CheckFolder();
}

void RaceRecords::CheckFolder() {
    const QString folder = m_backups.Folder();
    if (QFileInfo(folder).isDir())
        return;
    // Accepted (it may be a stick plugged in later), but the operator must know now.
    m_backupFailing = true;
    emit BackupFailure(QStringLiteral("Sicherungsordner nicht vorhanden: ") + folder);
}

void RaceRecords::ApplySettings(const TSettings& before) {
    if (m_settings.RezervDir == before.RezervDir)
        return;
    SetFolder(m_settings.RezervDir);
    // The operator sees at once whether the new folder takes the backups.
    WriteBackups();
    FlushBackups();
    CheckFolder();
}

void RaceRecords::RestoreTables() {
    const QString folder = m_backups.Folder();
    const bool protocolRestored = m_files.RestoreBackups(ProtocolBackupName(folder), FinishBackupName(folder));
    StartJournal(protocolRestored);
    // Queued finishes count on, a mass start keeps its clock.
    m_state.finishCounter = m_finish.HighestNumber();
    m_backups.ReadRunState(m_state);
}

void RaceRecords::WriteBackups() {
    m_writer.Submit({m_backups, GridCopy(m_protocol.Data()), GridCopy(m_finish.Grid()->Data()), m_state});
}

void RaceRecords::FlushBackups() {
    ShowBackupResult(m_writer.Flush());
}

void RaceRecords::ShowBackupResult(const BackupWriter::Result& result) {
    if (result.serial <= m_shownSerial)
        return;
    m_shownSerial = result.serial;
    if (result.ok) {
        if (m_backupFailing)
            emit BackupFailure(QString());
        m_backupFailing = false;
        return;
    }
    // The race goes on; the operator sees that it is unprotected until a write succeeds.
    m_backupFailing = true;
    emit BackupFailure(kBackupFailed + result.error);
}

void RaceRecords::NewRace() {
    m_state.NewRace();
    WriteBackups();
}

void RaceRecords::Journalize(const QList<JournalEntry>& entries) {
    const Moment at = m_clock.moment();
    const QDateTime now = m_clock.now();
    QList<JournalEntry> lines = entries;
    for (JournalEntry& e : lines) {
        if (!e.hasTick) {
            e.tick = at.tick;
            e.hasTick = true;
        }
        if (!e.clock.isValid())
            e.clock = at.clock.isValid() ? at.clock : now.time();
        if (!e.date.isValid())
            e.date = DateOf(e.clock, now);
        if (m_stamp)
            m_stamp(e);
    }
    const bool written = m_journal.Append(lines);
    if (written) {
        if (m_journalFailing)
            emit JournalFailure(QString());
        m_journalFailing = false;
    } else {
        // Like a failed backup: the race goes on, the operator sees it until a write succeeds.
        m_journalFailing = true;
        emit JournalFailure(kJournalFailed + m_journal.LastError());
    }
    emit Journalized(lines);
}

void RaceRecords::JournalProgramEvent(const QString& event) {
    JournalEntry entry;
    entry.event = event;
    entry.source = JournalSource::Program;
    if (event == JournalEvent::ProgramStart) {
        entry.Add(QStringLiteral("Version"), QStringLiteral(KADENZOR_VERSION));
        entry.Add(QStringLiteral("Startart"),
                  m_settings.massStart() ? QStringLiteral("Massenstart") : QStringLiteral("Einzelstart"));
    }
    if (event == JournalEvent::ProgramStart || event == JournalEvent::Ranked)
        entry.Add(JournalKey::Ranked, RankingText(m_protocol.RankOptions()));
    if (event == JournalEvent::Ranked)
        entry.source = JournalSource::Menu;
    Journalize({entry});
}

void RaceRecords::StartJournal(bool protocolRestored) {
    if (!protocolRestored || !BackupLooksIntact(ProtocolBackupName(m_backups.Folder()))) {
        RecoverFromJournal();
    } else {
        // A power cut during a write leaves the last line without its end.
        QFile file(m_journal.FileName());
        char last = '\n';
        if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.seek(file.size() - 1))
            file.getChar(&last);
        if (last != '\n')
            emit Notice(QStringLiteral("Journal: letzte Zeile unvollständig, sie wird übergangen"));
    }
    JournalProgramEvent(JournalEvent::ProgramStart);
}

void RaceRecords::RecoverFromJournal() {
    QFile file(m_journal.FileName());
    if (!file.open(QIODevice::ReadOnly))
        return;
    // All of it: the race to rebuild is at the end.
    const QByteArray bytes = file.readAll();
    file.close();
    SortGridData protocol(Col::Count, 2);
    protocol.SetRows(0, m_protocol.Data().Rows(0));
    SortGridData finish(FinishCol::Count, 2);
    finish.SetRows(0, m_finish.Grid()->Data().Rows(0));
    const JournalReplayResult result = ReplayJournal(bytes, protocol, finish);
    const QString notice = ReplayNotice(result);
    if (!notice.isEmpty())
        emit Notice(notice);
    if (!result.content || !m_question.Ask(m_prompts, kRecoverQuestion))
        return;

    const QDateTime now = m_clock.now();
    QString protocolFile = ProtocolBackupName(m_backups.Folder());
    QString finishFile = FinishBackupName(m_backups.Folder());
    KeepDamaged(protocolFile, now);
    QString error;
    QTemporaryDir scratch;
    m_writer.Flush(); // nothing else writes the backups meanwhile
    if (!m_backups.WriteBackups(protocol, finish, error)) {
        // The tables come back all the same; the status says they are not protected.
        m_backupFailing = true;
        emit BackupFailure(kBackupFailed + error);
        protocolFile = scratch.filePath(QStringLiteral("P.txt"));
        finishFile = scratch.filePath(QStringLiteral("F.txt"));
        WriteGridText(protocol, protocolFile);
        WriteGridText(finish, finishFile);
    }
    m_files.RestoreBackups(protocolFile, finishFile);
}
