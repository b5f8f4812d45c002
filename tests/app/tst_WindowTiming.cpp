#include "RaceWindow.h"

#include "core/contacts/ContactInput.h"
#include "support/FakeSerialDevices.h"
#include "ui/run/Countdown.h"
#include "ui/run/LockOut.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/TDigit.h"
#include "ui/widgets/TImage.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

#include <sys/ioctl.h>

// The display, the countdown, the lock-out and the contacts as the main window
// wires them: keys and impulses in, table cells and display out.
class WindowTimingTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void countdownStartsTheNextAthlete();
    void automaticStartUntilF4();
    void massStartCountdownOnlySounds();
    void selectingAFinishedRowShowsItsTime();
    void contactImpulseRecordsTheCapturedTick();
    void busyWindowRecordsTheCapturedClock();
};

void WindowTimingTest::countdownStartsTheNextAthlete() {
    RaceWindow w; // period 5 s: TIMER is shown
    QVERIFY(!Find<TBitBtnWithColor>(w.form, "bTimer")->isHidden());
    w.Key(Qt::Key_F4);
    QVERIFY(w.form->CountDown().Running());
    w.Advance(5000);
    w.form->CountDown().TimerCountDownTimer();
    QCOMPARE(w.Cell(Col::StNr, 1), QStringLiteral("-1"));
    QCOMPARE(w.Cell(Col::Start, 1), QStringLiteral("10:00:05,00"));
    QCOMPARE(w.fake->sound.Played.size(), 1); // the countdown's tone; START stays silent
    QVERIFY(!w.form->CountDown().Running());
}

void WindowTimingTest::automaticStartUntilF4() {
    TSettings s;
    s.Timer = 10;
    s.cbAuto = true;
    RaceWindow w(s);
    QVERIFY(Find<QCheckBox>(w.form, "cbAuto")->isChecked());
    w.Key(Qt::Key_F4);
    for (int i = 1; i <= 3; ++i) {
        w.Advance(10000);
        w.form->CountDown().TimerCountDownTimer();
        QVERIFY(w.form->CountDown().Running());
    }
    QCOMPARE(w.Cell(Col::Split, 3), QStringLiteral("20,00"));
    w.Key(Qt::Key_F4);
    QVERIFY(!w.form->CountDown().Running());
    w.Advance(20000);
    QCOMPARE(w.P()->RowCount(), 5); // three starts and the empty row
    w.Key(Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(!Find<QCheckBox>(w.form, "cbAuto")->isChecked());
}

void WindowTimingTest::massStartCountdownOnlySounds() {
    TSettings s;
    s.StartType = 1;
    RaceWindow w(s);
    QVERIFY(Find<QCheckBox>(w.form, "cbAuto")->isHidden()); // automatic start is for individual starts
    w.Key(Qt::Key_F5);
    const int played = w.fake->sound.Played.size();
    Find<QAction>(w.form, "mTimer")->setEnabled(true); // disabled with START in a running mass start
    w.form->CountDown().mTimerClick();
    w.Advance(5000);
    w.form->CountDown().TimerCountDownTimer();
    QCOMPARE(w.fake->sound.Played.size(), played + 1);
    QCOMPARE(w.form->Display().LowerValue(), 0);
    QCOMPARE(w.form->State().lastStartTick, Tick(100000)); // no second START
}

void WindowTimingTest::selectingAFinishedRowShowsItsTime() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("7"));
    w.Advance(83450);
    w.FinishNumber(QStringLiteral("7"));
    w.form->Display().ClockTimer();
    QCOMPARE(w.form->Display().UpperValue(), TimeValue(10 * 3600000 + 83450)); // clock of day
    w.P()->GoToCell(0, w.RowOf(QStringLiteral("7")), false);
    QCOMPARE(w.form->Display().LowerValue(), 83450);
}

