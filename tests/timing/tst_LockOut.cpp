#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "support/DirectSettings.h"
#include "ui/run/LockOut.h"
#include "ui/widgets/TImage.h"

#include <QTimer>
#include <QtTest>
#include <memory>

// The contact switches and their lock-out timers. Impulses are fed the way the
// contact input does it: accepted only while the contact is armed and no
// lock-out runs, and an accepted start impulse performs START, whose first
// step locks the start contact.
class LockOutTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void bothLockedAndHiddenAtFirst();
    void picturesTellTheStatesApart();
    void intervalsFromSettings_data();
    void intervalsFromSettings();
    void secondImpulseDuringLockOutIsIgnored();
    void startByKeyDoesNotRestartLockOut();
    void f11DuringLockOutArmsAtOnce();
    void f11DuringLockOutLocksWhenArmed();
    void startContactStaysLockedWhileStartUnavailable();
    void finishLockOutOnlyWhileClockRuns();
    void zeroLockOutLeavesContactLocked();
    void hiddenIconsIgnoreLocksButNotKeys();

private:
    bool StartImpulse();
    std::unique_ptr<LockOut> Make();

    std::unique_ptr<QWidget> m_window;
    TImage* m_start = nullptr;
    TImage* m_stop = nullptr;
    TSettings m_settings;
    DirectSettings m_direct{m_settings};
    RunState m_state; // a competition runs, START available
    int m_starts = 0;
    std::unique_ptr<LockOut> m_lock;
};

std::unique_ptr<LockOut> LockOutTest::Make() {
    auto lock = std::make_unique<LockOut>(m_start, m_stop, m_settings, m_state);
    lock->SetSettingsWriter(m_direct);
    return lock;
}

void LockOutTest::init() {
    m_settings = TSettings();
    m_state = RunState();
    m_state.runStart = Tick(0);
    m_starts = 0;
    m_window = std::make_unique<QWidget>();
    m_start = new TImage(m_window.get());
    m_stop = new TImage(m_window.get());
    m_stop->move(0, 40);
    m_lock = Make();
}

void LockOutTest::cleanup() {
    m_lock.reset();
    m_window.reset();
}

bool LockOutTest::StartImpulse() {
    if (m_lock->StartLockRunning() || !m_lock->StartArmed())
        return false;
    ++m_starts;
    m_lock->LockStartContact();
    return true;
}

void LockOutTest::bothLockedAndHiddenAtFirst() {
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(!m_lock->FinishArmed());
    QVERIFY(m_start->isHidden());
    QVERIFY(m_stop->isHidden());
    QVERIFY(!m_lock->IconsVisible());
    m_lock->SetIconsVisible(true);
    QVERIFY(!m_start->isHidden());
    QVERIFY(!m_stop->isHidden());
}

void LockOutTest::picturesTellTheStatesApart() {
    const QImage locked = LockOut::LockedPicture().toImage();
    const QImage armed = LockOut::ArmedPicture().toImage();
    QCOMPARE(locked.size(), QSize(32, 32));
    QCOMPARE(armed.size(), QSize(32, 32));
    QVERIFY(locked != armed);
    QCOMPARE(m_start->pixmap().toImage(), locked);
    m_lock->LockLSstart1Click();
    QCOMPARE(m_start->pixmap().toImage(), armed);
    QCOMPARE(m_start->Tag(), 1);
}

void LockOutTest::intervalsFromSettings_data() {
    QTest::addColumn<int>("waitStart");
    QTest::addColumn<int>("waitFinish");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("finish");
    QTest::newRow("stored") << 2500 << 350 << 2500 << 350;
    QTest::newRow("zero keeps defaults") << 0 << 0 << 4000 << 200;
    QTest::newRow("negative keeps defaults") << -1 << -5 << 4000 << 200;
}

void LockOutTest::intervalsFromSettings() {
    QFETCH(int, waitStart);
    QFETCH(int, waitFinish);
    QFETCH(int, start);
    QFETCH(int, finish);
    m_lock.reset();
    m_settings.WaitStart = waitStart;
    m_settings.WaitFinish = waitFinish;
    m_lock = Make();
    QCOMPARE(m_lock->StartInterval(), start);
    QCOMPARE(m_lock->FinishInterval(), finish);
    QVERIFY(m_lock->StartLockTimer()->isSingleShot());
    QVERIFY(m_lock->FinishLockTimer()->isSingleShot());
    // What the settings store saves at program end.
    QCOMPARE(m_settings.WaitStart, start);
    QCOMPARE(m_settings.WaitFinish, finish);
    m_lock->SetStartInterval(7000);
    QCOMPARE(m_settings.WaitStart, 7000);
}

