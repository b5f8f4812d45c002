#include "app/TFormMain.h"

#include "core/contacts/ContactInput.h"
#include "core/contacts/PortProbe.h"
#include "core/files/GridTextFile.h"
#include "core/live/LivePages.h"
#include "core/live/LiveResults.h"
#include "core/platform/Clock.h"
#include "core/platform/Prompts.h"
#include "core/platform/Shell.h"
#include "core/platform/Sound.h"
#include "core/race/ProtocolColumns.h"
#include "ui/dialogs/JournalView.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/dialogs/TFormInfo.h"
#include "ui/run/Countdown.h"
#include "ui/run/LockOut.h"
#include "ui/run/RunControl.h"
#include "ui/run/SleepGuard.h"
#include "ui/run/StationControl.h"
#include "ui/run/TimeDisplay.h"
#include "ui/run/TimePanel.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolEditing.h"
#include "ui/tables/ProtocolExport.h"
#include "ui/tables/ProtocolFiles.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/tables/RaceRecords.h"
#include "ui/tables/StatusFields.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/StatusLabel.h"
#include "ui/widgets/TBitBtnWithColor.h"
#include "ui/widgets/TImage.h"
#include "ui/widgets/TSortGrid.h"

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
// the dialogs: they are created afterwards. main.cpp hands in what the settings store
// read; the Word template, the file-type lists and the editing menus belong to their
// controllers, which set them up themselves.
void TFormMain::FormCreate() {
    SetCaption();
    // The tones are loaded before the first START needs them.
    LocateToneFiles();
    PlaceSoundButtons();
    // Window bounds, display height and the automatic start from the stored settings.
    ApplyLoadedSettings();
    ApplyTimerControls();
    // The backups' folder is chosen before anything could write a backup.
    ApplyBackupFolderAndColumns();
    m_run->ApplySound(); // Sound off shows sbSound0
    LoadClassesFile();
    m_finish->SetupGrid();
    ApplyStartModeAndTimer();
    m_display->RepaintWithColorSet();
    SetUpHelp();
    // The protocol's columns exist before the backups fill them.
    m_protocol->SetupGrid();
    RestoreBackups();
    m_display->ApplyFractionDigits(m_settings.Acc);
    // The ports present are listed first, so that the configured one is listed too.
    ProbeAndOpenPort(false);
    m_display->RepaintWithColorSet();
    m_display->ShowUpper(0);
    m_display->ShowLower(0);
    ApplyTimerControls();
    if (m_settings.Timer > 0)
        m_display->TimerPreset(m_settings.Timer);
    m_display->TimerDateTimer();
    // The port opens last: an impulse finds every table and controller ready.
    ProbeAndOpenPort(true);
    m_protocol->UpdateResultCommands();
    // A damaged settings file was read as far as it goes; the operator hears of it once.
    if (!m_platform.settingsNotice.isEmpty())
        m_status->ShowPassing(m_platform.settingsNotice);
    m_startedUp = true;
}

void TFormMain::SetCaption() {
    setWindowTitle(QStringLiteral("Kadenzor " KADENZOR_VERSION));
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
    // Not "Kadenzor.html": that is the result list, which Ctrl+H writes.
    m_helpFile = m_platform.programFolder + QStringLiteral("Kadenzor-Hilfe.html");
    m_ui.bHelp->setEnabled(QFileInfo::exists(m_helpFile));
}

