#include "app/TFormMain.h"

#include "contacts/ContactInput.h"
#include "contacts/PortProbe.h"
#include "live/LiveResults.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "protocol/FinishTable.h"
#include "protocol/GridTextFile.h"
#include "protocol/JournalView.h"
#include "protocol/ProtocolColumns.h"
#include "protocol/ProtocolEditing.h"
#include "protocol/ProtocolFiles.h"
#include "protocol/ProtocolTable.h"
#include "protocol/RaceRecords.h"
#include "reports/ProtocolExport.h"
#include "reports/TFDlgYesNo.h"
#include "reports/TFormInfo.h"
#include "timing/Countdown.h"
#include "timing/LockOut.h"
#include "timing/NumberBox.h"
#include "timing/RunControl.h"
#include "timing/SleepGuard.h"
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
#include <QMenu>
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
    m_ui.SortGrid1->installEventFilter(this);
    m_ui.SortGrid2->installEventFilter(this);

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
    m_run->ApplySound();           // 11: Sound false shows m_ui.run.sbSound0
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
    m_ui.run.sbSound0->setGeometry(m_ui.run.sbSound1->geometry());
    // Qt paints every widget double-buffered, the top bar included.
}

void TFormMain::ApplyLoadedSettings() {
    resize(m_settings.Width, m_settings.Height);
    if (m_settings.Left && m_settings.Top) {
        move(*m_settings.Left, *m_settings.Top);
        KeepOnScreen();
    }
    m_ui.PanelTimerOwner->setFixedHeight(qMax(m_settings.YY, 283));
    m_ui.PanelL->setFixedHeight(m_ui.PanelTimerOwner->height() + 1);
    m_countdown->ApplyAutoStart();
}

void TFormMain::ApplyTimerControls() {
    m_countdown->ApplyVisibility();
}

void TFormMain::ApplyBackupFolderAndColumns() {
    m_records->UseFolder(m_settings.RezervDir);
    m_live.Edit([this](TSettings& s) {
        s.Columns |= TSettings::kForcedColumns;
        if (s.RezervDir.isEmpty())
            s.RezervDir = m_records->Folder();
    });
}

void TFormMain::LoadClassesFile() {
    m_files->LoadClassesFile(m_platform.workingFolder + QStringLiteral("Klassen.txt"));
}

void TFormMain::SetUpHelp() {
    m_helpFile = m_platform.programFolder + QStringLiteral("Kadenzor.html");
    m_ui.bHelp->setEnabled(QFileInfo::exists(m_helpFile));
}

