// The main window's side of the impulse journal: writing the controllers' events,
// the start-up offer to rebuild the tables from it, and the status it shows.

#include "app/TFormMain.h"

#include "platform/Clock.h"
#include "protocol/FinishTable.h"
#include "protocol/GridTextFile.h"
#include "protocol/JournalReplay.h"
#include "protocol/JournalView.h"
#include "protocol/ProtocolColumns.h"
#include "protocol/ProtocolEditing.h"
#include "protocol/ProtocolFiles.h"
#include "protocol/ProtocolTable.h"
#include "reports/TFDlgYesNo.h"
#include "widgets/TSortGrid.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>

#ifndef KADENZOR_VERSION
#define KADENZOR_VERSION ""
#endif

namespace {

const QString kJournalFailed = QStringLiteral("Journal fehlgeschlagen: ");
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

void TFormMain::Journalize(const QList<JournalEntry>& entries) {
    const Moment at = m_platform.clock->moment();
    const QDateTime now = m_platform.clock->now();
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
    }
    if (m_journal.Append(lines)) {
        if (m_journalFailing && !m_backupFailing)
            SetStatus(2, QString());
        m_journalFailing = false;
        return;
    }
    // Like a failed backup: the race goes on, the operator sees it until a write succeeds.
    m_journalFailing = true;
    ShowProtectionStatus();
}

void TFormMain::ShowProtectionStatus() {
    if (!m_backupFailing && m_journalFailing)
        SetStatus(2, kJournalFailed + m_journal.LastError());
}

void TFormMain::JournalProgramEvent(const QString& event) {
    JournalEntry entry;
    entry.event = event;
    entry.source = JournalSource::Program;
    if (event == JournalEvent::ProgramStart) {
        entry.Add(QStringLiteral("Version"), QStringLiteral(KADENZOR_VERSION));
        entry.Add(QStringLiteral("Startart"),
                  m_settings.massStart() ? QStringLiteral("Massenstart") : QStringLiteral("Einzelstart"));
    }
    if (event == JournalEvent::ProgramStart || event == JournalEvent::Ranked)
        entry.Add(JournalKey::Ranked, RankingText(m_protocol->RankOptions()));
    if (event == JournalEvent::Ranked)
        entry.source = JournalSource::Menu;
    Journalize({entry});
}

void TFormMain::StartJournal(bool protocolRestored) {
    m_journal.SetFolder(m_backups.Folder());
    if (!protocolRestored || !BackupLooksIntact(ProtocolBackupName(m_backups.Folder()))) {
        RecoverFromJournal();
    } else {
        // A power cut during a write leaves the last line without its end.
        QFile file(m_journal.FileName());
        char last = '\n';
        if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.seek(file.size() - 1))
            file.getChar(&last);
        if (last != '\n')
            SetStatus(2, QStringLiteral("Journal: letzte Zeile unvollständig, sie wird übergangen"));
    }
    JournalProgramEvent(JournalEvent::ProgramStart);
}

void TFormMain::RecoverFromJournal() {
    QFile file(m_journal.FileName());
    if (!file.open(QIODevice::ReadOnly))
        return;
    // All of it: the race to rebuild is at the end.
    const QByteArray bytes = file.readAll();
    file.close();
    SortGridData protocol(Col::Count, 2);
    protocol.SetRows(0, SortGrid1->Rows(0));
    SortGridData finish(FinishCol::Count, 2);
    finish.SetRows(0, SortGrid2->Rows(0));
    const JournalReplayResult result = ReplayJournal(bytes, protocol, finish);
    const QString notice = ReplayNotice(result);
    if (!notice.isEmpty())
        SetStatus(2, notice);
    if (!result.content || !m_question->Ask(*m_platform.prompts, kRecoverQuestion))
        return;

    const QDateTime now = m_platform.clock->now();
    QString protocolFile = ProtocolBackupName(m_backups.Folder());
    QString finishFile = FinishBackupName(m_backups.Folder());
    KeepDamaged(protocolFile, now);
    QString error;
    QTemporaryDir scratch;
    if (!m_backups.WriteBackups(protocol, finish, error)) {
        // The tables come back all the same; the status says they are not protected.
        m_backupFailing = true;
        SetStatus(2, QStringLiteral("Sicherung fehlgeschlagen: ") + error);
        protocolFile = scratch.filePath(QStringLiteral("P.txt"));
        finishFile = scratch.filePath(QStringLiteral("F.txt"));
        WriteGridText(protocol, protocolFile);
        WriteGridText(finish, finishFile);
    }
    m_files->RestoreBackups(protocolFile, finishFile);
}

void TFormMain::BuildJournalView() {
    m_journalView = new JournalView(this, [this] { return m_journal.FileName(); });
    m_editing->PopupMenuProtokol->addSeparator();
    m_editing->PopupMenuProtokol->addAction(m_journalView->mJournal);
}