void LockOutTest::secondImpulseDuringLockOutIsIgnored() {
    m_lock->SetIconsVisible(true);
    m_lock->LockLSstart1Click();
    QVERIFY(m_lock->StartArmed());

    QVERIFY(StartImpulse());
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(m_lock->StartLockRunning());
    QCOMPARE(m_lock->StartLockTimer()->interval(), 4000);
    QVERIFY(!StartImpulse()); // one second later, still locked
    QCOMPARE(m_starts, 1);

    // The lock-out runs out 4 s after the first impulse and arms the contact.
    m_lock->TimerGesperrtStartTimer();
    QVERIFY(m_lock->StartArmed());
    QVERIFY(!m_lock->StartLockRunning());
    QVERIFY(StartImpulse());
    QCOMPARE(m_starts, 2);
}

void LockOutTest::startByKeyDoesNotRestartLockOut() {
    m_lock->SetIconsVisible(true);
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    QTest::qWait(150);
    const int remaining = m_lock->StartLockTimer()->remainingTime();
    QVERIFY(remaining <= 3900);
    m_lock->LockStartContact(); // START by F5
    QVERIFY(m_lock->StartLockRunning());
    QVERIFY(m_lock->StartLockTimer()->remainingTime() <= remaining);
    QVERIFY(!m_lock->StartArmed());
}

void LockOutTest::f11DuringLockOutArmsAtOnce() {
    m_lock->SetIconsVisible(true);
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    m_lock->LockLSstart1Click();
    QVERIFY(m_lock->StartArmed());
    QVERIFY(!m_lock->StartLockRunning());
    QVERIFY(StartImpulse());
    QCOMPARE(m_starts, 2);
}

void LockOutTest::f11DuringLockOutLocksWhenArmed() {
    m_lock->SetIconsVisible(true);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    // A click on the icon arms the contact while the lock-out still runs.
    QTest::mouseClick(m_start, Qt::LeftButton);
    QVERIFY(m_lock->StartArmed());
    QVERIFY(m_lock->StartLockRunning());
    m_lock->LockLSstart1Click();
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(!m_lock->StartLockRunning());
}

void LockOutTest::startContactStaysLockedWhileStartUnavailable() {
    m_lock->SetIconsVisible(true);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    m_state.startClosed = true; // mass start is running
    m_lock->TimerGesperrtStartTimer();
    QVERIFY(!m_lock->StartArmed());
    QTest::mouseClick(m_start, Qt::LeftButton);
    QVERIFY(!m_lock->StartArmed());
    m_lock->LockLSstart1Click();
    QVERIFY(!m_lock->StartArmed());
    m_lock->ArmFinishContact();
    QVERIFY(m_lock->FinishArmed()); // the finish contact is not affected

    // An armed start contact can still be locked by hand.
    m_state.startClosed = false;
    m_lock->LockLSstart1Click();
    m_state.startClosed = true;
    QTest::mouseClick(m_start, Qt::LeftButton);
    QVERIFY(!m_lock->StartArmed());
}

void LockOutTest::finishLockOutOnlyWhileClockRuns() {
    m_lock->SetIconsVisible(true);
    m_state.runStart.reset();
    m_lock->LockLSstop1Click();
    m_lock->LockFinishContact();
    QVERIFY(!m_lock->FinishArmed());
    QVERIFY(!m_lock->FinishLockRunning()); // after ENDE it stays locked

    m_state.runStart = Tick(0);
    m_lock->LockLSstop1Click();
    m_lock->LockFinishContact();
    QVERIFY(!m_lock->FinishArmed());
    QVERIFY(m_lock->FinishLockRunning());
    QCOMPARE(m_lock->FinishLockTimer()->interval(), 200);
    m_lock->TimerGesperrtStopTimer();
    QVERIFY(m_lock->FinishArmed());

    // F12 during the lock-out cancels it.
    m_lock->LockFinishContact();
    m_lock->LockLSstop1Click();
    QVERIFY(m_lock->FinishArmed());
    QVERIFY(!m_lock->FinishLockRunning());
}

void LockOutTest::zeroLockOutLeavesContactLocked() {
    m_lock->SetIconsVisible(true);
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    m_lock->SetStartInterval(0); // a running lock-out ends without arming
    QVERIFY(!m_lock->StartLockRunning());
    QTest::qWait(20);
    QVERIFY(!m_lock->StartArmed());
    m_lock->LockLSstart1Click();
    QVERIFY(StartImpulse());
    QVERIFY(!m_lock->StartLockRunning());
    QTest::qWait(20);
    QVERIFY(!m_lock->StartArmed());
    QVERIFY(!StartImpulse());
}

void LockOutTest::hiddenIconsIgnoreLocksButNotKeys() {
    m_lock->LockLSstart1Click();
    m_lock->LockLSstop1Click();
    QVERIFY(m_lock->StartArmed());
    QVERIFY(m_lock->FinishArmed());
    m_lock->LockStartContact();
    m_lock->LockFinishContact();
    QVERIFY(m_lock->StartArmed());
    QVERIFY(m_lock->FinishArmed());
    QVERIFY(!m_lock->StartLockRunning());
    QVERIFY(!m_lock->FinishLockRunning());
    m_lock->LockLSstop1Click();
    QVERIFY(!m_lock->FinishArmed());
}

QTEST_MAIN(LockOutTest)
#include "tst_LockOut.moc"
