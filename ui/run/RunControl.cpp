#include "ui/run/RunControl.h"

#include "core/base/TimeText.h"
#include "core/platform/Prompts.h"
#include "core/platform/Sound.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/run/InputMoments.h"
#include "ui/run/LockOut.h"
#include "ui/run/RunDisplay.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/RunColors.h"
#include "ui/widgets/TBitBtnWithColor.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

using RunColors::ButtonFace;

RunControl::RunControl(const RunControls& controls, Clock& clock, const TSettings& settings, RunState& state,
                       ProtocolTable& protocol, FinishTable& finish, LockOut& lockOut, RunDisplay& display,
                       Sound& sound, Prompts& prompts, TFDlgYesNo& question, const QString& programFolder,
                       QObject* parent)
    : QObject(parent), c(controls), m_clock(clock), m_settings(settings), m_state(state), m_protocol(protocol),
      m_finish(finish), m_lockOut(lockOut), m_display(display), m_sound(sound), m_prompts(prompts),
      m_question(question), m_inputs(std::make_unique<InputMoments>(clock, InputMoments::WindowSystemNow())) {
    // A missing tone file leaves its tone off until the program ends.
    const QString startTone = programFolder + QStringLiteral("Ton-start.wav");
    const QString finishTone = programFolder + QStringLiteral("Ton-finish.wav");
    if (QFileInfo::exists(startTone))
        m_startTone = startTone;
    if (QFileInfo::exists(finishTone))
        m_finishTone = finishTone;

    connect(c.mStart, &QAction::triggered, this, &RunControl::mStartClick);
    connect(c.mStop, &QAction::triggered, this, &RunControl::mStopClick);
    connect(c.mEnd, &QAction::triggered, this, &RunControl::bEndClick);
    // The command buttons act on the press of any mouse button, through their actions.
    connect(c.bSTART, &TBitBtnWithColor::Activated, this, [this] { TriggerFrom(c.mStart, JournalSource::Button); });
    connect(c.bSTOP, &TBitBtnWithColor::Activated, this, [this] { TriggerFrom(c.mStop, JournalSource::Button); });
    connect(c.bEnd, &QAbstractButton::clicked, this, [this] { TriggerFrom(c.mEnd, JournalSource::Button); });

    connect(c.cbStartN, &NumberBox::KeyReleased, this, &RunControl::cbStartNKeyUp);
    connect(c.cbStartN, &NumberBox::Changed, this, &RunControl::cbStartNChange);
    connect(c.cbStartN, &NumberBox::EnterPressed, this, &RunControl::cbStartNEnter);
    connect(c.cbStopN, &NumberBox::Changed, this, &RunControl::cbStopNChange);
    connect(c.cbStopN, &NumberBox::EnterPressed, this, &RunControl::cbStopNEnter);

    // Pre-entered finish order: digits, "-" and "," only; a double click clears it.
    c.EditPred->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9,-]*")), c.EditPred));
    c.EditPred->installEventFilter(this);

    connect(c.sbSound1, &QAbstractButton::clicked, this, &RunControl::sbSound1Click);
    connect(c.sbSound0, &QAbstractButton::clicked, this, &RunControl::sbSound0Click);
}

void RunControl::StartByImpulse(const Moment& at, const QString& source) {
    m_impulse = at;
    TriggerFrom(c.mStart, source); // a disabled action ignores the impulse
    m_impulse.reset();
}

void RunControl::StopByImpulse(const Moment& at, const QString& source) {
    m_impulse = at;
    TriggerFrom(c.mStop, source);
    m_impulse.reset();
}

void RunControl::TriggerFrom(QAction* action, const QString& source) {
    const QString before = std::exchange(m_source, source);
    action->trigger();
    m_source = before;
}

QString RunControl::EventSource() const {
    return m_source.isEmpty() ? JournalSource::Key : m_source;
}

void RunControl::Journalize(JournalEntry entry, const Moment& at) {
    entry.clock = at.clock;
    entry.tick = at.tick;
    entry.hasTick = true;
    if (!m_momentNote.isEmpty())
        entry.Add(QStringLiteral("Zeitpunkt"), std::exchange(m_momentNote, QString()));
    emit Journal({entry});
}

