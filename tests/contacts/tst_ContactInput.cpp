#include "contacts/ComErrors.h"
#include "contacts/ContactInput.h"
#include "support/FakeSerialDevices.h"

#include <QtTest>

#include <cerrno>
#include <memory>
#include <sys/ioctl.h>

namespace {

constexpr int kCom17 = 17; // FakeSerialDevices::kDefaultPath
constexpr int ALL = TIOCM_CD | TIOCM_DSR | TIOCM_CTS | TIOCM_RNG;

// Stands in for the lock-out switches and the run control: START and FINISH
// lock their contact at once, as the real handlers do.
struct RunModel {
    bool startArmed = true;
    bool finishArmed = true;
    bool startLock = false;
    bool finishLock = false;
    bool icons = false;
    QStringList clicks; // "S<tick>" and "F<tick>" in order
    QStringList messages;

    ContactHooks Hooks() {
        ContactHooks h;
        h.startLockRunning = [this] { return startLock; };
        h.startArmed = [this] { return startArmed; };
        h.finishLockRunning = [this] { return finishLock; };
        h.finishArmed = [this] { return finishArmed; };
        h.clickStart = [this](const Moment& m) {
            clicks << QStringLiteral("S%1").arg(m.tick);
            startArmed = false;
            startLock = true;
        };
        h.clickStop = [this](const Moment& m) {
            clicks << QStringLiteral("F%1").arg(m.tick);
            finishArmed = false;
            finishLock = true;
        };
        h.showIcons = [this](bool on) { icons = on; };
        h.statusMessage = [this](const QString& m) { messages << m; };
        return h;
    }
    void ExpireLockOuts() {
        startArmed = finishArmed = true;
        startLock = finishLock = false;
    }
};

} // namespace

class ContactInputTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openShowsIconsAndConfiguresLine();
    void heldStartContactStartsOnce();
    void heldStartThenFinishAfterLockOut();
    void modeOneAllFourLines();
    void otherModesNeverClick_data();
    void otherModesNeverClick();
    void dcdAndDsrTogetherStartOnce();
    void lockOutAndSwitchGuardEachContact_data();
    void lockOutAndSwitchGuardEachContact();
    void noPortKeepsIconsHidden();
    void recordedTickIsCapturedTick();
    void shortPulseSeenThroughCounters();
    void withoutCountersStatusAlone();
    void pollsWhereDriverCannotWait();
    void unplugClosesAndTellsOperator();
    void closeDropsQueuedEvents();
    void failedOpenLeavesPortClosed_data();
    void failedOpenLeavesPortClosed();
    void settingsDialogReopensOnlyOnChange();

private:
    // Scripts a line change after the watcher waits again, and lets the GUI thread run the events.
    void Lines(int bits, Tick tick);
    void Settle(int clicks);

    std::unique_ptr<FakeSerialDevices> m_devices;
    std::unique_ptr<RunModel> m_run;
    std::unique_ptr<ContactInput> m_input;
};

void ContactInputTest::init() {
    m_devices = std::make_unique<FakeSerialDevices>();
    m_run = std::make_unique<RunModel>();
    m_input = std::make_unique<ContactInput>(*m_devices, m_devices->clock(), m_run->Hooks());
}

void ContactInputTest::cleanup() {
    m_input.reset();
    QCOMPARE(m_devices->OpenDescriptors(), 0);
    m_run.reset();
    m_devices.reset();
}

void ContactInputTest::Lines(int bits, Tick tick) {
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->SetLines(bits, tick);
}

void ContactInputTest::Settle(int clicks) {
    // A marker change on a line nobody uses would need its own port; instead
    // wait for the expected clicks, then let any stray events run too.
    QTRY_COMPARE(m_run->clicks.size(), clicks);
    QVERIFY(m_devices->WaitForWaiter());
    QCoreApplication::processEvents();
    QCOMPARE(m_run->clicks.size(), clicks);
}

void ContactInputTest::openShowsIconsAndConfiguresLine() {
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_input->ComPort().Connected());
    QVERIFY(m_run->icons);
    const termios attr = m_devices->LastAttr();
    QVERIFY(attr.c_cflag & CLOCAL); // a DCD drop must not hang the port up
    QVERIFY(!(attr.c_cflag & CRTSCTS));
    QCOMPARE(attr.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(attr.c_cflag & (PARENB | CSTOPB)));
    QCOMPARE(cfgetispeed(&attr), speed_t(B9600));
    QCOMPARE(m_devices->SetBits() & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
    QVERIFY(m_devices->Flushes() >= 1);
    QCOMPARE(m_devices->LowLatencyCalls(), 1);
    m_input->ClosePort();
    QVERIFY(!m_run->icons);
}

