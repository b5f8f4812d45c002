#include "ui/run/RunControl.h"

#include "core/base/TimeText.h"
#include "core/platform/Prompts.h"
#include "core/platform/Sound.h"
#include "core/race/DuplicateNumbers.h"
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
      m_question(question) {
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

void RunControl::TimeInputsByTheirEvents() {
    m_inputs = std::make_unique<InputMoments>(m_clock, InputMoments::WindowSystemNow());
}

Moment RunControl::EventMoment() {
    m_momentNote.clear();
    if (!m_impulse) {
        const QString source = EventSource();
        // Timers and contacts bring their own moments; keys and clicks have the event's.
        if (m_inputs && (source == JournalSource::Key || source == JournalSource::Button ||
                         source == JournalSource::Menu || source == JournalSource::DoubleClick))
            return m_inputs->Take(m_momentNote);
        return m_clock.moment();
    }
    Moment at = *m_impulse;
    if (!at.clock.isValid() || at.epochMs == 0) {
        // A capture without clock of day still gets a text, and its UTC moment from the
        // ticks that passed since.
        const Moment now = m_clock.moment();
        if (!at.clock.isValid())
            at.clock = now.clock;
        if (at.epochMs == 0 && now.epochMs != 0)
            at.epochMs = now.epochMs - TickDiff(now.tick, at.tick);
    }
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
    const Stamp stamp = Stamp::Of(at, m_clock.bootId());

    // Which row this start goes to, decided before anything of the start is done: a
    // question answered "Nein" must leave no trace.
    QString typed = c.cbStartN->currentText();
    if (!m_settings.massStart()) {
        const int same = m_protocol.CountStartNumber(typed);
        if (same > 1) {
            // Two rows with one number: neither may be picked silently. The time is kept
            // on a placeholder row for the operator to give to the right athlete.
            emit Notice(QStringLiteral("Startnummer %1 kommt %2 vor: Start ohne Nummer erfasst, bitte zuordnen")
                            .arg(typed.trimmed(), TimesText(same)));
            typed.clear();
        } else if (same == 1) {
            const int row = m_protocol.FindStartNumber(typed.trimmed());
            if (HasTimeText(m_protocol.Cell(Col::Stopp, row)) || HasTimeText(m_protocol.Cell(Col::Zeit, row))) {
                // A start after a finish would put "Start" after "Stopp" and rank him first.
                if (!m_question.Ask(
                        m_prompts,
                        QStringLiteral("Athlet %1 hat bereits eine Zielzeit. Neu starten?").arg(typed.trimmed())))
                    return;
                m_protocol.ClearResults(row);
            }
        }
    }

    if (m_settings.Sound && !m_startTone.isEmpty() && !m_state.toneAlreadyPlayed)
        m_sound.play(m_startTone);
    m_lockOut.LockStartContact();
    emit CountdownStopWanted();
    m_display.SetStartColors();

    if (!m_state.Started()) {
        m_state.runStart = tick;
        m_state.firstStartStamp = stamp;
        m_state.firstFinish.reset();
        m_state.firstFinishClock.clear();
        m_state.firstFinishStamp.reset();
        c.sbLoadList->setEnabled(false);
        SetEnabled(c.bEnd, c.mEnd, true, RunColors::Red);
    }
    m_state.lastStartTick = tick;
    const TimeValue offset = TickDiff(tick, *m_state.runStart);

    JournalEntry entry;
    entry.event = JournalEvent::Start;
    entry.source = EventSource();
    if (!m_settings.massStart()) {
        const int item = c.cbStartN->currentIndex();
        const bool fromList = item >= 0 && c.cbStartN->itemText(item).trimmed() == typed.trimmed();
        const int row = m_protocol.RecordStartInRow(typed, tick, clock, offset, m_state.highestPlaceholder);
        // A restart finds the start's tick again under its number and clock text.
        m_state.starts.insert(StampKey(m_protocol.Cell(Col::StNr, row), m_protocol.Cell(Col::Start, row)), stamp);
        // The placeholder keeps its minus: "4" always means athlete 4, "-4" this start.
        c.cbStopN->addItem(m_protocol.Cell(Col::StNr, row));
        c.cbStopN->SetDropDown(true);
        c.cbStopN->setEditText(QString());
        // The started number leaves the start list; the box moves on to the next row's number.
        m_protocol.SelectNextRow();
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
        m_state.massStartStamp = stamp;
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
    const Stamp stamp = Stamp::Of(at, m_clock.bootId());
    const bool individual = !m_settings.massStart();
    const int digits = m_settings.Acc;

    // Which row does this finish belong to? None (0) sends it to the finish table.
    int row = -1;
    const QString number = c.cbStopN->currentText().trimmed();
    int k = 0;
    const int same = m_protocol.CountStartNumber(number);
    if (same > 1) {
        // Neither of two rows with this number may get the time silently: it is queued.
        emit Notice(QStringLiteral("Startnummer %1 kommt %2 vor: Zielzeit in die Zieltabelle gestellt, bitte zuordnen")
                        .arg(number, TimesText(same)));
    } else if (!number.isEmpty() && ToInt(number, k) && k != 0) {
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
            // No start tick and no stamp of it (a backup of an older version): the running
            // time comes from the clock texts, as an assignment from the finish table computes it.
            else if (ClockTextDifference(finishClock, m_protocol.Cell(Col::Start, row), digits, t))
                running = t;
            // A finish before the start is no running time: it is queued.
            if (running && *running < 0)
                running.reset();
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
            m_state.firstFinishStamp = stamp;
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
        // An assignment, after a restart too, times it from its tick.
        m_state.queued.insert(StampKey(QString::number(m_state.finishCounter) + QLatin1Char('.'), kontakt), stamp);
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
        m_protocol.SelectNextRow();
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

    m_state.EndRun();
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

void RunControl::ResumeRun() {
    const Moment now = m_clock.moment();
    const QString boot = m_clock.bootId();
    m_state.highestPlaceholder = qMax(m_state.highestPlaceholder, m_protocol.HighestPlaceholder());
    // Athletes on the course: their start ticks, in this boot's count, go back into the rows.
    std::optional<Tick> lastStart;
    const TSortGrid* g = m_protocol.Grid();
    for (int row = 1; row < g->RowCount(); ++row) {
        const QString start = m_protocol.Cell(Col::Start, row);
        if (!HasTimeText(start) || HasTimeText(m_protocol.Cell(Col::Zeit, row)))
            continue;
        const auto stamp = m_state.starts.constFind(StampKey(m_protocol.Cell(Col::StNr, row), start));
        if (stamp == m_state.starts.cend())
            continue;
        if (const auto tick = TickInBoot(*stamp, boot, now)) {
            m_protocol.SetCellText(Col::Raw, row, QString::number(static_cast<qint32>(*tick)));
            if (!lastStart || TickDiff(*tick, *lastStart) > 0)
                lastStart = tick;
        }
    }
    auto inBoot = [&](const std::optional<Stamp>& s) { return s ? TickInBoot(*s, boot, now) : std::nullopt; };
    const std::optional<Tick> first = inBoot(m_state.firstStartStamp);
    const bool mass = m_settings.massStart();
    const std::optional<Tick> massStart = inBoot(m_state.massStartStamp);
    if (mass && massStart) {
        m_state.runStart = first ? first : massStart;
        m_state.lastStartTick = *massStart;
        m_state.firstFinish = inBoot(m_state.firstFinishStamp);
    } else if (!mass && first) {
        m_state.runStart = first;
        m_state.lastStartTick = lastStart ? *lastStart : *first;
    }
    // A mass start of the run before the restart, even one known by its clock text only:
    // a second START would time every athlete on the course from it.
    const bool massRunning = mass && (massStart || !m_state.massStartClock.isEmpty());
    if (!m_state.Started() && !massRunning)
        return;

    if (m_state.Started()) {
        m_display.SetStartColors();
        m_display.StartClock(*m_state.runStart);
    }
    c.bCFG->setEnabled(false);
    c.sbLoadList->setEnabled(false);
    SetEnabled(c.bEnd, c.mEnd, true, RunColors::Red);
    if (mass) {
        SetEnabled(c.bSTART, c.mStart, false, RunColors::Green);
        emit TimerAvailable(false);
        FillStopListForMassStart();
    } else {
        // The numbers still on the course are the finish box's choices again.
        c.cbStopN->clear();
        for (int row = 1; row < g->RowCount(); ++row)
            if (HasTimeText(m_protocol.Cell(Col::Start, row)) && !HasTimeText(m_protocol.Cell(Col::Zeit, row)))
                c.cbStopN->addItem(m_protocol.Cell(Col::StNr, row));
        c.cbStopN->SetDropDown(c.cbStopN->count() > 0);
    }
    // Nothing chosen: the first FINISH after the restart goes to no athlete by itself.
    c.cbStopN->setCurrentIndex(-1);
    c.cbStopN->setEditText(QString());
    SetEnabled(c.bSTOP, c.mStop, true, RunColors::Yellow);
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
    // Removing the current item would show the next one in the box, and the next FINISH
    // would time that athlete: the box keeps what the operator typed, without the withdrawn number.
    const QString typed = c.cbStopN->currentText();
    const int item = c.cbStopN->FindItem(number, Qt::CaseInsensitive);
    if (item >= 0)
        c.cbStopN->removeItem(item);
    c.cbStopN->setCurrentIndex(-1);
    c.cbStopN->setEditText(c.cbStopN->count() == 0 || typed.trimmed() == number.trimmed() ? QString() : typed);
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

void RunControl::ProtocolRowChosen(int row, bool byOperator) {
    const QString stNr = m_protocol.Cell(Col::StNr, row);
    // A time goes only to the number the operator typed or chose: a row kept chosen by a
    // ranking (after an assignment, a ranking by hand) puts no number into the finish box.
    const bool offerFinish = byOperator;
    if (m_settings.massStart()) {
        if (offerFinish && m_protocol.Cell(Col::Zeit, row).trimmed().isEmpty())
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
            // Only an athlete still on the course is offered to FINISH.
            if (offerFinish && !HasTimeText(m_protocol.Cell(Col::Zeit, row)))
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
            if (offerFinish)
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

RunControl::RemoteStart RunControl::ApplyRemoteStart(const QString& number, const Moment& at, const QString& source,
                                                     const QList<QPair<QString, QString>>& detail) {
    const bool individual = !m_settings.massStart();
    int row = -1;
    if (individual) {
        int n = 0;
        // A placeholder ("-3") names a row of the other PC's protocol, never one of ours.
        if (!ToInt(number.trimmed(), n) || n <= 0)
            return RemoteStart::UnknownNumber;
        row = m_protocol.FindStartNumber(number.trimmed());
        if (row >= 1 && !m_protocol.Cell(Col::Start, row).trimmed().isEmpty())
            return RemoteStart::AlreadyStarted;
        if (row < 1) {
            // With a start list loaded, a number outside it is a mistake at the start.
            const SortGridData& g = m_protocol.Grid()->Data();
            for (int r = 1; r < g.RowCount(); ++r)
                if (!g.Cell(Col::Nachname, r).trimmed().isEmpty() || !g.Cell(Col::Vorname, r).trimmed().isEmpty())
                    return RemoteStart::UnknownNumber;
        }
    } else if (m_state.Started() || m_state.startClosed) {
        return RemoteStart::AlreadyStarted;
    }

    if (!m_state.Started()) {
        m_state.runStart = at.tick;
        m_state.firstFinish.reset();
        m_state.firstFinishClock.clear();
        c.sbLoadList->setEnabled(false);
        SetEnabled(c.bEnd, c.mEnd, true, RunColors::Red);
    }
    m_state.lastStartTick = at.tick;
    JournalEntry entry;
    entry.event = JournalEvent::Start;
    entry.source = source;
    if (individual) {
        const int chosen = m_protocol.Grid()->Row();
        const QString typedStart = c.cbStartN->currentText();
        const QString typedStop = c.cbStopN->currentText();
        row = m_protocol.RecordStartInRow(number.trimmed(), at.tick, at.clock, TickDiff(at.tick, *m_state.runStart),
                                          m_state.highestPlaceholder);
        c.cbStopN->addItem(m_protocol.Cell(Col::StNr, row));
        c.cbStopN->SetDropDown(true);
        // What the operator had chosen and typed stays: the start came from elsewhere.
        m_protocol.SelectRow(chosen);
        c.cbStartN->setEditText(typedStart);
        c.cbStopN->setEditText(typedStop);
        const int item = c.cbStartN->FindItem(m_protocol.Cell(Col::StNr, row));
        if (item >= 0)
            c.cbStartN->removeItem(item);
        entry.number = m_protocol.Cell(Col::StNr, row);
        entry.time = m_protocol.Cell(Col::Start, row);
        entry.Add(JournalKey::Row, QString::number(row));
        AddCells(entry, m_protocol.Grid()->Data(), row, {Col::Split, Col::Raw});
    } else {
        m_state.massStartClock = ClockText(at.clock);
        FillStopListForMassStart();
        entry.time = m_state.massStartClock;
        entry.Add(QStringLiteral("Startart"), QStringLiteral("Massenstart"));
    }
    for (const auto& [key, value] : detail)
        entry.Add(key, value);
    Journalize(entry, at);

    m_display.StartClock(*m_state.runStart);
    c.bCFG->setEnabled(false);
    if (!individual) {
        SetEnabled(c.bSTART, c.mStart, false, RunColors::Green);
        emit TimerAvailable(false);
        m_display.SetLowerLit(RunColors::Yellow);
    }
    SetEnabled(c.bSTOP, c.mStop, true, RunColors::Yellow);
    m_protocol.UpdateResultCommands();
    emit BackupsDue();
    return RemoteStart::Applied;
}