Moment RunControl::EventMoment() {
    m_momentNote.clear();
    if (!m_impulse) {
        const QString source = EventSource();
        // Timers and contacts bring their own moments; keys and clicks have the event's.
        if (source == JournalSource::Key || source == JournalSource::Button || source == JournalSource::Menu ||
            source == JournalSource::DoubleClick)
            return m_inputs->Take(m_momentNote);
        return m_clock.moment();
    }
    Moment at = *m_impulse;
    if (!at.clock.isValid())
        at.clock = m_clock.now().time(); // a capture without clock of day still gets a text
    return at;
}

void RunControl::SetEnabled(TBitBtnWithColor* button, QAction* action, bool enabled, const QColor& color) {
    if (button == c.bSTART)
        m_state.startClosed = !enabled;
    button->setEnabled(enabled);
    if (action)
        action->setEnabled(enabled);
    button->SetColor(enabled ? color : ButtonFace());
}

void RunControl::mStartClick() {
    // The moment comes first: nothing done below changes the recorded time or its texts.
    const Moment at = EventMoment();
    const Tick tick = at.tick;
    const QTime& clock = at.clock;

    if (m_settings.Sound && !m_startTone.isEmpty() && !m_state.toneAlreadyPlayed)
        m_sound.play(m_startTone);
    m_lockOut.LockStartContact();
    emit CountdownStopWanted();
    m_display.SetStartColors();

    if (!m_state.Started()) {
        m_state.runStart = tick;
        m_state.firstFinish.reset();
        m_state.firstFinishClock.clear();
        c.sbLoadList->setEnabled(false);
        SetEnabled(c.bEnd, c.mEnd, true, RunColors::Red);
    }
    m_state.lastStartTick = tick;
    const TimeValue offset = TickDiff(tick, *m_state.runStart);

    JournalEntry entry;
    entry.event = JournalEvent::Start;
    entry.source = EventSource();
    if (!m_settings.massStart()) {
        const QString typed = c.cbStartN->currentText();
        const int item = c.cbStartN->currentIndex();
        const bool fromList = item >= 0 && c.cbStartN->itemText(item).trimmed() == typed.trimmed();
        const int row = m_protocol.RecordStartInRow(typed, tick, clock, offset);
        // The placeholder keeps its minus: "4" always means athlete 4, "-4" this start.
        c.cbStopN->addItem(m_protocol.Cell(Col::StNr, row));
        c.cbStopN->SetDropDown(true);
        c.cbStopN->setEditText(QString());
        // The started number leaves the start list; the box moves on to the next row's number.
        m_protocol.SelectRow(row + 1);
        if (fromList) {
            c.cbStartN->removeItem(item);
            const int next = c.cbStartN->FindItem(m_protocol.Cell(Col::StNr, m_protocol.Grid()->Row()));
            c.cbStartN->setCurrentIndex(next);
            if (next >= 0)
                c.cbStartN->setEditText(c.cbStartN->itemText(next));
        }
        entry.number = m_protocol.Cell(Col::StNr, row);
        entry.time = m_protocol.Cell(Col::Start, row);
        entry.Add(JournalKey::Row, QString::number(row));
        AddCells(entry, m_protocol.Grid()->Data(), row, {Col::Split, Col::Raw});
    } else {
        // Kept with the backups: after a restart the finishes are timed from it.
        m_state.massStartClock = ClockText(clock);
        FillStopListForMassStart();
        entry.time = m_state.massStartClock;
        entry.Add(QStringLiteral("Startart"), QStringLiteral("Massenstart"));
    }
    // On the disk before anything else can go wrong.
    Journalize(entry, at);

    m_display.ShowLower(0);
    m_display.StartClock(*m_state.runStart);
    c.bCFG->setEnabled(false);

    if (m_settings.massStart()) {
        SetEnabled(c.bSTART, c.mStart, false, RunColors::Green);
        emit TimerAvailable(false);
        m_display.SetLowerLit(RunColors::Yellow);
        m_display.ShowLower(0);
    }
    SetEnabled(c.bSTOP, c.mStop, true, RunColors::Yellow);
    m_protocol.UpdateResultCommands();
    // A crash must not cost a recorded start.
    emit BackupsDue();
    emit Started(tick);
}