// The tables of the last run come back, and the run goes on where it was.
void TFormMain::RestoreBackups() {
    m_records->RestoreTables();
    // At program start FINISH works (RunState::finishOpenAtProgramStart), so athletes
    // still on the course when the program was restarted can be finished.
    m_run->SetFinishAvailable(true);
    m_run->ResumeRun();
    // A run that goes on keeps the computer awake as before the restart.
    m_sleep->Sync();
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
    m_export->WaitForExports();
    m_records->WriteBackups();
    m_records->FlushBackups();
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
    m_status =
        std::make_unique<StatusFields>(m_ui.StatusPanels, m_ui.StatusContacts, m_ui.StatusWeb, m_ui.StatusStation);
    m_display =
        std::make_unique<TimeDisplay>(BuildTimePanel(m_ui.Image1), m_ui.PanelDate, m_ui.PanelTime, clock, m_settings);
    m_lockOut = std::make_unique<LockOut>(m_ui.ImageLSstart, m_ui.ImageLSstop, m_settings, m_state);
    m_protocol = std::make_unique<ProtocolTable>(m_ui.SortGrid1, m_settings);
    m_finish = std::make_unique<FinishTable>(m_ui.SortGrid2, m_state, m_settings, *m_protocol, *m_question, prompts);
    m_run = std::make_unique<RunControl>(m_ui.run, clock, m_settings, m_state, *m_protocol, *m_finish, *m_lockOut,
                                         *m_display, *m_platform.sound, prompts, *m_question, m_platform.programFolder);
    if (m_platform.inputEventTimes)
        m_run->TimeInputsByTheirEvents();
    m_countdown =
        std::make_unique<Countdown>(m_ui.bTimer, m_ui.mTimer, m_ui.seAutoStart, m_ui.cbAuto, clock, m_settings,
                                    *m_display, *m_lockOut, *m_platform.sound, m_run->StartToneFile(), m_state);
    m_files = std::make_unique<ProtocolFiles>(this, m_settings, *m_protocol, *m_finish, m_ui.cbKlass, *m_question,
                                              prompts, m_platform.programFolder);
    m_records = std::make_unique<RaceRecords>(*m_protocol, *m_finish, *m_files, m_state, clock, m_settings, *m_question,
                                              prompts, m_platform.programFolder);
    m_sleep = std::make_unique<SleepGuard>(m_platform.sleep, m_state);
    m_editing = std::make_unique<ProtocolEditing>(this, *m_protocol, m_settings, *m_question, prompts);
    ExportControls results = m_ui.results;
    results.window = this;
    results.SortGrid1 = m_protocol->Grid();
    m_export = std::make_unique<ProtocolExport>(results, m_records->BackupFiles(), m_settings, m_platform);
    if (m_platform.serial)
        m_contacts = std::make_unique<ContactInput>(*m_platform.serial, clock, *m_lockOut);
    m_stations = std::make_unique<StationControl>(m_settings, *m_records, *m_run, clock);
    BuildJournalView();

    ConnectStatus();
    ConnectRecords();
    ConnectRun();
    ConnectTables();
    ConnectContacts();
}

// What the controllers report goes to the status fields, which alone write the status bar.
void TFormMain::ConnectStatus() {
    StatusFields* status = m_status.get();
    connect(m_protocol.get(), &ProtocolTable::StatusText, status, &StatusFields::SetText);
    connect(m_finish.get(), &FinishTable::StatusText, status, &StatusFields::SetText);
    connect(m_files.get(), &ProtocolFiles::StatusText, status, &StatusFields::SetText);
    connect(m_finish.get(), &FinishTable::Notice, status, &StatusFields::ShowPassing);
    connect(m_run.get(), &RunControl::Notice, status, &StatusFields::ShowPassing);
    connect(m_editing.get(), &ProtocolEditing::Notice, status, &StatusFields::ShowPassing);
    connect(m_records.get(), &RaceRecords::Notice, status, &StatusFields::ShowPassing);
    connect(m_export.get(), &ProtocolExport::StatusText, status, &StatusFields::ShowPassing);
    using State = StatusFields::State;
    connect(m_records.get(), &RaceRecords::BackupFailure, status,
            [status](const QString& text) { status->SetState(State::BackupFailed, text); });
    connect(m_records.get(), &RaceRecords::JournalFailure, status,
            [status](const QString& text) { status->SetState(State::JournalFailed, text); });
    connect(m_records.get(), &RaceRecords::FolderNotice, status,
            [status](const QString& text) { status->SetState(State::BackupFolder, text); });
    connect(m_sleep.get(), &SleepGuard::NotBlocked, status,
            [status](const QString& text) { status->SetState(State::SleepNotBlocked, text); });
}

