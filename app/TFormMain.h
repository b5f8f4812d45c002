#pragma once

#include "platform/Platform.h"
#include "protocol/Backups.h"
#include "reports/LiveSettings.h"
#include "reports/TSettings.h"
#include "timing/RunState.h"

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QStatusBar;
class QToolButton;
class QWidget;
class NumberBox;
class TBitBtnWithColor;
class TImage;
class TSortGrid;
class TFDlgYesNo;
class TCfgDialog;
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

// The main window: creates the controls (layout in TFormMainLayout.cpp), the
// controllers with exactly the controls and collaborators each needs, and
// connects actions, buttons and timers to them.
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
    const Backups& BackupFiles() const { return m_backups; }
    QLabel* StatusPanel(int i) const { return m_statusPanels[i]; }

    ContactInput* Contacts() { return m_contacts.get(); }
    // The serial ports found at start, for the settings dialog's port list.
    const QList<int>& AvailablePorts() const { return m_availablePorts; }
    // After the settings dialog: closes the old port when the choice changed and opens
    // the new one; a failure is shown to the operator. Returns false on failure.
    bool ApplyPortSettings(int oldPort, const QString& oldPath);

    // Writes both backups; a failure shows in the status bar until a write succeeds.
    void WriteBackups();
    // ApplyColumnLayout of both grids and the status bar.
    void FormResize();

    // The settings dialog (bCFG, F2): loads, shows, stores, applies and saves.
    void bCFGClick();
    // Writes the store with the window's current bounds; a failure is reported on
    // stderr and in the status bar. True when written (or when there is no store).
    bool SaveSettings();

    // Controls, named as the operator's manual names them.
    QWidget* Panel1 = nullptr;
    QToolButton* bHelp = nullptr;
    QToolButton* bCFG = nullptr;
    QToolButton* bInfo = nullptr;
    QLabel* PanelTime = nullptr;
    QLabel* PanelDate = nullptr;
    QWidget* PanelL = nullptr;
    QWidget* PanelTimerOwner = nullptr;
    QWidget* Image1 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* PanelB = nullptr;
    QToolButton* sbLoadList = nullptr;
    QToolButton* sbSound1 = nullptr;
    QToolButton* sbSound0 = nullptr;
    TBitBtnWithColor* bTimer = nullptr;
    QCheckBox* cbAuto = nullptr;
    QSpinBox* seAutoStart = nullptr;
    TImage* ImageLSstart = nullptr;
    TImage* ImageLSstop = nullptr;
    TBitBtnWithColor* bSTART = nullptr;
    QLabel* LabelNr = nullptr;
    NumberBox* cbStartN = nullptr;
    NumberBox* cbKlass = nullptr;
    TBitBtnWithColor* bSTOP = nullptr;
    NumberBox* cbStopN = nullptr;
    QLineEdit* EditPred = nullptr;
    TBitBtnWithColor* bEnd = nullptr;
    QWidget* Panelprom = nullptr;
    QLabel* Panel5 = nullptr;
    TSortGrid* SortGrid2 = nullptr;
    QWidget* PanelR = nullptr;
    QWidget* PanelButtons = nullptr;
    QToolButton* bLoad = nullptr;
    QToolButton* sbSave = nullptr;
    QToolButton* sbPrint = nullptr;
    QToolButton* sbWord = nullptr;
    QToolButton* sbExcel = nullptr;
    QToolButton* sbHTML = nullptr;
    QToolButton* sbCls = nullptr;
    TSortGrid* SortGrid1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // The light barriers' own field, kept at the right beside the five fields,
    // so no other status text can overwrite what the contacts report.
    QLabel* StatusContacts = nullptr;

    QAction* mStart = nullptr;
    QAction* mStop = nullptr;
    QAction* mEnd = nullptr;
    QAction* mTimer = nullptr;
    QAction* Place1 = nullptr;
    QAction* LockLSstart1 = nullptr;
    QAction* LockLSstop1 = nullptr;
    QAction* AutoCountDown1 = nullptr;
    QAction* eO1 = nullptr;
    QAction* EinstellunGen1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void BuildTopBar(QWidget* parent);
    void BuildDisplayStrip(QWidget* parent);
    void BuildTables(QWidget* parent);
    void BuildStatusBar();
    void BuildActions();
    void CreateControllers();
    void ApplyStartModeAndTimer();
    void SetStatus(int panel, const QString& text);
    void SetContactStatus(const QString& text, bool alarm);
    // Holds the sleep block from the first START to ENDE.
    void SyncSleepInhibitor();
    void bLoadClick();
    void ConnectSettings();
    void BuildSettingsDialog();
    void SettingsChanged(const TSettings& before);
    void CaptureWindowSettings();
    void KeepOnScreen();
    void CheckBackupFolder();

    Platform m_platform;
    LiveSettings m_live;
    const TSettings& m_settings = m_live.Value();
    RunState m_state;
    Backups m_backups;
    bool m_backupFailing = false;
    bool m_sleepHeld = false;
    bool m_sleepWarned = false;
    std::array<QLabel*, 5> m_statusPanels{};
    TFDlgYesNo* m_question = nullptr;
    TCfgDialog* m_cfg = nullptr;
    std::unique_ptr<TimeDisplay> m_display;
    std::unique_ptr<LockOut> m_lockOut;
    std::unique_ptr<Countdown> m_countdown;
    std::unique_ptr<ProtocolTable> m_protocol;
    std::unique_ptr<FinishTable> m_finish;
    std::unique_ptr<RunControl> m_run;
    std::unique_ptr<ContactInput> m_contacts;
    std::unique_ptr<ProtocolFiles> m_files;
    std::unique_ptr<ProtocolExport> m_export;
    std::unique_ptr<ProtocolEditing> m_editing;
    QList<int> m_availablePorts;
};
