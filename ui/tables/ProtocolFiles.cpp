#include "ui/tables/ProtocolFiles.h"

#include "core/base/Windows1252.h"
#include "core/files/ClassesFile.h"
#include "core/files/GridTextFile.h"
#include "core/files/SpreadsheetReader.h"
#include "core/platform/Prompts.h"
#include "core/race/DuplicateNumbers.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/WaitCursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>

ProtocolFiles::ProtocolFiles(QWidget* window, const TSettings& settings, ProtocolTable& protocol, FinishTable& finish,
                             NumberBox* cbKlass, TFDlgYesNo& question, Prompts& prompts, QString programFolder,
                             QObject* parent)
    : QObject(parent), m_window(window), m_settings(settings), m_protocol(protocol), m_finish(finish),
      m_cbKlass(cbKlass), m_question(question), m_prompts(prompts), m_programFolder(std::move(programFolder)) {}

QStringList ProtocolFiles::OpenFilters() {
    return {QStringLiteral("Alle Dateien (*.txt *.xls *.xlsx)"), QStringLiteral("MS Excel (*.xls *.xlsx)"),
            QStringLiteral("Textdatei (*.txt)")};
}

void ProtocolFiles::sbLoadListClick() {
    if (m_protocol.HasResults() && !m_question.Ask(m_prompts, QStringLiteral("Protokoll wird überschrieben!")))
        return;
    int filter = m_settings.FilterOut;
    const QString file = m_prompts.openFileName(m_window, m_programFolder, OpenFilters(), filter);
    if (!file.isEmpty()) {
        if (m_write)
            m_write->Edit([filter](TSettings& s) { s.FilterOut = filter; });
        WaitCursor wait;
        m_protocol.Repaint(true);
        QApplication::processEvents();
        LoadStartList(file);
    }
    emit LayoutWanted();
}

bool ProtocolFiles::LoadStartList(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toUpper();
    QString error;
    if (suffix == QLatin1String("TXT")) {
        if (!m_protocol.LoadText(fileName, &error)) {
            m_prompts.showError(m_window, error);
            return false;
        }
        AfterTextLoad();
        JournalizeStartList(fileName);
        AfterLoad();
        WarnOfUnsavableCharacters();
        return true;
    }
    if (suffix == QLatin1String("XLS") || suffix == QLatin1String("XLSX")) {
        if (!m_protocol.LoadSpreadsheet(fileName, &error)) {
            m_prompts.showError(m_window, error);
            return false;
        }
        m_protocol.SelectWholeRow(1);
        FillStartNumberList();
        m_protocol.UpdateResultCommands();
        JournalizeStartList(fileName);
        AfterLoad();
        WarnOfUnsavableCharacters();
        return true;
    }
    m_prompts.showError(m_window, QStringLiteral("Die Datei »%1« ist weder eine Startliste als Text (.txt) noch eine "
                                                 "Tabelle (.xls, .xlsx).")
                                      .arg(QFileInfo(fileName).fileName()));
    return false;
}

void ProtocolFiles::AfterLoad() {
    emit TablesReplaced();
    // A number that two rows carry would let START or FINISH pick one of them.
    const QStringList duplicates = DuplicateNumberTexts(m_protocol.Data());
    if (!duplicates.isEmpty())
        m_prompts.showError(m_window, duplicates.join(QLatin1Char('\n')) +
                                          QStringLiteral("\nBitte die Startnummern in der Startliste berichtigen."));
}

void ProtocolFiles::JournalizeStartList(const QString& fileName) {
    const SortGridData& g = m_protocol.Data();
    QList<JournalEntry> lines;
    JournalEntry list;
    list.event = JournalEvent::StartList;
    list.source = JournalSource::Menu;
    list.Add(QStringLiteral("Datei"), fileName);
    list.Add(QStringLiteral("Zeilen"), QString::number(g.RowCount() - 1));
    lines << list;
    for (int r = 0; r < g.RowCount(); ++r) {
        JournalEntry row;
        row.event = JournalEvent::StartListRow;
        row.source = JournalSource::Program;
        row.number = g.Cell(Col::StNr, r);
        row.Add(JournalKey::Row, QString::number(r));
        row.cells = g.Rows(r);
        lines << row;
    }
    emit Journal(lines);
}

// Names like "Łukasz" stay in the table and the journal, but the backups would bring them
// back as "?ukasz" after a restart: the operator hears of it at once.
void ProtocolFiles::WarnOfUnsavableCharacters() {
    const SortGridData& g = m_protocol.Data();
    QStringList texts;
    for (int r = 0; r < g.RowCount(); ++r)
        texts << g.Rows(r);
    const QString warning = Windows1252Warning(texts);
    if (!warning.isEmpty())
        m_prompts.showError(m_window, warning + QStringLiteral("."));
}

void ProtocolFiles::AfterTextLoad() {
    m_protocol.RankProtocol();
    m_protocol.SelectWholeRow(1);
    m_protocol.UpdateResultCommands();
    FillStartNumberList();
}

bool ProtocolFiles::RestoreBackups(const QString& protocolFile, const QString& finishFile) {
    const bool restored = QFileInfo::exists(protocolFile) && m_protocol.LoadText(protocolFile);
    if (restored)
        AfterTextLoad();
    if (QFileInfo::exists(finishFile))
        m_finish.LoadBackup(finishFile);
    if (restored)
        SelectNextToStart();
    else
        m_protocol.SelectWholeRow(1);
    emit FinishNumberVoided();
    return restored;
}

// Back where the operator was: the first row without a start, or the empty row at the
// end when every row has one. The next START never restarts an athlete on the course.
void ProtocolFiles::SelectNextToStart() {
    const TSortGrid* g = m_protocol.Grid();
    int row = -1;
    for (int r = 1; r < g->RowCount() && row < 0; ++r)
        if (g->Cell(Col::Start, r).trimmed().isEmpty())
            row = r;
    if (row < 0)
        row = m_protocol.AppendEmptyRow();
    m_protocol.SelectProtocolRow(row);
    m_protocol.SelectWholeRow(row);
    emit StartNumberChosen(g->Cell(Col::StNr, row).trimmed());
}

void ProtocolFiles::LoadClassesFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName))
        return;
    bool ok = false;
    const QStringList classes = ReadClassesFile(fileName, &ok);
    if (!ok || classes.isEmpty())
        return;
    m_cbKlass->clear();
    m_cbKlass->addItems(classes);
    m_cbKlass->setCurrentIndex(0);
    m_protocol.SetClassChoices(classes);
}

void ProtocolFiles::FillStartNumberList() {
    QStringList numbers;
    for (const QString& n : m_protocol.StartNumbers())
        if (!n.trimmed().isEmpty())
            numbers << n.trimmed();
    emit StartNumbersListed(numbers);
}

void ProtocolFiles::sbClsClick() {
    if (!m_question.Ask(m_prompts, QStringLiteral("Protokoll löschen?")))
        return;
    emit Clearing();
    m_protocol.ClearTable();
    emit Cleared();
    m_protocol.UpdateResultCommands();
    m_protocol.ApplyColumnLayout();
    m_finish.Clear();
    emit StatusText(4, QStringLiteral("0"));
    JournalEntry entry;
    entry.event = JournalEvent::Cleared;
    entry.source = JournalSource::Button;
    emit Journal({entry});
    emit TablesReplaced();
}