void ContactInputTest::heldStartContactStartsOnce() {
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CD, 100);
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(0, 200); // release: no line on
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"S100"});
}

void ContactInputTest::heldStartThenFinishAfterLockOut() {
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_DSR, 100);
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(TIOCM_DSR | TIOCM_CTS, 5000);
    Settle(3);
    QCOMPARE(m_run->clicks, (QStringList{"S100", "S5000", "F5000"}));
}

void ContactInputTest::modeOneAllFourLines() {
    m_input->OpenPort(kCom17, 1);
    Lines(ALL, 100);
    Settle(0);
    Lines(ALL & ~TIOCM_CD, 200); // DSR starts; CTS finishes; RI finds the finish contact locked
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"S200", "F200"}));
}

void ContactInputTest::otherModesNeverClick_data() {
    QTest::addColumn<int>("alg");
    QTest::newRow("2") << 2;
    QTest::newRow("-1") << -1;
    QTest::newRow("255") << 255;
}

void ContactInputTest::otherModesNeverClick() {
    QFETCH(int, alg);
    m_input->OpenPort(kCom17, alg);
    for (int bits : {TIOCM_CD, 0, TIOCM_CTS, ALL, TIOCM_RNG})
        Lines(bits, 100);
    m_devices->Pulse(TIOCM_CTS, 200);
    Settle(0);
    QVERIFY(m_input->ComPort().Connected());
}

void ContactInputTest::dcdAndDsrTogetherStartOnce() {
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CD | TIOCM_DSR, 300);
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"S300"});
}

void ContactInputTest::lockOutAndSwitchGuardEachContact_data() {
    QTest::addColumn<bool>("armed");
    QTest::addColumn<bool>("lockRunning");
    QTest::addColumn<bool>("clicks");
    QTest::newRow("armed, no lock-out") << true << false << true;
    QTest::newRow("armed, lock-out running") << true << true << false;
    QTest::newRow("switched off") << false << false << false;
}

void ContactInputTest::lockOutAndSwitchGuardEachContact() {
    QFETCH(bool, armed);
    QFETCH(bool, lockRunning);
    QFETCH(bool, clicks);
    m_run->startArmed = m_run->finishArmed = armed;
    m_run->startLock = m_run->finishLock = lockRunning;
    m_input->ComPort().SetTag(0);
    m_input->ComPortHard(ComEvent{10, kStatusDcd, 0});
    m_input->ComPortHard(ComEvent{20, kStatusRi, 0});
    QCOMPARE(m_run->clicks, clicks ? (QStringList{"S10", "F20"}) : QStringList());
}

void ContactInputTest::noPortKeepsIconsHidden() {
    QVERIFY(!m_input->OpenPortAtStart(0, 0));
    QVERIFY(!m_run->icons);
    QCOMPARE(m_devices->Opens(), 0);
    // A configured port that is missing at start is swallowed the same way.
    QVERIFY(!m_input->OpenPortAtStart(5, 0));
    QVERIFY(!m_run->icons);
    QVERIFY(m_run->messages.isEmpty());
}

void ContactInputTest::recordedTickIsCapturedTick() {
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CTS, 7000);
    QVERIFY(m_devices->WaitForWaiter()); // captured and posted; the GUI thread has not run yet
    m_devices->SetTick(7250);            // a ranking keeps the GUI thread busy meanwhile
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"F7000"});
}

void ContactInputTest::shortPulseSeenThroughCounters() {
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CTS, 400); // on and off before the status was read
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(TIOCM_CD, 500);
    Settle(2);
    m_run->ExpireLockOuts();
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CD, 600); // the held start contact opened and closed again unseen
    Settle(3);
    QCOMPARE(m_run->clicks, (QStringList{"F400", "S500", "S600"}));
}

void ContactInputTest::withoutCountersStatusAlone() {
    m_devices->HasCounters = false;
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CTS, 400); // a driver without counters cannot show this one
    Lines(TIOCM_CTS, 450);
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"F450"});
}

void ContactInputTest::pollsWhereDriverCannotWait() {
    m_devices->CanWait = false;
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_RNG, 800);
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(0, 810);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CD, 900); // counters still help while polling
    Settle(2);
    // A poll reads the tick just before the lines, so it may carry the previous script tick.
    QVERIFY(m_run->clicks.at(0).startsWith('F'));
    QVERIFY(m_run->clicks.at(1).startsWith('S'));
}

