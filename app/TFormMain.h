#pragma once

#include "app/MainControls.h"
#include "core/platform/Platform.h"
#include "core/race/Backups.h"
#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "ui/settings/LiveSettings.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class TFDlgYesNo;
class TCfgDialog;
class TFormInfo;
class TimeDisplay;
class LockOut;
class Countdown;
class RunControl;
class ProtocolTable;
class FinishTable;
class ContactInput;
class ProtocolFiles;
class ProtocolExport;
class ProtocolEditing;
class JournalView;
class LiveResults;
class RaceRecords;
class SleepGuard;
class StatusFields;
class StationControl;

// The main window: builds the controls (layout in TFormMainLayout.cpp) into one
// struct, creates the controllers with exactly the controls and collaborators each
// needs, and connects their signals; the start-up and shut-down sequences call them
// in order.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // `settings` are the values in force at start (the settings store hands them in).
    explicit TFormMain(const Platform& platform, const TSettings& settings = TSettings(), QWidget* parent = nullptr);
    ~TFormMain() override;

    const TSettings& Settings() const { return m_settings; }
    LiveSettings& Live() { return m_live; }
    TCfgDialog& CfgDialog() { return *m_cfg; }
    RunState& State() { return m_state; }
    TimeDisplay& Display() { return *m_display; }
    LockOut& Lock() { return *m_lockOut; }
    Countdown& CountDown() { return *m_countdown; }
    RunControl& Run() { return *m_run; }
    ProtocolTable& Protocol() { return *m_protocol; }
    FinishTable& Finish() { return *m_finish; }
    ProtocolFiles& Files() { return *m_files; }
    ProtocolExport& Export() { return *m_export; }
    ProtocolEditing& Editing() { return *m_editing; }
    TFDlgYesNo& Question() { return *m_question; }
    TFormInfo& Info() { return *m_info; }
    JournalView& JournalWindow() { return *m_journalView; }
    const Backups& BackupFiles() const;
    QLabel* StatusPanel(int i) const;
    StatusFields& Status() { return *m_status; }

    ContactInput* Contacts() { return m_contacts.get(); }
    LiveResults& Web() { return *m_liveResults; }
    // The serial ports found at start, for the settings dialog's port list.
    const QList<int>& AvailablePorts() const { return m_availablePorts; }
    // After the settings dialog: closes the old port when the choice changed and opens
    // the new one; a failure is shown to the operator. Returns false on failure.
    bool ApplyPortSettings(int oldPort, const QString& oldPath);

    // Writes both backups and waits for them; a failure shows in the status bar until a
    // write succeeds.
    void WriteBackups();
    // Waits until the backups and exports handed to their writers are on the disk and
    // their results shown.
    void FlushWriters();
    // ApplyColumnLayout of both grids, EditPred to its panel's right edge, the window size in the status bar.
    void FormResize();
    // The help page (bHelp, F1, Alt+I) and the info box (bInfo, F3).
    void bHelpClick();
    void bInfoClick();

    // The settings dialog (bCFG, F2): loads, shows, stores, applies and saves.
    void bCFGClick();
    // Writes the store with the window's current bounds; a failure is reported on
    // stderr and in the status bar. True when written (or when there is no store).
    bool SaveSettings();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Start-up, in this order, before the window is first shown.
    void FormCreate();
    void SetCaption();
    void LocateToneFiles();
    void PlaceSoundButtons();
    void ApplyLoadedSettings();
    void ApplyTimerControls();
    void ApplyBackupFolderAndColumns();
    void LoadClassesFile();
    void SetUpHelp();
    void RestoreBackups();
    void ProbeAndOpenPort(bool open);
    // The settings dialog, the question dialog and the info box, after the window's own creation.
    void CreateDialogs();

    void BuildLayout();
    void BuildTopBar(QWidget* parent);
    void AnchorTopBar();
    void BuildDisplayStrip(QWidget* parent);
    void BuildTables(QWidget* parent);
    void BuildStatusBar();
    void BuildActions();
    void CreateControllers();
    void ConnectStatus();
    void ConnectRecords();
    void ConnectRun();
    void ConnectTables();
    void ConnectContacts();
    void ApplyStartModeAndTimer();
    void CreateLiveResults();
    void bLoadClick();
    void ConnectSettings();
    void BuildSettingsDialog();
    void SettingsChanged(const TSettings& before);
    void CaptureWindowSettings();
    void KeepOnScreen();
    // The window "Journal" (Ctrl+J and an item of the protocol's context menu).
    void BuildJournalView();

    Platform m_platform;
    LiveSettings m_live;
    const TSettings& m_settings = m_live.Value();
    RunState m_state;
    MainControls m_ui;
    JournalView* m_journalView = nullptr;
    TFDlgYesNo* m_question = nullptr;
    TCfgDialog* m_cfg = nullptr;
    TFormInfo* m_info = nullptr;
    QString m_helpFile;
    bool m_startedUp = false; // the start-up sequence is through: settings changes may write backups
    // The controllers, each declared after those it uses: they are destroyed in reverse
    // (the live results and the contacts first), and all before the controls, which
    // are children of the window.
    std::unique_ptr<StatusFields> m_status;
    std::unique_ptr<TimeDisplay> m_display;
    std::unique_ptr<LockOut> m_lockOut;
    std::unique_ptr<ProtocolTable> m_protocol;
    std::unique_ptr<FinishTable> m_finish;
    std::unique_ptr<RunControl> m_run;
    std::unique_ptr<Countdown> m_countdown;
    std::unique_ptr<ProtocolFiles> m_files;
    std::unique_ptr<RaceRecords> m_records;
    std::unique_ptr<SleepGuard> m_sleep;
    std::unique_ptr<ProtocolEditing> m_editing;
    std::unique_ptr<ProtocolExport> m_export;
    std::unique_ptr<ContactInput> m_contacts;
    std::unique_ptr<LiveResults> m_liveResults;
    std::unique_ptr<StationControl> m_stations; // last: it goes before the records and run control it uses
    QList<int> m_availablePorts;
};