// Every change is written to the backups, every event to the journal.
void TFormMain::ConnectRecords() {
    RaceRecords* records = m_records.get();
    connect(m_finish.get(), &FinishTable::TablesChanged, records, &RaceRecords::WriteBackups);
    connect(m_editing.get(), &ProtocolEditing::ProtocolChanged, records, &RaceRecords::WriteBackups);
    connect(m_run.get(), &RunControl::BackupsDue, records, &RaceRecords::WriteBackups);
    // What the operator answers may end the race or the program: the backups are on the disk first.
    connect(m_question, &TFDlgYesNo::Asking, records, &RaceRecords::FlushBackups);
    connect(m_finish.get(), &FinishTable::Journal, records, &RaceRecords::Journalize);
    connect(m_editing.get(), &ProtocolEditing::Journal, records, &RaceRecords::Journalize);
    connect(m_run.get(), &RunControl::Journal, records, &RaceRecords::Journalize);
    connect(m_files.get(), &ProtocolFiles::Journal, records, &RaceRecords::Journalize);
    // A start list or a cleared protocol is a new race: on the disk at once, or a crash
    // would bring the previous race back.
    connect(m_files.get(), &ProtocolFiles::TablesReplaced, records, &RaceRecords::NewRace);
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
    // Clearing the protocol ends the competition: the computer may sleep again.
    connect(m_files.get(), &ProtocolFiles::Clearing, m_sleep.get(), &SleepGuard::Sync);
    connect(m_files.get(), &ProtocolFiles::Cleared, run, &RunControl::ClearNumberBoxes);
    connect(m_files.get(), &ProtocolFiles::Cleared, m_display.get(), [this] {
        m_display->ShowUpper(0);
        m_display->ShowLower(0);
    });
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
    // Every START counts, also one by a contact or the countdown.
    connect(run, &RunControl::Started, m_sleep.get(), &SleepGuard::Sync);
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
    // An adapter chosen by its stable name has no COM number: the journal names the adapter.
    const auto source = [this] { return JournalSource::Contact + QLatin1Char(' ') + m_contacts->PortLabel(); };
    connect(m_contacts.get(), &ContactInput::StartImpulse, m_run.get(),
            [this, source](const Moment& at) { m_run->StartByImpulse(at, source()); });
    connect(m_contacts.get(), &ContactInput::FinishImpulse, m_run.get(),
            [this, source](const Moment& at) { m_run->StopByImpulse(at, source()); });
    connect(m_contacts.get(), &ContactInput::IconsShown, m_lockOut.get(), &LockOut::SetIconsVisible);
    connect(m_contacts.get(), &ContactInput::StatusChanged, m_status.get(), &StatusFields::SetContacts);
    connect(m_contacts.get(), &ContactInput::AlarmWanted, this,
            [this] { m_platform.sound->play(m_platform.programFolder + QStringLiteral("Ton-alarm.wav")); });
    // After the window is up: a box at start-up must not come before the window it belongs to.
    connect(
        m_contacts.get(), &ContactInput::MessageWanted, this,
        [this](const QString& text) { m_platform.prompts->showError(this, text); }, Qt::QueuedConnection);
}

void TFormMain::CreateLiveResults() {
    m_liveResults = std::make_unique<LiveResults>(m_protocol->Data(), m_settings, m_state, *m_platform.clock);
    m_liveResults->SetColumnWidths(m_protocol->ColumnWidths());
    connect(m_protocol.get(), &ProtocolTable::ColumnsLaidOut, m_liveResults.get(),
            [this] { m_liveResults->SetColumnWidths(m_protocol->ColumnWidths()); });
    connect(m_liveResults.get(), &LiveResults::StatusChanged, m_status.get(), &StatusFields::SetWeb);
    connect(m_ui.SortGrid1, &TSortGrid::ContentsChanged, m_liveResults.get(), &LiveResults::Changed);
    // START and ENDE change the run state even where no cell changes.
    connect(m_ui.run.mStart, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    connect(m_ui.run.mEnd, &QAction::triggered, m_liveResults.get(), &LiveResults::Changed);
    m_liveResults->Begin();

    // The finish station's result list goes to every reader through the broker.
    connect(m_liveResults.get(), &LiveResults::published, m_stations.get(), [this] {
        if (const auto snapshot = m_liveResults->Current(); snapshot && m_settings.Station == 2)
            m_stations->PublishResults(ResultsJson(*snapshot));
    });
    connect(m_stations.get(), &StationControl::StatusChanged, m_status.get(), &StatusFields::SetStation);
    connect(m_stations.get(), &StationControl::Notice, m_status.get(), &StatusFields::ShowPassing);
    m_stations->Begin();
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

QLabel* TFormMain::StatusPanel(int i) const {
    return m_ui.StatusPanels[size_t(i)];
}

void TFormMain::FlushWriters() {
    m_export->WaitForExports();
    m_records->FlushBackups();
}

void TFormMain::WriteBackups() {
    m_records->WriteBackups();
    m_records->FlushBackups();
}

const Backups& TFormMain::BackupFiles() const {
    return m_records->BackupFiles();
}

void TFormMain::BuildJournalView() {
    m_journalView = new JournalView(this, [this] { return m_records->JournalFile().FileName(); });
    m_editing->PopupMenuProtokol->addSeparator();
    m_editing->PopupMenuProtokol->addAction(m_journalView->mJournalItem);
}

void TFormMain::FormResize() {
    if (!m_protocol)
        return;
    m_protocol->ApplyColumnLayout();
    const int right = m_ui.PanelB->width() - 4;
    m_ui.run.EditPred->setFixedWidth(qMax(60, right - m_ui.run.EditPred->x()));
    m_status->SetText(3, QStringLiteral("%1x%2").arg(width()).arg(height()));
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