void RunControl::mStopClick() {
    const Moment at = EventMoment();
    const Tick tick = at.tick;
    const bool individual = !m_settings.massStart();
    const int digits = m_settings.Acc;

    // Which row does this finish belong to? None (0) sends it to the finish table.
    int row = -1;
    const QString number = c.cbStopN->currentText().trimmed();
    int k = 0;
    if (!number.isEmpty() && ToInt(number, k) && k != 0) {
        // A negative number is the placeholder of a start without number: it must name
        // an existing row just like a positive one, never whatever row is selected.
        row = m_protocol.FindStartNumber(number);
        if (row < 1 || !m_protocol.Cell(Col::Zeit, row).trimmed().isEmpty())
            k = 0;
        if (row >= 1)
            m_protocol.SelectRow(row);
    } else {
        k = 0;
    }

    const QString finishClock = ClockText(at.clock);
    // The running time, when a start of this athlete or of this mass start is known.
    std::optional<TimeValue> running;
    if (individual) {
        if (k != 0) {
            bool hasTick = false;
            const qint32 startTick = m_protocol.Cell(Col::Raw, row).trimmed().toInt(&hasTick);
            TimeValue t = 0;
            if (hasTick)
                running = TickDiff(tick, static_cast<Tick>(startTick));
            // No start tick (the program was restarted since): the running time comes from
            // the clock texts, as an assignment from the finish table computes it.
            else if (ClockTextDifference(finishClock, m_protocol.Cell(Col::Start, row), digits, t))
                running = t;
        } else {
            running = TickDiff(tick, m_state.lastStartTick);
        }
    } else if (m_state.Started()) {
        running = TickDiff(tick, m_state.lastStartTick);
    } else if (!m_state.massStartClock.isEmpty()) {
        // The mass start of the run before a restart: its tick is gone, its clock is not.
        TimeValue t = 0;
        if (ClockTextDifference(finishClock, m_state.massStartClock, digits, t))
            running = t;
    }
    // Without a usable start the finish is queued with its clock, never given a made-up time.
    if (!running)
        k = 0;

    if (m_settings.Sound && !m_finishTone.isEmpty())
        m_sound.play(m_finishTone);
    m_lockOut.LockFinishContact();

    TimeValue gap = 0;
    if (!individual && running) {
        m_display.ShowLower(*running);
        // Only a timed finish of this run becomes the reference of the gaps.
        if (m_state.firstFinish) {
            gap = TickDiff(tick, *m_state.firstFinish);
        } else if (!m_state.firstFinishClock.isEmpty()) {
            // The first finisher came before a restart: the gap from the clock texts.
            if (!ClockTextDifference(finishClock, m_state.firstFinishClock, digits, gap))
                gap = 0;
        } else {
            m_state.firstFinish = tick;
            m_state.firstFinishClock = finishClock;
        }
    }

    JournalEntry entry;
    entry.source = EventSource();
    if (k != 0) {
        m_protocol.RecordFinishInRow(row, *running, finishClock,
                                     individual ? QString() : QLatin1Char('+') + TimeToText(gap, digits));
        entry.event = JournalEvent::Finish;
        entry.number = m_protocol.Cell(Col::StNr, row);
        entry.time = finishClock;
        entry.Add(JournalKey::Row, QString::number(row));
        AddCells(entry, m_protocol.Grid()->Data(), row, {Col::Zeit, Col::Split, Col::Raw});
        if (m_settings.AutoSort)
            entry.Add(JournalKey::Ranked, RankingText(m_protocol.RankOptions()));
    } else {
        ++m_state.finishCounter;
        QString kontakt = finishClock;
        if (!individual)
            kontakt = running ? TimeToText(*running, digits) : MassStartClockEntry(finishClock);
        m_finish.QueueFinish(kontakt, m_state.finishCounter);
        entry.event = JournalEvent::Queued;
        entry.time = kontakt;
        entry.Add(JournalKey::Number, QString::number(m_state.finishCounter) + QLatin1Char('.'));
        if (!number.isEmpty())
            entry.Add(QStringLiteral("eingegeben"), number);
        if (finishClock != kontakt)
            entry.Add(QStringLiteral("Uhrzeit"), finishClock);
    }
    Journalize(entry, at);

    if (k != 0)
        WithdrawFinishNumber(QString::number(k));
    else if (c.cbStopN->count() == 0)
        c.cbStopN->setEditText(QString());

    if (individual && k != 0)
        m_protocol.SelectNextRowAfterFinish();
    if (m_settings.AutoSort) {
        m_protocol.RankProtocol();
        m_protocol.ScrollAfterRanking();
    }
    TakeNextPredicted();
    emit BackupsDue();
}

