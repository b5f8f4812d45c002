#pragma once

#include "core/race/JournalEntry.h"
#include "core/settings/TSettings.h"
#include "ui/settings/SettingsEditor.h"

#include <QObject>
#include <functional>

class NumberBox;
class Prompts;
class ProtocolTable;
class FinishTable;
class TFDlgYesNo;
class QAbstractButton;
class QWidget;

// Start lists and the classes file into the protocol, the tables of the last run
// back from the backups, and clearing the protocol.
class ProtocolFiles : public QObject {
    Q_OBJECT
public:
    ProtocolFiles(QWidget* window, const TSettings& settings, ProtocolTable& protocol, FinishTable& finish,
                  NumberBox* cbKlass, TFDlgYesNo& question, Prompts& prompts, QString programFolder,
                  QObject* parent = nullptr);

    // The open dialog's type list.
    static QStringList OpenFilters();

    // The start-list command (button sbLoadList, Ctrl+O).
    void sbLoadListClick();
    // Loads a start list or saved protocol by its extension; false (and a message to the
    // operator) when it could not be read; the table stays as it was then.
    bool LoadStartList(const QString& fileName);
    // At window creation: both tables from the backups in `folder`; a missing backup is skipped.
    // True when the protocol backup was there and could be read.
    bool RestoreBackups(const QString& protocolFile, const QString& finishFile);
    // "Klassen.txt" of the working folder into cbKlass; an unreadable file keeps the items.
    void LoadClassesFile(const QString& fileName);
    // The start-number box receives the start numbers of the protocol (StartNumbersListed).
    void FillStartNumberList();
    // Clears protocol and finish table after the question "Protokoll löschen?".
    void sbClsClick();

signals:
    // "Protokoll löschen?" was answered yes; the competition ends before the tables are cleared.
    void Clearing();
    // The tables are cleared: both number boxes lose their lists, the display shows 0.
    void Cleared();
    // The protocol's start numbers, for the start-number box's list.
    void StartNumbersListed(const QStringList& numbers);
    // After a restore: the start number of the row the run goes on with.
    void StartNumberChosen(const QString& number);
    // After a restore: no number is left over for a FINISH before the operator names one.
    void FinishNumberVoided();
    // A start list was loaded: the window lays out again.
    void LayoutWanted();
    // Text for status field `panel`.
    void StatusText(int panel, const QString& text);
    // A start list replaced the tables or the protocol was cleared: a new race, whose
    // backups are due at once.
    void TablesReplaced();
    // Start lists loaded, the protocol cleared, for the journal.
    void Journal(const QList<JournalEntry>& entries);

public:
    // The open dialog's type-list choice goes to the settings through `writer`.
    void SetSettingsWriter(SettingsEditor& editor) { m_write = &editor; }

private:
    void AfterTextLoad();
    // Both kinds of start list: the new race is saved, duplicate numbers are named.
    void AfterLoad();
    void WarnOfUnsavableCharacters();
    void SelectNextToStart();
    // The loaded table, every row of it, into the journal in one write.
    void JournalizeStartList(const QString& fileName);

    QWidget* m_window;
    const TSettings& m_settings;
    SettingsEditor* m_write = nullptr;
    ProtocolTable& m_protocol;
    FinishTable& m_finish;
    NumberBox* m_cbKlass;
    TFDlgYesNo& m_question;
    Prompts& m_prompts;
    QString m_programFolder;
};
