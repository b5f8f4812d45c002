#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "support/DirectSettings.h"
#include "support/FakePlatform.h"
#include "ui/run/Countdown.h"
#include "ui/run/LockOut.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/TBitBtnWithColor.h"
#include "ui/widgets/TDigit.h"
#include "ui/widgets/TImage.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
const QColor kBlue(72, 116, 217);
const QString kTone = QStringLiteral("/prog/Ton-start.wav");
} // namespace

// The countdown with a START stand-in that does what the run control's START
// does to its neighbours: lock the start contact, stop the countdown timer
// and, with automatic start, begin the next countdown from the START's tick.
// Timer messages are delivered by calling the slot with the fake clock moved.
class CountdownTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void f4StartsAndStops();
    void expiryStartsAndPlaysTone();
    void expiryInMassStartOnlySounds();
    void toneOffStillSetsFlag();
    void autoStartRepeatsUntilF4();
    void autoStartKeepsItsScheduleWhenTimerIsLate();
    void stallRestartsScheduleInsteadOfCatchingUp();
    void periodZeroStartsOnceOnly();
    void autoStartPeriodSetsStartLockOut_data();
    void autoStartPeriodSetsStartLockOut();
    void oneSecondPeriodLeavesStartContactLocked();
    void visibility_data();
    void visibility();
    void ctrlF4TogglesAutoStart();

private:
    void Make();
    void Start();
    // Moves the clock to `tick` and delivers one timer message.
    void FireAt(Tick tick);

    std::unique_ptr<QWidget> m_window;
    FakeClock m_clock;
    FakeSound m_sound;
    TSettings m_settings;
    DirectSettings m_direct{m_settings};
    TBitBtnWithColor* m_bTimer = nullptr;
    QAction* m_mTimer = nullptr;
    QSpinBox* m_seAutoStart = nullptr;
    QCheckBox* m_cbAuto = nullptr;
    TimePanelControls m_panel;
    std::unique_ptr<TimeDisplay> m_display;
    std::unique_ptr<LockOut> m_lock;
    std::unique_ptr<Countdown> m_countdown;
    RunState m_state;
    QList<Tick> m_starts;
    QList<bool> m_silentStarts; // the flag as each START saw it
};

void CountdownTest::init() {
    m_settings = TSettings();
    m_settings.Timer = 10;
    m_clock = FakeClock(5000);
    m_sound.Played.clear();
    m_settings.Sound = true;
    m_state = RunState();
    m_state.runStart = Tick(0);
    m_starts.clear();
    m_silentStarts.clear();
    m_window = std::make_unique<QWidget>();
    m_bTimer = new TBitBtnWithColor(QStringLiteral("TIMER"), m_window.get());
    m_mTimer = new QAction(m_window.get());
    m_seAutoStart = new QSpinBox(m_window.get());
    m_cbAuto = new QCheckBox(m_window.get());
    m_panel = BuildTimePanel(m_window.get());
    Make();
}

void CountdownTest::Make() {
    m_countdown.reset();
    m_lock.reset();
    m_display.reset();
    m_display = std::make_unique<TimeDisplay>(m_panel, nullptr, nullptr, m_clock, m_settings);
    m_lock = std::make_unique<LockOut>(new TImage(m_window.get()), new TImage(m_window.get()), m_settings, m_state);
    m_lock->SetIconsVisible(true);
    m_countdown = std::make_unique<Countdown>(m_bTimer, m_mTimer, m_seAutoStart, m_cbAuto, m_clock, m_settings,
                                              *m_display, *m_lock, m_sound, kTone, m_state);
    connect(m_countdown.get(), &Countdown::StartDue, this, [this] { Start(); });
    m_display->SetSettingsWriter(m_direct);
    m_lock->SetSettingsWriter(m_direct);
    m_countdown->SetSettingsWriter(m_direct);
}

void CountdownTest::cleanup() {
    m_countdown.reset();
    m_lock.reset();
    m_display.reset();
    m_window.reset();
}

void CountdownTest::Start() {
    const Tick tick = m_clock.tick();
    m_starts << tick;
    m_silentStarts << m_state.toneAlreadyPlayed;
    m_lock->LockStartContact();
    m_countdown->StopTimer();
    if (m_cbAuto->isChecked())
        m_countdown->StartAfterStart(tick);
}