void ContactInputTest::unplugClosesAndTellsOperator() {
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Unplug();
    QTRY_VERIFY(!m_input->ComPort().Connected());
    QVERIFY(!m_run->icons);
    QCOMPARE(m_run->messages, QStringList{"Schnittstelle COM17 getrennt – Zeitnahme über Tastatur geht weiter"});
    QCOMPARE(m_devices->OpenDescriptors(), 0);
    QVERIFY_THROWS_EXCEPTION(EComHandle, m_input->OpenPort(kCom17, 0));
    // Plugged in again: confirming the settings with the same port reopens it.
    m_devices->AddDevice(FakeSerialDevices::kDefaultPath);
    QCOMPARE(m_input->ApplySettings(kCom17, kCom17, 0), QString());
    QVERIFY(m_input->ComPort().Connected());
    QVERIFY(m_run->icons);
}

void ContactInputTest::closeDropsQueuedEvents() {
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CD, 100);
    QVERIFY(m_devices->WaitForWaiter()); // posted, not yet delivered
    m_input->ClosePort();
    QVERIFY(m_devices->Interrupts() >= 1);
    QCoreApplication::processEvents();
    QVERIFY(m_run->clicks.isEmpty());
    m_input->OpenPort(kCom17, 0); // a new opening does not receive the old one's events either
    QCoreApplication::processEvents();
    QVERIFY(m_run->clicks.isEmpty());
}

void ContactInputTest::failedOpenLeavesPortClosed_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("handle"); // EComHandle, else EComState
    QTest::addColumn<QString>("text");
    QTest::newRow("open") << "open" << EACCES << true
                          << "Unable to open com port: Permission denied. Der Benutzer muss Mitglied der Gruppe "
                             "dialout sein (sudo usermod -aG dialout BENUTZER, danach neu anmelden).";
    QTest::newRow("lock held elsewhere") << "lockExclusive" << EWOULDBLOCK << true
                                         << "Unable to open com port: Device or resource busy";
    QTest::newRow("exclusive") << "setExclusive" << ENOTTY << false
                               << "Unable to set com state: Inappropriate ioctl for device";
    QTest::newRow("termios") << "setAttr" << EIO << false << "Unable to set com state: Input/output error";
    QTest::newRow("DTR") << "setModemBits" << EIO << false << "Unable to set com state: Input/output error";
    QTest::newRow("flush") << "flushInput" << EIO << false << "Unable to set com state: Input/output error";
    QTest::newRow("unknown error number") << "open" << 4242 << true << "Unable to open com port: Unknown error 4242";
}

void ContactInputTest::failedOpenLeavesPortClosed() {
    QFETCH(QString, call);
    QFETCH(int, error);
    QFETCH(bool, handle);
    QFETCH(QString, text);
    m_devices->Fail(call, error);
    try {
        m_input->OpenPort(kCom17, 0);
        QFAIL("opened");
    } catch (const EComHandle& e) {
        QVERIFY(handle);
        QCOMPARE(e.Text(), text);
    } catch (const EComState& e) {
        QVERIFY(!handle);
        QCOMPARE(e.Text(), text);
    }
    QVERIFY(!m_input->ComPort().Connected());
    QVERIFY(!m_run->icons);
    QCOMPARE(m_devices->OpenDescriptors(), 0);
    QCOMPARE(m_input->ApplySettings(0, kCom17, 0), text);
    m_devices->Fail(call, 0);
    QCOMPARE(m_input->ApplySettings(0, kCom17, 0), QString());
    QVERIFY(m_run->icons);
}

void ContactInputTest::settingsDialogReopensOnlyOnChange() {
    QVERIFY(m_input->OpenPortAtStart(kCom17, 0));
    QCOMPARE(m_input->ApplySettings(kCom17, kCom17, 1), QString());
    QCOMPARE(m_devices->Opens(), 1);
    QCOMPARE(m_input->ComPort().Tag(), 1); // the new contact logic applies without reopening
    QCOMPARE(m_input->ApplySettings(kCom17, 0, 1), QString());
    QVERIFY(!m_input->ComPort().Connected());
    QVERIFY(!m_run->icons);
    QCOMPARE(m_input->ApplySettings(0, 18, 0), "Unable to open com port: No such file or directory");
    QVERIFY(!m_run->icons);
}

QTEST_GUILESS_MAIN(ContactInputTest)
#include "tst_ContactInput.moc"
