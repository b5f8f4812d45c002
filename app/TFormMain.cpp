#include "app/TFormMain.h"

#include "contacts/ContactInput.h"
#include "contacts/PortProbe.h"
#include "live/LiveResults.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "platform/SleepInhibitor.h"
#include "protocol/FinishTable.h"
#include "protocol/GridTextFile.h"
#include "protocol/ProtocolColumns.h"
#include "protocol/ProtocolEditing.h"
#include "protocol/ProtocolFiles.h"
#include "protocol/ProtocolTable.h"
#include "reports/ProtocolExport.h"
#include "reports/TFDlgYesNo.h"
#include "reports/TFormInfo.h"
#include "timing/Countdown.h"
#include "timing/LockOut.h"
#include "timing/NumberBox.h"
#include "timing/RunControl.h"
#include "timing/TImage.h"
#include "timing/TimeDisplay.h"
#include "timing/TimePanel.h"
#include "widgets/TBitBtnWithColor.h"
#include "widgets/TSortGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

TFormMain::TFormMain(const Platform& platform, const TSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_live(settings) {
    // The window's design: controls, hidden menus, the controllers and their wiring.
    BuildLayout();
    BuildActions();
    // Built with the design, since the controllers hold it; created after the settings dialog.
    m_question = new TFDlgYesNo(this);
    CreateControllers();
    ConnectSettings();
    SortGrid1->installEventFilter(this);
    SortGrid2->installEventFilter(this);

    FormCreate();
    CreateDialogs();
    // Once more after the backups are restored and the dialogs are built.
    FormResize();
    // Publishing starts from the restored tables.
    CreateLiveResults();
}

// The start-up sequence, all before the window is first shown. Nothing here may use
// the dialogs: they are created afterwards. The settings store's path (1) is named by
// the platform, and main.cpp hands in what the store read (8).
void TFormMain::FormCreate() {
    SetCaption(); // 2
    // 3. The display starts from its lit defaults; 4. the Word template lies beside the program (ProtocolExport).
    LocateToneFiles();   // 5
    PlaceSoundButtons(); // 6
    // 7. The file types are the program's own fixed lists (ProtocolExport, ProtocolFiles).
    ApplyLoadedSettings();         // 8
    ApplyTimerControls();          // 9
    ApplyBackupFolderAndColumns(); // 10
    m_run->ApplySound();           // 11: Sound false shows sbSound0
    LoadClassesFile();             // 12
    m_finish->SetupGrid();         // 13
    ApplyStartModeAndTimer();      // 14
    m_display->RepaintWithColorSet();
    // 15. The dialogs' type lists: built when a dialog opens. 16. The editing menus: ProtocolEditing.
    SetUpHelp(); // 17
    // 18. Both contact switches show their first picture (LockOut).
    m_protocol->SetupGrid();                        // 19
    RestoreBackups();                               // 20, 21
    m_display->ApplyFractionDigits(m_settings.Acc); // 22
    ProbeAndOpenPort(false);                        // 23
    // 24. The save and open dialogs start in the program folder (ProtocolExport, ProtocolFiles).
    m_display->RepaintWithColorSet(); // 25
    m_display->ShowUpper(0);
    m_display->ShowLower(0);
    ApplyTimerControls();
    if (m_settings.Timer > 0)
        m_display->TimerPreset(m_settings.Timer);
    m_display->TimerDateTimer();
    ProbeAndOpenPort(true);             // 26
    m_protocol->UpdateResultCommands(); // 27
    m_startedUp = true;
}

void TFormMain::SetCaption() {
    setWindowTitle(QStringLiteral("Kadenzor") + QLatin1Char(' ') + QStringLiteral("3.9"));
}

// The first tone of a race must not wait for its file to load.
void TFormMain::LocateToneFiles() {
    for (const QString& tone : {m_run->StartToneFile(), m_run->FinishToneFile()})
        if (!tone.isEmpty())
            m_platform.sound->preload(tone);
}

void TFormMain::PlaceSoundButtons() {
    sbSound0->setGeometry(sbSound1->geometry());
    // Qt paints every widget double-buffered, the top bar included.
}

void TFormMain::ApplyLoadedSettings() {
    resize(m_settings.Width, m_settings.Height);
    if (m_settings.Left && m_settings.Top) {
        move(*m_settings.Left, *m_settings.Top);
        KeepOnScreen();
    }
    PanelTimerOwner->setFixedHeight(qMax(m_settings.YY, 283));
    PanelL->setFixedHeight(PanelTimerOwner->height() + 1);
    m_countdown->ApplyAutoStart();
}

void TFormMain::ApplyTimerControls() {
    m_countdown->ApplyVisibility();
}

void TFormMain::ApplyBackupFolderAndColumns() {
    m_backups.SetFolder(m_settings.RezervDir.isEmpty() ? DefaultBackupFolder(m_platform.programFolder)
                                                       : m_settings.RezervDir);
    m_live.Edit([this](TSettings& s) {
        s.Columns |= TSettings::kForcedColumns;
        if (s.RezervDir.isEmpty())
            s.RezervDir = m_backups.Folder();
    });
    // An installed program cannot write beside itself: the operator must know where the backups are.
    if (m_backups.Folder() != m_platform.programFolder && m_backups.Folder() == DefaultBackupFolder(QString()))
        SetStatus(2, QStringLiteral("Sicherungsdateien in ") + m_backups.Folder());
    CheckBackupFolder();
}

void TFormMain::LoadClassesFile() {
    m_files->LoadClassesFile(m_platform.workingFolder + QStringLiteral("Klassen.txt"));
}

void TFormMain::SetUpHelp() {
    m_helpFile = m_platform.programFolder + QStringLiteral("Kadenzor.html");
    bHelp->setEnabled(QFileInfo::exists(m_helpFile));
}

// The tables of the last run come back, and the run goes on where it was.
void TFormMain::RestoreBackups() {
    const bool protocolRestored =
        m_files->RestoreBackups(ProtocolBackupName(m_backups.Folder()), FinishBackupName(m_backups.Folder()));
    StartJournal(protocolRestored);
    // Queued finishes count on, a mass start keeps its clock.
    m_state.finishCounter = m_finish->HighestNumber();
    m_backups.ReadRunState(m_state);
    // At program start FINISH works (RunState::finishOpenAtProgramStart), so athletes
    // still on the course when the program was restarted can be finished.
    m_run->SetFinishAvailable(true);
}

// The ports present are listed before the configured one is opened, so it is listed too.
void TFormMain::ProbeAndOpenPort(bool open) {
    if (!m_contacts)
        return;
    if (!open) {
        m_availablePorts = ProbePorts(*m_platform.serial);
        return;
    }
    m_contacts->SetDebounce(m_settings.Debounce);
    if (m_settings.Port != 0 || !m_settings.PortPath.isEmpty())
        m_contacts->OpenPortAtStart(m_settings.Port, m_settings.Alg, m_settings.PortPath);
}

void TFormMain::CreateDialogs() {
    BuildSettingsDialog();
    m_question->FormCreate();
    m_info = new TFormInfo(*m_platform.shell, this);
    m_info->FormCreate();
}

void TFormMain::bHelpClick() {
    if (QFileInfo::exists(m_helpFile))
        m_platform.shell->open(m_helpFile);
    else
        m_platform.prompts->showError(this, QStringLiteral("Die Hilfedatei %1 fehlt.").arg(m_helpFile));
}

void TFormMain::bInfoClick() {
    m_platform.prompts->exec(*m_info);
}

// Backups, then the settings, then the port: what the race recorded is safe before anything else ends.
TFormMain::~TFormMain() {
    SortGrid1->removeEventFilter(this);
    SortGrid2->removeEventFilter(this);
    // The web server and the folder writer stop before the tables they publish go.
    m_liveResults.reset();
    WriteBackups();
    JournalProgramEvent(JournalEvent::ProgramEnd);
    SaveSettings();
    if (m_contacts)
        m_contacts->ClosePort();
    if (m_platform.sleep && m_sleepHeld)
        m_platform.sleep->release();
    // The controllers go in reverse order of their declaration.
}

void TFormMain::CreateControllers() {
    Clock& clock = *m_platform.clock;
    m_display = std::make_unique<TimeDisplay>(BuildTimePanel(Image1), PanelDate, PanelTime, clock, m_settings);
    m_lockOut = std::make_unique<LockOut>(
        ImageLSstart, ImageLSstop, m_settings, [this] { return m_display->ClockRunning(); },
        [this] { return m_run && m_run->StartAvailable(); });

    m_protocol = std::make_unique<ProtocolTable>(SortGrid1, m_settings);
    const auto status = [this](int panel, const QString& text) { SetStatus(panel, text); };
    connect(m_protocol.get(), &ProtocolTable::StatusText, this, status);
    connect(m_protocol.get(), &ProtocolTable::ColumnsLaidOut, this, [this] {
        if (m_finish)
            m_finish->ApplyColumnLayout();
        m_statusPanels[4]->setFixedWidth(Panelprom->width());
    });
    SortGrid1->SetPrompts(m_platform.prompts);

    FinishHooks fh;
    fh.massStartClock = [this] { return m_state.massStartClock; };
    const auto journal = [this](const QList<JournalEntry>& e) { Journalize(e); };
    m_finish = std::make_unique<FinishTable>(SortGrid2, fh, m_settings, *m_protocol, *m_question, *m_platform.prompts);
    connect(m_finish.get(), &FinishTable::StatusText, this, status);
    connect(m_finish.get(), &FinishTable::TablesChanged, this, &TFormMain::WriteBackups);
    connect(m_finish.get(), &FinishTable::LayoutWanted, this, &TFormMain::FormResize);
    connect(m_finish.get(), &FinishTable::Journal, this, journal);
    SortGrid2->SetPrompts(m_platform.prompts);

    m_editing = std::make_unique<ProtocolEditing>(this, *m_protocol, m_settings, *m_question, *m_platform.prompts);
    connect(m_editing.get(), &ProtocolEditing::ProtocolChanged, this, &TFormMain::WriteBackups);
    connect(m_editing.get(), &ProtocolEditing::StatusText, this, status);
    connect(m_editing.get(), &ProtocolEditing::Journal, this, journal);
    BuildJournalView();

    RunControls rc;
    rc.bSTART = bSTART;
    rc.bSTOP = bSTOP;
    rc.bEnd = bEnd;
    rc.bTimer = bTimer;
    rc.mStart = mStart;
    rc.mStop = mStop;
    rc.mEnd = mEnd;
    rc.cbStartN = cbStartN;
    rc.cbStopN = cbStopN;
    rc.EditPred = EditPred;
    rc.sbSound1 = sbSound1;
    rc.sbSound0 = sbSound0;
    rc.sbLoadList = sbLoadList;
    rc.bCFG = bCFG;
    rc.LabelNr = LabelNr;
    m_run = std::make_unique<RunControl>(rc, clock, m_settings, m_state, *m_protocol, *m_finish, *m_lockOut, *m_display,
                                         *m_platform.sound, *m_platform.prompts, *m_question, m_platform.programFolder);
    connect(m_run.get(), &RunControl::BackupsDue, this, &TFormMain::WriteBackups);
    connect(m_run.get(), &RunControl::Journal, this, journal);
    // Run control alone writes the number boxes and the command buttons; the tables ask it to.
    connect(m_protocol.get(), &ProtocolTable::RowChosen, m_run.get(), &RunControl::ProtocolRowChosen);
    connect(m_protocol.get(), &ProtocolTable::FinishNumberVoided, m_run.get(), &RunControl::ClearFinishNumber);
    connect(m_protocol.get(), &ProtocolTable::StartCommanded, m_run.get(), &RunControl::StartFrom);
    connect(m_protocol.get(), &ProtocolTable::FinishCommanded, m_run.get(), &RunControl::FinishFrom);
    connect(m_finish.get(), &FinishTable::FinishNumberUsed, m_run.get(), &RunControl::WithdrawFinishNumber);

    m_countdown = std::make_unique<Countdown>(
        bTimer, mTimer, seAutoStart, cbAuto, clock, m_settings, *m_display, *m_lockOut, *m_platform.sound,
        m_run->StartToneFile(), [this] { return m_run->StartAvailable(); }, [this] { return m_settings.Sound; },
        m_state.toneAlreadyPlayed);

    connect(m_run.get(), &RunControl::TimerAvailable, m_countdown.get(), &Countdown::SetTimerAvailable);
    connect(m_countdown.get(), &Countdown::StartDue, m_run.get(),
            [this] { m_run->StartFrom(JournalSource::Countdown); });
    connect(m_run.get(), &RunControl::CountdownStopWanted, m_countdown.get(), &Countdown::StopTimer);
    connect(m_run.get(), &RunControl::Started, m_countdown.get(), &Countdown::FollowStart);
    connect(mTimer, &QAction::triggered, m_countdown.get(), &Countdown::mTimerClick);
    connect(bTimer, &TBitBtnWithColor::Activated, mTimer, &QAction::trigger);
    connect(AutoCountDown1, &QAction::triggered, m_countdown.get(), &Countdown::AutoCountDown1Click);
    connect(LockLSstart1, &QAction::triggered, m_lockOut.get(), &LockOut::LockLSstart1Click);
    connect(LockLSstop1, &QAction::triggered, m_lockOut.get(), &LockOut::LockLSstop1Click);
    // LockOut owns the two contact switches and connects their clicks itself.
    connect(Place1, &QAction::triggered, this, &TFormMain::bLoadClick);

    m_files = std::make_unique<ProtocolFiles>(
        this, m_settings, *m_protocol, *m_finish, *m_display, cbKlass,
        [this] { return m_export && m_export->CanSave(); }, *m_question, *m_platform.prompts, m_platform.programFolder);
    connect(m_files.get(), &ProtocolFiles::LayoutWanted, this, &TFormMain::FormResize);
    connect(m_files.get(), &ProtocolFiles::StatusText, this, status);
    connect(m_files.get(), &ProtocolFiles::Journal, this, journal);
    connect(sbLoadList, &QToolButton::clicked, m_files.get(), &ProtocolFiles::sbLoadListClick);
    // The shortcut follows its button: no start list replaces the protocol of a running competition.
    connect(eO1, &QAction::triggered, this, [this] {
        if (sbLoadList->isEnabled())
            m_files->sbLoadListClick();
    });
    connect(sbCls, &QToolButton::clicked, m_files.get(), &ProtocolFiles::sbClsClick);
    connect(m_files.get(), &ProtocolFiles::Clearing, m_run.get(), &RunControl::EndCompetition);
    connect(m_files.get(), &ProtocolFiles::Cleared, m_run.get(), &RunControl::ClearNumberBoxes);
    connect(m_files.get(), &ProtocolFiles::StartNumbersListed, m_run.get(), &RunControl::SetStartNumbers);
    connect(m_files.get(), &ProtocolFiles::StartNumberChosen, m_run.get(), &RunControl::SelectStartNumber);
    connect(m_files.get(), &ProtocolFiles::FinishNumberVoided, m_run.get(), &RunControl::ClearFinishNumber);

    if (m_platform.serial) {
        m_contacts = std::make_unique<ContactInput>(*m_platform.serial, clock, *m_lockOut);
        const auto source = [this] { return JournalSource::Contact + QLatin1Char(' ') + PortName(m_settings.Port); };
        connect(m_contacts.get(), &ContactInput::StartImpulse, m_run.get(),
                [this, source](const Moment& at) { m_run->StartByImpulse(at, source()); });
        connect(m_contacts.get(), &ContactInput::FinishImpulse, m_run.get(),
                [this, source](const Moment& at) { m_run->StopByImpulse(at, source()); });
        connect(m_contacts.get(), &ContactInput::IconsShown, m_lockOut.get(), &LockOut::SetIconsVisible);
        connect(m_contacts.get(), &ContactInput::StatusChanged, this, &TFormMain::SetContactStatus);
        connect(m_contacts.get(), &ContactInput::AlarmWanted, this,
                [this] { m_platform.sound->play(m_platform.programFolder + QStringLiteral("Ton-alarm.wav")); });
        // After the window is up: a box at start-up must not come before the window it belongs to.
        connect(
            m_contacts.get(), &ContactInput::MessageWanted, this,
            [this](const QString& text) { m_platform.prompts->showError(this, text); }, Qt::QueuedConnection);
    }
    connect(bLoad, &QToolButton::clicked, this, &TFormMain::bLoadClick);

    ExportControls ec{this, m_protocol->Grid(), sbSave, sbPrint, sbWord, sbExcel, sbHTML};
    ExportHooks eh;
    eh.backupFolder = [this] { return m_backups.Folder(); };
    m_export = std::make_unique<ProtocolExport>(ec, eh, m_settings, m_platform);
    connect(m_export.get(), &ProtocolExport::RankingWanted, this, &TFormMain::bLoadClick);
    connect(m_export.get(), &ProtocolExport::StatusText, this,
            [this](const QString& text) { StatusBar1->showMessage(text, 30000); });
    // The save dialog's entry is one of the window's directly-changed settings.
    connect(m_export.get(), &ProtocolExport::FilterIndexChosen, this,
            [this](int index) { m_live.Edit([index](TSettings& s) { s.FilterInd = index; }); });
    connect(m_protocol.get(), &ProtocolTable::ResultCommandsChanged, m_export.get(),
            &ProtocolExport::UpdateResultCommands);

    // After run control's own handlers: the run state is then up to date.
    connect(mStart, &QAction::triggered, this, &TFormMain::SyncSleepInhibitor);
    connect(mEnd, &QAction::triggered, this, &TFormMain::SyncSleepInhibitor);
}

void TFormMain::SyncSleepInhibitor() {
    if (!m_platform.sleep || m_sleepHeld == m_state.Started())
        return;
    m_sleepHeld = m_state.Started();
    if (!m_sleepHeld) {
        m_platform.sleep->release();
        return;
    }
    m_platform.sleep->hold([this](const QString& reason) {
        m_sleepHeld = false;
        if (m_sleepWarned)
            return; // said once; the race goes on regardless
        m_sleepWarned = true;
        SetStatus(2, QStringLiteral("Ruhezustand nicht gesperrt (%1) – Rechner nicht zuklappen").arg(reason));
    });
}

void TFormMain::CreateLiveResults() {
    LiveResultsHooks hooks;
    hooks.columnWidths = [this] {
        QList<int> widths;
        for (int col = 0; col < SortGrid1->ColCount(); ++col)
            widths << SortGrid1->ColWidths(col);
        return widths;
    };
    hooks.status = [this](const QString& text, bool alarm) {
        StatusWeb->setText(text);
        StatusWeb->setStyleSheet(alarm ? QStringLiteral("QLabel { color: white; background: #c00000; }") : QString());
        StatusWeb->setVisible(!text.isEmpty());
    };
    m_liveResults = std::make_unique<LiveResults>(SortGrid1->Data(), m_settings, m_state, *m_platform.clock, hooks);
    connect(SortGrid1, &TSortGrid::ContentsChanged, m_liveResults.get(), &LiveResults::Changed);
    // START and ENDE change the run state even where no cell changes.
    connect(mStart, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    connect(mEnd, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    m_liveResults->Begin();
}

void TFormMain::SetContactStatus(const QString& text, bool alarm) {
    StatusContacts->setText(text);
    StatusContacts->setStyleSheet(alarm ? QStringLiteral("QLabel { color: white; background: #c00000; }") : QString());
    StatusContacts->setVisible(!text.isEmpty());
}

void TFormMain::ApplyStartModeAndTimer() {
    m_run->ApplySound();
    m_run->ApplyStartMode();
    m_countdown->ApplyAutoStart();
    m_countdown->ApplyVisibility();
    if (m_settings.Timer > 0)
        m_display->TimerPreset(m_settings.Timer);
}

bool TFormMain::ApplyPortSettings(int oldPort, const QString& oldPath) {
    if (!m_contacts)
        return true;
    m_contacts->SetDebounce(m_settings.Debounce);
    const QString error =
        m_contacts->ApplySettings(oldPort, oldPath, m_settings.Port, m_settings.PortPath, m_settings.Alg);
    if (error.isEmpty())
        return true;
    m_platform.prompts->showError(this, error);
    return false;
}

void TFormMain::bLoadClick() {
    JournalProgramEvent(JournalEvent::Ranked);
    m_protocol->RankProtocol();
    m_protocol->UpdateResultCommands();
}

void TFormMain::SetStatus(int panel, const QString& text) {
    m_statusPanels[panel]->setText(text);
}

void TFormMain::WriteBackups() {
    QString error;
    const bool tables = m_backups.WriteBackups(SortGrid1->Data(), SortGrid2->Data(), error);
    QString runError;
    const bool run = m_backups.WriteRunState(m_state, runError);
    if (tables && !run)
        error = runError;
    if (tables && run) {
        if (m_backupFailing)
            SetStatus(2, QString());
        m_backupFailing = false;
        ShowProtectionStatus();
        return;
    }
    // The race goes on; the operator sees that it is unprotected until a write succeeds.
    m_backupFailing = true;
    SetStatus(2, QStringLiteral("Sicherung fehlgeschlagen: ") + error);
}

void TFormMain::FormResize() {
    if (!m_protocol)
        return;
    m_protocol->ApplyColumnLayout();
    const int right = PanelB->width() - 4;
    EditPred->setFixedWidth(qMax(60, right - EditPred->x()));
    SetStatus(3, QStringLiteral("%1x%2").arg(width()).arg(height()));
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

// The protocol grid gets its final width from the layout only after the window's
// own resize: its columns follow the grid itself.
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize)
        AnchorTopBar();
    else if (watched == SortGrid1 && event->type() == QEvent::Resize)
        FormResize();
    else if (watched == SortGrid2 && event->type() == QEvent::Resize && m_finish)
        m_finish->ApplyColumnLayout();
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!m_run->FormCloseQuery()) {
        event->ignore();
        return;
    }
    // Backups, settings and the port follow in the destructor, in that order.
    event->accept();
}