void CountdownTest::FireAt(Tick tick) {
    m_clock.Advance(TickDiff(tick, m_clock.tick()));
    m_countdown->TimerCountDownTimer();
}

void CountdownTest::f4StartsAndStops() {
    m_lock->LockLSstart1Click();
    m_state.toneAlreadyPlayed = true;
    m_countdown->mTimerClick();
    QVERIFY(m_countdown->Running());
    QCOMPARE(m_countdown->CountDownTimerObject()->interval(), 10);
    QCOMPARE(m_countdown->StartTick(), 5000u);
    QVERIFY(!m_state.toneAlreadyPlayed);
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(m_lock->StartLockRunning());
    QCOMPARE(m_display->LowerValue(), 10000);
    QCOMPARE(m_display->UpperValue(), 0);
    QCOMPARE(m_panel.Lower[3]->ColorOn(), QColor(64, 64, 64)); // "00:00:10,00"
    QCOMPARE(m_panel.Lower[4]->ColorOn(), kBlue);

    FireAt(5000 + 3456);
    QCOMPARE(m_display->LowerValue(), 10000 - 3456);

    m_countdown->mTimerClick();
    QVERIFY(!m_countdown->Running());
    QVERIFY(!m_lock->StartLockRunning());
    QVERIFY(!m_lock->StartArmed());
    QCOMPARE(m_display->LowerValue(), 10000);
    QVERIFY(m_starts.isEmpty());
}

void CountdownTest::expiryStartsAndPlaysTone() {
    m_countdown->mTimerClick();
    FireAt(5000 + 9990);
    QCOMPARE(m_display->LowerValue(), 10);
    QVERIFY(m_sound.Played.isEmpty());
    FireAt(5000 + 10003);
    QVERIFY(!m_countdown->Running());
    QCOMPARE(m_sound.Played, QStringList{kTone});
    QCOMPARE(m_starts, QList<Tick>{5000 + 10003});
    QCOMPARE(m_silentStarts, QList<bool>{true}); // START must not play the tone again
    QVERIFY(m_state.toneAlreadyPlayed);
    QCOMPARE(m_display->LowerValue(), 10000);
}

void CountdownTest::expiryInMassStartOnlySounds() {
    m_settings.StartType = 1;
    m_countdown->mTimerClick();
    m_state.startClosed = true; // the mass start ran meanwhile
    FireAt(5000 + 10000);
    QVERIFY(!m_countdown->Running());
    QCOMPARE(m_sound.Played, QStringList{kTone});
    QVERIFY(m_starts.isEmpty());
    QCOMPARE(m_display->LowerValue(), 0);
}

void CountdownTest::toneOffStillSetsFlag() {
    m_settings.Sound = false;
    m_countdown->mTimerClick();
    FireAt(5000 + 10000);
    QVERIFY(m_sound.Played.isEmpty());
    QVERIFY(m_state.toneAlreadyPlayed);
    QCOMPARE(m_starts.size(), 1);
}

void CountdownTest::autoStartRepeatsUntilF4() {
    m_cbAuto->setChecked(true);
    m_countdown->mTimerClick();
    Tick t = m_clock.tick();
    while (m_starts.size() < 5) {
        t += 10;
        FireAt(t);
        QVERIFY(m_countdown->Running());
    }
    for (int k = 0; k < 5; ++k)
        QCOMPARE(m_starts[k], Tick(5000 + (k + 1) * 10000));
    QCOMPARE(m_sound.Played.size(), 5);

    m_countdown->mTimerClick(); // F4
    QVERIFY(!m_countdown->Running());
    for (int i = 0; i < 2000; ++i) {
        t += 10;
        m_clock.Advance(10);
        if (m_countdown->Running())
            m_countdown->TimerCountDownTimer();
    }
    QCOMPARE(m_starts.size(), 5);
}