// The tables of the last run come back, and the run goes on where it was.
void TFormMain::RestoreBackups() {
    m_records->RestoreTables();
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

// Backups, then the settings, then the port: what the race recorded is safe before anything
// else ends. The controllers then go in reverse order of their declaration.
TFormMain::~TFormMain() {
    m_ui.SortGrid1->removeEventFilter(this);
    m_ui.SortGrid2->removeEventFilter(this);
    m_records->WriteBackups();
    m_records->JournalProgramEvent(JournalEvent::ProgramEnd);
    SaveSettings();
    if (m_contacts)
        m_contacts->ClosePort();
}

// Each controller gets exactly the controls it owns and the neighbours it asks;
// what it tells them goes through the signals connected below.
void TFormMain::CreateControllers() {
    Clock& clock = *m_platform.clock;
    Prompts& prompts = *m_platform.prompts;
    m_display =
        std::make_unique<TimeDisplay>(BuildTimePanel(m_ui.Image1), m_ui.PanelDate, m_ui.PanelTime, clock, m_settings);
    m_lockOut = std::make_unique<LockOut>(
        m_ui.ImageLSstart, m_ui.ImageLSstop, m_settings, [this] { return m_display->ClockRunning(); },
        [this] { return m_run && m_run->StartAvailable(); });
    m_protocol = std::make_unique<ProtocolTable>(m_ui.SortGrid1, m_settings);
    FinishHooks fh;
    fh.massStartClock = [this] { return m_state.massStartClock; };
    m_finish = std::make_unique<FinishTable>(m_ui.SortGrid2, fh, m_settings, *m_protocol, *m_question, prompts);
    m_run = std::make_unique<RunControl>(m_ui.run, clock, m_settings, m_state, *m_protocol, *m_finish, *m_lockOut,
                                         *m_display, *m_platform.sound, prompts, *m_question, m_platform.programFolder);
    m_countdown = std::make_unique<Countdown>(
        m_ui.bTimer, m_ui.mTimer, m_ui.seAutoStart, m_ui.cbAuto, clock, m_settings, *m_display, *m_lockOut,
        *m_platform.sound, m_run->StartToneFile(), [this] { return m_run->StartAvailable(); },
        [this] { return m_settings.Sound; }, m_state.toneAlreadyPlayed);
    m_files = std::make_unique<ProtocolFiles>(
        this, m_settings, *m_protocol, *m_finish, *m_display, m_ui.cbKlass,
        [this] { return m_export && m_export->CanSave(); }, *m_question, prompts, m_platform.programFolder);
    m_records = std::make_unique<RaceRecords>(*m_protocol, *m_finish, *m_files, m_state, clock, m_settings, *m_question,
                                              prompts, m_platform.programFolder);
    m_sleep = std::make_unique<SleepGuard>(m_platform.sleep, m_state);
    m_editing = std::make_unique<ProtocolEditing>(this, *m_protocol, m_settings, *m_question, prompts);
    ExportControls results = m_ui.results;
    results.window = this;
    results.SortGrid1 = m_protocol->Grid();
    ExportHooks eh;
    eh.backupFolder = [this] { return m_records->Folder(); };
    m_export = std::make_unique<ProtocolExport>(results, eh, m_settings, m_platform);
    if (m_platform.serial)
        m_contacts = std::make_unique<ContactInput>(*m_platform.serial, clock, *m_lockOut);
    BuildJournalView();

    ConnectStatus();
    ConnectRecords();
    ConnectRun();
    ConnectTables();
    ConnectContacts();
}

// Every controller's status texts go to the window's status fields.
void TFormMain::ConnectStatus() {
    const auto status = [this](int panel, const QString& text) { SetStatus(panel, text); };
    connect(m_protocol.get(), &ProtocolTable::StatusText, this, status);
    connect(m_finish.get(), &FinishTable::StatusText, this, status);
    connect(m_editing.get(), &ProtocolEditing::StatusText, this, status);
    connect(m_files.get(), &ProtocolFiles::StatusText, this, status);
    connect(m_records.get(), &RaceRecords::StatusText, this, status);
    connect(m_sleep.get(), &SleepGuard::StatusText, this, status);
    connect(m_export.get(), &ProtocolExport::StatusText, this,
            [this](const QString& text) { m_ui.StatusBar1->showMessage(text, 30000); });
}

// Every change is written to the backups, every event to the journal.
void TFormMain::ConnectRecords() {
    RaceRecords* records = m_records.get();
    connect(m_finish.get(), &FinishTable::TablesChanged, records, &RaceRecords::WriteBackups);
    connect(m_editing.get(), &ProtocolEditing::ProtocolChanged, records, &RaceRecords::WriteBackups);
    connect(m_run.get(), &RunControl::BackupsDue, records, &RaceRecords::WriteBackups);
    connect(m_finish.get(), &FinishTable::Journal, records, &RaceRecords::Journalize);
    connect(m_editing.get(), &ProtocolEditing::Journal, records, &RaceRecords::Journalize);
    connect(m_run.get(), &RunControl::Journal, records, &RaceRecords::Journalize);
    connect(m_files.get(), &ProtocolFiles::Journal, records, &RaceRecords::Journalize);
}

// Run control alone writes the number boxes and the command buttons; the tables, the
// countdown and the files ask it to.
void TFormMain::ConnectRun() {
    RunControl* run = m_run.get();
    connect(m_protocol.get(), &ProtocolTable::RowChosen, run, &RunControl::ProtocolRowChosen);
    connect(m_protocol.get(), &ProtocolTable::FinishNumberVoided, run, &RunControl::ClearFinishNumber);
    connect(m_protocol.get(), &ProtocolTable::StartCommanded, run, &RunControl::StartFrom);
    connect(m_protocol.get(), &ProtocolTable::FinishCommanded, run, &RunControl::FinishFrom);
    connect(m_finish.get(), &FinishTable::FinishNumberUsed, run, &RunControl::WithdrawFinishNumber);
    connect(m_files.get(), &ProtocolFiles::Clearing, run, &RunControl::EndCompetition);
    connect(m_files.get(), &ProtocolFiles::Cleared, run, &RunControl::ClearNumberBoxes);
    connect(m_files.get(), &ProtocolFiles::StartNumbersListed, run, &RunControl::SetStartNumbers);
    connect(m_files.get(), &ProtocolFiles::StartNumberChosen, run, &RunControl::SelectStartNumber);
    connect(m_files.get(), &ProtocolFiles::FinishNumberVoided, run, &RunControl::ClearFinishNumber);

    connect(run, &RunControl::TimerAvailable, m_countdown.get(), &Countdown::SetTimerAvailable);
    connect(m_countdown.get(), &Countdown::StartDue, run, [run] { run->StartFrom(JournalSource::Countdown); });
    connect(run, &RunControl::CountdownStopWanted, m_countdown.get(), &Countdown::StopTimer);
    connect(run, &RunControl::Started, m_countdown.get(), &Countdown::FollowStart);
    connect(m_ui.mTimer, &QAction::triggered, m_countdown.get(), &Countdown::mTimerClick);
    connect(m_ui.bTimer, &TBitBtnWithColor::Activated, m_ui.mTimer, &QAction::trigger);
    connect(m_ui.AutoCountDown1, &QAction::triggered, m_countdown.get(), &Countdown::AutoCountDown1Click);
    // LockOut owns the two contact switches and connects their clicks itself.
    connect(m_ui.LockLSstart1, &QAction::triggered, m_lockOut.get(), &LockOut::LockLSstart1Click);
    connect(m_ui.LockLSstop1, &QAction::triggered, m_lockOut.get(), &LockOut::LockLSstop1Click);
    // After run control's own handlers: the run state is then up to date.
    connect(m_ui.run.mStart, &QAction::triggered, m_sleep.get(), &SleepGuard::Sync);
    connect(m_ui.run.mEnd, &QAction::triggered, m_sleep.get(), &SleepGuard::Sync);
}

void TFormMain::ConnectTables() {
    connect(m_protocol.get(), &ProtocolTable::ColumnsLaidOut, this, [this] {
        m_finish->ApplyColumnLayout();
        m_ui.StatusPanels[4]->setFixedWidth(m_ui.Panelprom->width());
    });
    connect(m_finish.get(), &FinishTable::LayoutWanted, this, &TFormMain::FormResize);
    connect(m_files.get(), &ProtocolFiles::LayoutWanted, this, &TFormMain::FormResize);
    connect(m_ui.run.sbLoadList, &QAbstractButton::clicked, m_files.get(), &ProtocolFiles::sbLoadListClick);
    // The shortcut follows its button: no start list replaces the protocol of a running competition.
    connect(m_ui.eO1, &QAction::triggered, this, [this] {
        if (m_ui.run.sbLoadList->isEnabled())
            m_files->sbLoadListClick();
    });
    connect(m_ui.sbCls, &QToolButton::clicked, m_files.get(), &ProtocolFiles::sbClsClick);
    connect(m_ui.Place1, &QAction::triggered, this, &TFormMain::bLoadClick);
    connect(m_ui.bLoad, &QToolButton::clicked, this, &TFormMain::bLoadClick);
    connect(m_export.get(), &ProtocolExport::RankingWanted, this, &TFormMain::bLoadClick);
    // The save dialog's entry is one of the window's directly-changed settings.
    connect(m_export.get(), &ProtocolExport::FilterIndexChosen, this,
            [this](int index) { m_live.Edit([index](TSettings& s) { s.FilterInd = index; }); });
    connect(m_protocol.get(), &ProtocolTable::ResultCommandsChanged, m_export.get(),
            &ProtocolExport::UpdateResultCommands);
}

void TFormMain::ConnectContacts() {
    if (!m_contacts)
        return;
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

void TFormMain::CreateLiveResults() {
    LiveResultsHooks hooks;
    hooks.columnWidths = [this] {
        QList<int> widths;
        for (int col = 0; col < m_ui.SortGrid1->ColCount(); ++col)
            widths << m_ui.SortGrid1->ColWidths(col);
        return widths;
    };
    m_liveResults = std::make_unique<LiveResults>(m_protocol->Data(), m_settings, m_state, *m_platform.clock, hooks);
    connect(m_liveResults.get(), &LiveResults::StatusChanged, this, &TFormMain::SetWebStatus);
    connect(m_ui.SortGrid1, &TSortGrid::ContentsChanged, m_liveResults.get(), &LiveResults::Changed);
    // START and ENDE change the run state even where no cell changes.
    connect(m_ui.run.mStart, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    connect(m_ui.run.mEnd, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    m_liveResults->Begin();
}

namespace {

void ShowField(QLabel* field, const QString& text, bool alarm) {
    field->setText(text);
    field->setStyleSheet(alarm ? QStringLiteral("QLabel { color: white; background: #c00000; }") : QString());
    field->setVisible(!text.isEmpty());
}

} // namespace

void TFormMain::SetContactStatus(const QString& text, bool alarm) {
    ShowField(m_ui.StatusContacts, text, alarm);
}

void TFormMain::SetWebStatus(const QString& text, bool alarm) {
    ShowField(m_ui.StatusWeb, text, alarm);
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
    m_records->JournalProgramEvent(JournalEvent::Ranked);
    m_protocol->RankProtocol();
    m_protocol->UpdateResultCommands();
}

void TFormMain::SetStatus(int panel, const QString& text) {
    m_ui.StatusPanels[size_t(panel)]->setText(text);
}

void TFormMain::WriteBackups() {
    m_records->WriteBackups();
}

const Backups& TFormMain::BackupFiles() const {
    return m_records->BackupFiles();
}

void TFormMain::BuildJournalView() {
    m_journalView = new JournalView(this, [this] { return m_records->JournalFile().FileName(); });
    m_editing->PopupMenuProtokol->addSeparator();
    m_editing->PopupMenuProtokol->addAction(m_journalView->mJournal);
}

void TFormMain::FormResize() {
    if (!m_protocol)
        return;
    m_protocol->ApplyColumnLayout();
    const int right = m_ui.PanelB->width() - 4;
    m_ui.run.EditPred->setFixedWidth(qMax(60, right - m_ui.run.EditPred->x()));
    SetStatus(3, QStringLiteral("%1x%2").arg(width()).arg(height()));
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

// The protocol grid gets its final width from the layout only after the window's
// own resize: its columns follow the grid itself.
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui.Panel1 && event->type() == QEvent::Resize)
        AnchorTopBar();
    else if (watched == m_ui.SortGrid1 && event->type() == QEvent::Resize)
        FormResize();
    else if (watched == m_ui.SortGrid2 && event->type() == QEvent::Resize && m_finish)
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