void WindowTimingTest::contactImpulseRecordsTheCapturedTick() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    FakePlatform fake(folder, folder);
    FakeSerialDevices serial;
    fake.platform.serial = &serial;
    fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
    TFormMain form(fake.platform);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    ContactInput* contacts = form.Contacts();
    QVERIFY(contacts);
    contacts->ComPortOpen();
    QVERIFY(form.Lock().IconsVisible());
    QTest::keyClick(&form, Qt::Key_F11); // arm both contacts
    QTest::keyClick(&form, Qt::Key_F12);
    QVERIFY(form.Lock().StartArmed() && form.Lock().FinishArmed());

    // The watcher captured the start at tick 99 000; the window handles it later.
    contacts->ComPortHard({99000, kStatusDsr, 0});
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Raw, 1), QStringLiteral("99000"));
    QVERIFY(!form.Lock().StartArmed()); // locked for WaitStart
    QVERIFY(form.Lock().StartLockRunning());
    // A second start line in the same moment finds the contact locked.
    contacts->ComPortHard({99005, kStatusDsr | kStatusDcd, 0});
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->RowCount(), 3);

    fake.clock.Advance(30000);
    Find<NumberBox>(&form, "cbStopN")->setEditText(QStringLiteral("-1"));
    contacts->ComPortHard({129000, kStatusCts, 0});
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Zeit, 1), QStringLiteral("30,00"));
    contacts->ComPortClose();
    QVERIFY(!form.Lock().IconsVisible());
}

// The real watcher captures tick and clock of day; the window handles the impulse a
// second later (the test does not let events run meanwhile). Start, Stopp, Kontakt and
// the running time after assignment are those of the capture.
void WindowTimingTest::busyWindowRecordsTheCapturedClock() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    FakeSerialDevices serial;
    FakePlatform fake(folder, folder);
    fake.platform.serial = &serial;
    fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
    TFormMain form(fake.platform);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Contacts()->OpenPort(17, 0);
    QVERIFY(form.Lock().IconsVisible());
    QTest::keyClick(&form, Qt::Key_F11);
    QTest::keyClick(&form, Qt::Key_F12);
    QVERIFY(serial.WaitForWaiter());
    auto impulse = [&](int lines) {
        serial.SetLines(lines, 0);
        QVERIFY(serial.WaitForWaiter()); // captured and posted
        fake.clock.Advance(1000);        // the window is busy for a second
    };

    Find<NumberBox>(&form, "cbStartN")->setEditText(QStringLiteral("1"));
    impulse(TIOCM_DSR);
    QTRY_COMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Start, 1), QStringLiteral("10:00:00,00"));
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Raw, 1), QStringLiteral("100000"));
    impulse(0);
    QCoreApplication::processEvents();

    fake.clock.Advance(28000); // 10:00:30
    Find<NumberBox>(&form, "cbStopN")->setEditText(QStringLiteral("1"));
    impulse(TIOCM_CTS);
    QTRY_COMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Stopp, 1), QStringLiteral("10:00:30,00"));
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Zeit, 1), QStringLiteral("30,00"));
    form.Lock().TimerGesperrtStopTimer();
    impulse(0);
    QCoreApplication::processEvents();

    // Athlete 2 starts by key at 10:00:32; the contact queues his finish at 10:00:52.
    Find<NumberBox>(&form, "cbStartN")->setEditText(QStringLiteral("2"));
    QTest::keyClick(&form, Qt::Key_F5);
    const int row2 = Find<TSortGrid>(&form, "SortGrid1")->FindRow(Col::StNr, QStringLiteral("2"));
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")->Cell(Col::Start, row2), QStringLiteral("10:00:32,00"));
    fake.clock.Advance(20000);
    Find<NumberBox>(&form, "cbStopN")->setEditText(QString());
    impulse(TIOCM_CTS);
    QTRY_COMPARE(Find<TSortGrid>(&form, "SortGrid2")->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:52,00"));
    Find<TSortGrid>(&form, "SortGrid2")->setFocus();
    Find<TSortGrid>(&form, "SortGrid2")->GoToCell(FinishCol::Nr, 1, false);
    QTest::keyClick(QApplication::focusWidget(), '2');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(Find<TSortGrid>(&form, "SortGrid1")
                 ->Cell(Col::Zeit, Find<TSortGrid>(&form, "SortGrid1")->FindRow(Col::StNr, QStringLiteral("2"))),
             QStringLiteral("20,00"));
    form.Contacts()->ClosePort();
}

QTEST_MAIN(WindowTimingTest)
#include "tst_WindowTiming.moc"