// Every timer message arrives 7 ms after its due time (10 ms after the timer
// was started, then every 10 ms). Started from the tick START handled, each
// countdown would inherit that delay and the schedule would slip by 7 ms per
// athlete; measured from when the previous countdown was due, it stays put.
void CountdownTest::autoStartKeepsItsScheduleWhenTimerIsLate() {
    m_settings.Timer = 30;
    m_cbAuto->setChecked(true);
    const Tick t0 = m_clock.tick();
    m_countdown->mTimerClick();
    Tick timerStarted = t0;
    Tick next = timerStarted + 17;
    while (m_starts.size() < 100) {
        const qsizetype before = m_starts.size();
        FireAt(next);
        if (m_starts.size() != before) {
            timerStarted = m_starts.last();
            next = timerStarted + 17;
        } else {
            next += 10;
        }
    }
    for (int k = 0; k < 100; ++k) {
        const qint32 off = TickDiff(m_starts[k], t0 + Tick(k + 1) * 30000);
        QVERIFY2(off >= 0 && off < 10, qPrintable(QStringLiteral("start %1 off by %2 ms").arg(k + 1).arg(off)));
    }
}

void CountdownTest::stallRestartsScheduleInsteadOfCatchingUp() {
    m_cbAuto->setChecked(true);
    m_countdown->mTimerClick();
    FireAt(5000 + 10000 + 4000); // the program was held up for 4 s
    QCOMPARE(m_starts.size(), 1);
    QCOMPARE(m_countdown->StartTick(), m_starts.first());
    FireAt(m_starts.first() + 9990);
    QCOMPARE(m_starts.size(), 1);
}

// An automatic start without a period would start an athlete with every timer message.
void CountdownTest::periodZeroStartsOnceOnly() {
    m_settings.Timer = 0;
    m_cbAuto->setChecked(true);
    m_countdown->mTimerClick();
    FireAt(m_clock.tick() + 10);
    QCOMPARE(m_starts.size(), 1);
    QVERIFY(!m_countdown->Running());
}

void CountdownTest::autoStartPeriodSetsStartLockOut_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("interval");
    QTest::newRow("30") << 30 << 29000;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("0 keeps it") << 0 << 4000;
}

void CountdownTest::autoStartPeriodSetsStartLockOut() {
    QFETCH(int, period);
    QFETCH(int, interval);
    m_seAutoStart->setValue(period);
    QCOMPARE(m_countdown->Period(), period);
    QCOMPARE(m_settings.Timer, period);
    QCOMPARE(m_lock->StartInterval(), interval);
}

void CountdownTest::oneSecondPeriodLeavesStartContactLocked() {
    QCOMPARE(m_lock->StartInterval(), 4000); // loading the period did not touch the stored lock-out
    m_seAutoStart->setValue(1);
    m_cbAuto->setChecked(true);
    m_lock->LockLSstart1Click();
    m_countdown->mTimerClick();
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(!m_lock->StartLockRunning());
    FireAt(m_clock.tick() + 1000);
    QCOMPARE(m_starts.size(), 1);
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(!m_lock->StartLockRunning());
}

void CountdownTest::visibility_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("startType");
    QTest::addColumn<bool>("timer");
    QTest::addColumn<bool>("auto_");
    QTest::newRow("individual") << 5 << 0 << true << true;
    QTest::newRow("mass") << 5 << 1 << true << false;
    QTest::newRow("no period") << 0 << 0 << false << false;
    QTest::newRow("no period, mass") << 0 << 1 << false << false;
}

void CountdownTest::visibility() {
    QFETCH(int, period);
    QFETCH(int, startType);
    QFETCH(bool, timer);
    QFETCH(bool, auto_);
    m_settings.Timer = period;
    m_settings.StartType = startType;
    m_countdown->ApplyVisibility();
    QCOMPARE(!m_bTimer->isHidden(), timer);
    QCOMPARE(!m_seAutoStart->isHidden(), auto_);
    QCOMPARE(!m_cbAuto->isHidden(), auto_);
}

void CountdownTest::ctrlF4TogglesAutoStart() {
    m_settings.cbAuto = true;
    m_settings.Timer = 700; // out of range in the settings file
    Make();
    QVERIFY(m_cbAuto->isChecked());
    QCOMPARE(m_countdown->Period(), 600);
    QCOMPARE(m_seAutoStart->value(), 600);
    m_countdown->AutoCountDown1Click();
    QVERIFY(!m_cbAuto->isChecked());
    QVERIFY(!m_settings.cbAuto);
    m_countdown->AutoCountDown1Click();
    QVERIFY(m_settings.cbAuto);
}

QTEST_MAIN(CountdownTest)
#include "tst_Countdown.moc"
