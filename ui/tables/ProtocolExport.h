#pragma once

#include "core/files/ExportOptions.h"
#include "core/platform/Platform.h"
#include "core/settings/TSettings.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <functional>

class Backups;
class QAbstractButton;
class QAction;
class QWidget;
class SortGridData;
class TSortGrid;

struct ExportControls {
    QWidget* window = nullptr;            // the shortcuts are added to it; parent of the dialogs
    const TSortGrid* SortGrid1 = nullptr; // read only: the protocol table writes it
    QAbstractButton* sbSave = nullptr;
    QAbstractButton* sbPrint = nullptr;
    QAbstractButton* sbWord = nullptr;
    QAbstractButton* sbExcel = nullptr;
    QAbstractButton* sbHTML = nullptr;
};

// The result commands: the buttons sbSave, sbPrint, sbWord, sbExcel, sbHTML, their
// shortcuts (eS1 Ctrl+S, Druk1 Ctrl+D, eW1 Ctrl+W, eE1 Ctrl+E, eH1 Ctrl+H) and
// their enabling, and the exports they start. The files are written by a worker
// thread from a copy of the protocol taken at the command, so that impulses are
// handled at once while a long export runs; what it reports reaches the window after.
class ProtocolExport : public QObject {
    Q_OBJECT
public:
    enum Entry { AllFiles = 1, Excel, Text, Word, WebPage, Pdf };

    // Exports go to the current folder, or to the backup folder of `backups` when that cannot
    // be written; what the export tells its neighbours are its signals.
    ProtocolExport(const ExportControls& controls, const Backups& backups, const TSettings& settings,
                   const Platform& platform, QObject* parent = nullptr);
    ~ProtocolExport() override; // a file being written is finished first

    QAction* eS1() const { return m_eS1; }
    QAction* eH1() const { return m_eH1; }
    QAction* Druk1() const { return m_Druk1; }
    QAction* eW1() const { return m_eW1; }
    QAction* eE1() const { return m_eE1; }

    // The save dialog's type list, in the order of the stored entry numbers.
    static QStringList SaveFilters();

    // Enables the commands when the protocol has a first data row with any text.
    void UpdateResultCommands();

    // Place correction, save dialog, export in the chosen format.
    void sbSaveClick();
    // Writes the result list "Kadenzor.html"; tag 0 opens it, tag 1 prints it.
    void sbHTMLClick(int tag);
    void sbWordClick();
    void sbExcelClick();
    // Mode 0 opens the document after writing it, mode 1 only writes it.
    void ExportToWord(int mode, const QString& fileName);
    void ExportToExcel(const QString& fileName, bool open);
    // Waits until every file handed to the worker is written and reported.
    void WaitForExports();

    // Where files named without a folder go: the current folder of the process, or the
    // backup folder when that cannot be written. Ends in "/".
    QString OutputFolder() const;
    // The Word template beside the program.
    QString TemplateFile() const;

    // The protocol holds something to save (sbSave is available).

signals:
    // Saving starts with the place correction: the protocol is ranked first.
    void RankingWanted();
    // Where the last file went, for the status bar.
    void StatusText(const QString& text);
    // The save dialog's chosen entry, 1-based, for the settings.
    void FilterIndexChosen(int filterIndex);

private:
    // Writes `fileName` on the worker's thread from the grid of a copy taken now; `done`
    // follows a successful write on the window's thread.
    using Writer = std::function<bool(const SortGridData& grid, const ExportOptions& options, const QString& name,
                                      QString& error)>;
    void WriteLater(const QString& fileName, Writer write, std::function<void()> done = {});
    void Finish(quint64 job, bool ok, const QString& fileName, const QString& error, const std::function<void()>& done);
    ExportOptions Options() const;
    void Export(Entry entry, const QString& fileName);
    void Written(const QString& fileName);
    void Failed(const QString& error);
    // True (and the operator told) when `fileName` is a file of the program's own.
    bool Refused(const QString& fileName);
    QAction* AddShortcut(const char* name, const QKeySequence& key);

    ExportControls c;
    const Backups& m_backups;
    const TSettings& m_settings;
    Platform m_platform;
    QAction* m_eS1 = nullptr;
    QAction* m_eH1 = nullptr;
    QAction* m_Druk1 = nullptr;
    QAction* m_eW1 = nullptr;
    QAction* m_eE1 = nullptr;
    quint64 m_jobs = 0;     // handed to the worker
    quint64 m_finished = 0; // reported back
    QThreadPool m_pool;     // last: its thread ends before anything above goes
};