// The leading number (or "-") of the pre-entered order becomes the next finish
// number, possibly an empty one; it and the separators after it leave the field.
void RunControl::TakeNextPredicted() {
    const QString text = c.EditPred->text();
    auto isPart = [](QChar ch) { return ch.isDigit() || ch == QLatin1Char('-'); };
    qsizetype i = 0;
    while (i < text.size() && isPart(text[i]))
        ++i;
    const QString next = text.left(i);
    while (i < text.size() && !isPart(text[i]))
        ++i;
    c.cbStopN->setEditText(next);
    c.EditPred->setText(text.mid(i));
}

bool RunControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c.EditPred && event->type() == QEvent::MouseButtonDblClick) {
        c.EditPred->clear();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void RunControl::bEndClick() {
    const QString source = EventSource();
    if (!m_question.Ask(m_prompts, QStringLiteral("Wettkampf Ende?")))
        return;
    EndCompetition();
    JournalEntry entry;
    entry.event = JournalEvent::End;
    entry.source = source;
    Journalize(entry, m_clock.moment());
}

void RunControl::EndCompetition() {
    m_display.StopClock();
    emit CountdownStopWanted();
    m_lockOut.StopLockOuts();
    m_lockOut.LockStartContact();
    m_lockOut.LockFinishContact();
    emit TimerAvailable(false);
    SetEnabled(c.bSTART, c.mStart, false, RunColors::Green);
    SetEnabled(c.bSTOP, c.mStop, false, RunColors::Yellow);
    c.EditPred->clear();

    m_state.runStart.reset();
    m_state.firstFinish.reset();
    m_state.finishCounter = 0;
    m_state.massStartClock.clear();
    m_state.firstFinishClock.clear();
    m_state.finishOpenAtProgramStart = false;
    m_protocol.ApplyColumnLayout();
    m_display.ShowLower(0);
    m_display.ShowUpper(0);
    c.bCFG->setEnabled(true);
    SetEnabled(c.bSTART, c.mStart, true, RunColors::Green);
    c.bSTART->setFocus();
    emit TimerAvailable(true);
    c.cbStopN->SetDropDown(false);
    c.cbStopN->setEditText(QString());
    c.sbLoadList->setEnabled(true);
    m_protocol.UpdateResultCommands();
    // The ended run must not come back with a restart.
    emit BackupsDue();
}

bool RunControl::FormCloseQuery() {
    return m_question.Ask(m_prompts, QStringLiteral("Programm beenden?"));
}

void RunControl::sbSound1Click() {
    if (m_write)
        m_write->Edit([](TSettings& s) { s.Sound = false; });
    ApplySound();
}

void RunControl::sbSound0Click() {
    if (m_write)
        m_write->Edit([](TSettings& s) { s.Sound = true; });
    ApplySound();
}

void RunControl::ApplySettings(const TSettings& before) {
    if (m_settings.Sound != before.Sound)
        ApplySound();
}

void RunControl::ApplySound() {
    c.sbSound1->setVisible(m_settings.Sound);
    c.sbSound0->setVisible(!m_settings.Sound);
}

void RunControl::ApplyStartMode() {
    const bool individual = !m_settings.massStart();
    c.cbStartN->setVisible(individual);
    c.LabelNr->setVisible(individual);
}

bool RunControl::StartAvailable() const {
    return m_state.StartAvailable();
}

void RunControl::StartFrom(const QString& source) {
    TriggerFrom(c.mStart, source);
}

void RunControl::FinishFrom(const QString& source) {
    TriggerFrom(c.mStop, source);
}

void RunControl::SetFinishAvailable(bool available) {
    c.mStop->setEnabled(available);
}

void RunControl::ClearFinishNumber() {
    c.cbStopN->setEditText(QString());
}

void RunControl::WithdrawFinishNumber(const QString& number) {
    const int item = c.cbStopN->FindItem(number, Qt::CaseInsensitive);
    if (item >= 0)
        c.cbStopN->removeItem(item);
    if (c.cbStopN->count() == 0)
        c.cbStopN->setEditText(QString());
}

void RunControl::FillStopListForMassStart() {
    QStringList numbers;
    for (const QString& n : m_protocol.StartNumbers())
        if (!n.trimmed().isEmpty())
            numbers << n.trimmed();
    c.cbStopN->clear();
    c.cbStopN->addItems(numbers);
    if (!numbers.isEmpty()) {
        c.cbStopN->SetDropDown(true);
        c.cbStopN->setCurrentIndex(0);
    }
}

void RunControl::SetStartNumbers(const QStringList& numbers) {
    c.cbStartN->clear();
    c.cbStartN->addItems(numbers);
    if (!numbers.isEmpty())
        c.cbStartN->setCurrentIndex(0);
    c.cbStartN->SetDropDown(numbers.size() > 1);
}

void RunControl::SelectStartNumber(const QString& number) {
    const int item = number.isEmpty() ? -1 : c.cbStartN->FindItem(number);
    c.cbStartN->setCurrentIndex(item);
    c.cbStartN->setEditText(number);
}

void RunControl::ClearNumberBoxes() {
    c.cbStartN->clear();
    c.cbStartN->SetDropDown(false);
    c.cbStopN->clear();
    c.cbStopN->SetDropDown(false);
}

void RunControl::ProtocolRowChosen(int row) {
    const QString stNr = m_protocol.Cell(Col::StNr, row);
    if (m_settings.massStart()) {
        if (m_protocol.Cell(Col::Zeit, row).trimmed().isEmpty())
            c.cbStopN->setEditText(stNr);
        return;
    }

    const bool finishOn = c.bSTOP->isEnabled();
    const QString raw = m_protocol.Cell(Col::Raw, row).trimmed();
    bool rawIsNumber = false;
    const qint32 rawValue = raw.toInt(&rawIsNumber);
    if (finishOn) {
        m_display.RepaintWithColorSet();
        m_lockOut.ArmFinishContact();
        if (rawIsNumber) {
            // The running display follows the selected athlete.
            m_state.lastStartTick = static_cast<Tick>(rawValue);
            c.cbStopN->setEditText(stNr);
        } else {
            c.cbStartN->setEditText(stNr);
        }
        const QString zeit = m_protocol.Cell(Col::Zeit, row).trimmed();
        const QString start = m_protocol.Cell(Col::Start, row).trimmed();
        m_display.ShowLower(!zeit.isEmpty()    ? TextToTime(zeit, m_settings.Acc)
                            : !start.isEmpty() ? TextToTime(start, m_settings.Acc)
                                               : 0);
    } else if (m_protocol.Cell(Col::Zeit, row).trimmed().isEmpty()) {
        c.cbStartN->setEditText(stNr);
    }

    if (!c.bSTART->isEnabled())
        m_lockOut.DisarmStartContact();

    if (!finishOn) {
        if (!raw.isEmpty()) {
            // A text that is not a number (a spreadsheet may put one there) shows nothing.
            if (rawIsNumber)
                m_display.ShowLower(rawValue);
            c.cbStopN->setEditText(QString());
        } else if (!c.bTimer->isEnabled()) {
            m_display.SetLowerLit(RunColors::Yellow);
            m_display.RepaintWithColorSet();
            m_display.ShowLower(0);
        }
    }
    // The colours follow the buttons' states, whoever changed them last.
    c.bSTART->SetColor(c.bSTART->isEnabled() ? RunColors::Green : ButtonFace());
    c.bSTOP->SetColor(c.bSTOP->isEnabled() ? RunColors::Yellow : ButtonFace());
    c.mStop->setEnabled(m_display.ClockRunning() || m_state.finishOpenAtProgramStart);
}

void RunControl::cbStartNKeyUp() {
    const int row = m_protocol.FindStartNumber(c.cbStartN->currentText());
    c.cbStartN->SetTextColor(row >= 1 ? RunColors::Yellow : RunColors::Red);
}

void RunControl::cbStartNChange() {
    int n = 0;
    const QString text = c.cbStartN->currentText().trimmed();
    if (!ToInt(text, n))
        return;
    const int row = m_protocol.FindStartNumber(text);
    if (row >= 1)
        m_protocol.SelectRow(row);
}

void RunControl::cbStartNEnter() {
    if (c.bSTART->isEnabled())
        c.mStart->trigger();
}

void RunControl::cbStopNChange() {
    const QString text = c.cbStopN->currentText();
    const int row = m_protocol.FindStartNumber(text);
    if (row >= 1) {
        m_protocol.SelectRow(row);
    } else if (text.contains(QLatin1Char('-'))) {
        // Only the button: it works while mStop is enabled.
        c.bSTOP->setEnabled(true);
        c.bSTOP->SetColor(RunColors::Yellow);
    }
}

void RunControl::cbStopNEnter() {
    if (!c.bSTOP->isEnabled())
        return;
    const int row = m_protocol.FindStartNumber(c.cbStopN->currentText());
    if (row >= 1)
        m_protocol.SelectRow(row);
    c.mStop->trigger();
}
