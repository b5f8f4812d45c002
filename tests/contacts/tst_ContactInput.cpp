#include "core/contacts/ComErrors.h"
#include "core/contacts/ContactInput.h"
#include "core/contacts/PortProbe.h"
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
struct RunModel : ContactGate {
    bool startArmed = true;
    bool finishArmed = true;
    bool startLock = false;
    bool finishLock = false;
    bool icons = false;
    bool lockOnClick = true; // false: every impulse reaches the run control
    QStringList clicks;      // "S<tick>" and "F<tick>" in order
    QStringList messages;    // message boxes
    QString status;          // the contacts' status field
    bool statusAlarm = false;
    QStringList statusTexts;
    int alarms = 0;

    bool StartContactOpen() const override { return !startLock && startArmed; }
    bool FinishContactOpen() const override { return !finishLock && finishArmed; }

    void Follow(ContactInput& input) {
        QObject::connect(&input, &ContactInput::StartImpulse, [this](const Moment& m) {
            clicks << QStringLiteral("S%1").arg(m.tick);
            startArmed = !lockOnClick;
            startLock = lockOnClick;
        });
        QObject::connect(&input, &ContactInput::FinishImpulse, [this](const Moment& m) {
            clicks << QStringLiteral("F%1").arg(m.tick);
            finishArmed = !lockOnClick;
            finishLock = lockOnClick;
        });
        QObject::connect(&input, &ContactInput::IconsShown, [this](bool on) { icons = on; });
        QObject::connect(&input, &ContactInput::StatusChanged, [this](const QString& m, bool alarm) {
            status = m;
            statusAlarm = alarm;
            statusTexts << m;
        });
        QObject::connect(&input, &ContactInput::AlarmWanted, [this] { ++alarms; });
        QObject::connect(&input, &ContactInput::MessageWanted, [this](const QString& m) { messages << m; });
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
    void adapterWithoutNumberByStableName();
    void releaseWithBounceNeverFires_data();
    void releaseWithBounceNeverFires();
    void pressWithBounceFiresOnceAtFirstEdge();
    void pressRightAfterBouncedRelease_data();
    void pressRightAfterBouncedRelease();
    void debounceChangeReachesTheOpenPort();
    void pulseWidthAgainstDebounce_data();
    void pulseWidthAgainstDebounce();
    void settleInRealTime_data();
    void settleInRealTime();
    void cdcAcmIgnoresCts();
    void uartRingFiresOnTrailingEdge();
    void countersThatNeverMoveFallBackToPolling();
    void freshCountersProveThemselves();
    void missingPortAtStartIsReportedAndAwaited();
    void permissionDeniedAtStartNamesTheCommand();
    void unplugMidRaceAlarmsAndReconnects();
    void closeDuringSlowDriverCallReturns();
    void driverRules_data();
    void driverRules();
    void unplugWhilePollingIsNoticed_data();
    void unplugWhilePollingIsNoticed();
    void edgeInTheWaitsRearmWindow_data();
    void edgeInTheWaitsRearmWindow();
    void eachLineTimedFromItsOwnActivity();

private:
    // Scripts a line change after the watcher waits again, and lets the GUI thread run the events.
    void Lines(int bits, Tick tick, const QString& path = FakeSerialDevices::kDefaultPath);
    void Settle(int clicks);

    std::unique_ptr<FakeSerialDevices> m_devices;
    std::unique_ptr<RunModel> m_run;
    std::unique_ptr<ContactInput> m_input;
};

void ContactInputTest::init() {
    m_devices = std::make_unique<FakeSerialDevices>();
    m_run = std::make_unique<RunModel>();
    m_input = std::make_unique<ContactInput>(*m_devices, m_devices->clock(), *m_run);
    m_run->Follow(*m_input);
}

void ContactInputTest::cleanup() {
    m_input.reset();
    QCOMPARE(m_devices->OpenDescriptors(), 0);
    m_run.reset();
    m_devices.reset();
}

void ContactInputTest::Lines(int bits, Tick tick, const QString& path) {
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->SetLines(bits, tick, path);
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
    QVERIFY(m_run->messages.isEmpty());
    QCOMPARE(m_run->status, QString());
    QVERIFY(m_input->AwaitedDevice().isEmpty());
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
    m_devices->Pulse(TIOCM_CD, 600); // a held contact dipping off and on again is bounce, no impulse
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"F400", "S500"}));
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
    QCOMPARE(m_run->status, QString("Lichtschranke getrennt"));
    QVERIFY(m_run->statusAlarm);
    QCOMPARE(m_run->alarms, 1);
    QVERIFY(m_run->messages.isEmpty()); // no box in the middle of a race
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
                             "dialout sein: sudo usermod -aG dialout $USER eingeben, danach ab- und wieder anmelden.";
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

void ContactInputTest::adapterWithoutNumberByStableName() {
    const QString link = "/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0";
    m_devices->AddDevice("/dev/ttyUSB20");
    m_devices->AddLink(link, "/dev/ttyUSB20");
    QCOMPARE(m_input->ApplySettings(kCom17, QString(), 0, link, 0), QString());
    QCOMPARE(m_run->status, QString("Lichtschranke Silicon Labs CP2102 0001"));
    QCOMPARE(m_input->ComPort().DeviceName(), link);
    QCOMPARE(m_input->PortLabel(), QString("Silicon Labs CP2102 0001")); // what the journal names
    QCOMPARE(m_input->ApplySettings(0, link, 0, link, 1), QString());    // the same choice: kept open
    QCOMPARE(m_devices->Opens(), 1);
    QCOMPARE(m_input->ComPort().Tag(), 1);
    Lines(TIOCM_CD, 100, "/dev/ttyUSB20");
    Settle(1);
    // Another choice of the same number by its stable name reopens.
    m_devices->AddLink("/dev/serial/by-id/usb-FTDI-if00-port0", FakeSerialDevices::kDefaultPath);
    QCOMPARE(m_input->ApplySettings(0, link, kCom17, "/dev/serial/by-id/usb-FTDI-if00-port0", 0), QString());
    QCOMPARE(m_devices->Opens(), 2);
    QCOMPARE(m_run->status, QString("Lichtschranke COM17"));
    // A chosen adapter that is not there is named in the status field.
    QCOMPARE(m_input->ApplySettings(kCom17, "/dev/serial/by-id/usb-FTDI-if00-port0", 0,
                                    "/dev/serial/by-id/usb-Gone_Adapter-if00-port0", 0),
             "Unable to open com port: No such file or directory");
    QCOMPARE(m_devices->Opens(), 2);
    QCOMPARE(m_run->status, QString("Lichtschranke Gone Adapter nicht geöffnet"));
    QVERIFY(m_run->statusAlarm);
}

void ContactInputTest::releaseWithBounceNeverFires_data() {
    QTest::addColumn<int>("debounce");
    QTest::addColumn<int>("edges");
    QTest::addColumn<bool>("fast"); // all edges before the watcher looks; otherwise one per look
    // Without a quiet time every level a look sees counts, so there the bounce
    // is one the watcher sees only through the counters.
    QTest::newRow("debounce 0, 3 fast edges") << 0 << 3 << true;
    QTest::newRow("debounce 2, 3 fast edges") << 2 << 3 << true;
    QTest::newRow("debounce 2, 3 edges") << 2 << 3 << false;
    QTest::newRow("debounce 2, 7 edges") << 2 << 7 << false;
}

void ContactInputTest::releaseWithBounceNeverFires() {
    QFETCH(int, debounce);
    QFETCH(int, edges);
    QFETCH(bool, fast);
    m_input->SetDebounce(debounce);
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CTS, 100); // push-button held ...
    Settle(1);
    m_run->ExpireLockOuts(); // ... longer than the finish lock-out
    QVERIFY(m_devices->WaitForWaiter());
    if (fast) {
        for (int i = 0; i + 1 < edges; i += 2)
            m_devices->Pulse(TIOCM_CTS, 900); // off and on again
        m_devices->SetLines(0, 900);
    } else {
        QList<Tick> ticks;
        for (int i = 0; i < edges; ++i)
            ticks << Tick(900 + i);
        m_devices->Bounce(TIOCM_CTS, ticks); // released, bouncing
    }
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"F100"});
}

void ContactInputTest::pressWithBounceFiresOnceAtFirstEdge() {
    m_run->lockOnClick = false; // a second FINISH would get through
    m_input->SetDebounce(2);
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CTS, {300, 301, 302, 303, 304}); // ends on
    Settle(1);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CTS, {400, 401, 402, 403, 404}); // ends off
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"F300"});
}

void ContactInputTest::pressRightAfterBouncedRelease_data() {
    QTest::addColumn<QList<Tick>>("ticks"); // CTS toggles, one per look of the watcher, from held on
    QTest::addColumn<QStringList>("clicks");
    // The watcher looks on through the release's bounce and finds the next press
    // before it has seen a quiet time: the off phase between them lasted 8 ms.
    QTest::newRow("bounced release, bounced press")
        << QList<Tick>{900, 901, 902, 910, 911, 912} << QStringList{"F100", "F910"};
    QTest::newRow("bounced release, clean press") << QList<Tick>{900, 901, 902, 910} << QStringList{"F100", "F910"};
    QTest::newRow("clean release, bounced press") << QList<Tick>{900, 906, 907, 908} << QStringList{"F100", "F906"};
    QTest::newRow("dip of 5 ms while held") << QList<Tick>{900, 905} << QStringList{"F100", "F905"};
    QTest::newRow("dip of 1 ms while held: noise") << QList<Tick>{900, 901} << QStringList{"F100"};
    QTest::newRow("slow release bounce") << QList<Tick>{900, 901, 902, 903, 904, 905, 906} << QStringList{"F100"};
}

void ContactInputTest::pressRightAfterBouncedRelease() {
    QFETCH(QList<Tick>, ticks);
    QFETCH(QStringList, clicks);
    m_input->SetDebounce(2);
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CTS, 100); // held
    Settle(1);
    m_run->ExpireLockOuts();
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CTS, ticks);
    Settle(int(clicks.size()));
    QCOMPARE(m_run->clicks, clicks);
}

void ContactInputTest::debounceChangeReachesTheOpenPort() {
    m_run->lockOnClick = false;
    m_input->SetDebounce(0);
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CD, {500, 501}); // 1 ms: a pulse without a quiet time
    Settle(1);
    m_input->SetDebounce(5);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CD, {600, 603}); // 3 ms: noise now
    Settle(1);
    Lines(TIOCM_CD, 700); // held across the next change: neither lost nor doubled
    Settle(2);
    m_input->SetDebounce(2);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CD, {800, 803}); // released 3 ms, pressed again
    Settle(3);
    QCOMPARE(m_run->clicks, (QStringList{"S500", "S700", "S803"}));
    QCOMPARE(m_devices->Opens(), 1); // the watcher went on: no impulse fell into a reopening
}

void ContactInputTest::pulseWidthAgainstDebounce_data() {
    QTest::addColumn<int>("debounce");
    QTest::addColumn<QList<Tick>>("ticks"); // on, off
    QTest::addColumn<QStringList>("clicks");
    QTest::newRow("1 ms pulse, debounce 2: noise") << 2 << QList<Tick>{500, 501} << QStringList();
    QTest::newRow("3 ms pulse, debounce 2") << 2 << QList<Tick>{500, 503} << QStringList{"S500"};
    QTest::newRow("1 ms pulse, debounce 0") << 0 << QList<Tick>{500, 501} << QStringList{"S500"};
    QTest::newRow("10 ms pulse, debounce 10") << 10 << QList<Tick>{500, 510} << QStringList{"S500"};
}

void ContactInputTest::pulseWidthAgainstDebounce() {
    QFETCH(int, debounce);
    QFETCH(QList<Tick>, ticks);
    QFETCH(QStringList, clicks);
    m_input->SetDebounce(debounce);
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Bounce(TIOCM_CD, ticks);
    Settle(int(clicks.size()));
    // A spike that only the counters saw is noise as soon as there is a quiet time.
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CTS, 700);
    if (debounce == 0)
        clicks << "F700";
    Settle(int(clicks.size()));
    QCOMPARE(m_run->clicks, clicks);
}

void ContactInputTest::settleInRealTime_data() {
    QTest::addColumn<bool>("held");            // the finish contact rests on before the first edge
    QTest::addColumn<QList<qint64>>("edges");  // CTS toggles, microseconds after 1000 ms
    QTest::addColumn<QList<qint64>>("stalls"); // from, to: the watcher is held up
    QTest::addColumn<QStringList>("clicks");
    // The watcher looks every 250 us. The look that wakes it comes with the edge,
    // the one that finds the end of a pulse up to 250 us after it: a pulse is
    // measured from its first look to its last.
    QTest::newRow("pulse of 1.9 ms: noise") << false << QList<qint64>{0, 1900} << QList<qint64>() << QStringList();
    QTest::newRow("pulse of 2.5 ms") << false << QList<qint64>{0, 2500} << QList<qint64>() << QStringList{"F1000"};
    QTest::newRow("spike, then 1.9 ms on: noise")
        << false << QList<qint64>{0, 200, 400, 2300} << QList<qint64>() << QStringList();
    QTest::newRow("release off for 1.9 ms, then held again")
        << true << QList<qint64>{0, 1900, 4500} << QList<qint64>() << QStringList{"F100"};
    QTest::newRow("held up through the rest before a press")
        << true << QList<qint64>{0, 2600} << QList<qint64>{250, 2900} << QStringList{"F100", "F1002"};
    // The look after the hold-up finds the release's last bounce over: the rest
    // goes on, and the press that follows carries the time of its own first look.
    QTest::newRow("held up at the end of a release bounce")
        << true << QList<qint64>{0, 300, 600, 1000, 1300, 1600, 1900, 5000} << QList<qint64>{800, 3300}
        << QStringList{"F100", "F1005"};
    // Held up longer there, the watcher takes that bounce's last phase for the
    // rest: the press still begins with the look that finds it.
    QTest::newRow("held up long at the end of a release bounce")
        << true << QList<qint64>{0, 300, 600, 1000, 1300, 1600, 1900, 5500} << QList<qint64>{800, 4800}
        << QStringList{"F100", "F1005"};
    // Seen held for 1.5 ms, then held up while the release bounced: the press
    // most likely lasted the quiet time.
    QTest::newRow("held up just before the press settled")
        << false << QList<qint64>{0, 300, 600, 4000, 4300, 4600} << QList<qint64>{2400, 5000} << QStringList{"F1000"};
    // Woken by a 5 ms pulse and held up until it was over: only the counters
    // show it, and the gap since the last look says it may have lasted the quiet time.
    QTest::newRow("5 ms pulse over before the look")
        << false << QList<qint64>{3000, 8000} << QList<qint64>{3000, 9000} << QStringList{"F1009"};
    QTest::newRow("0.5 ms pulse over before a look 1.5 ms late: noise")
        << false << QList<qint64>{3000, 3500} << QList<qint64>{3000, 4500} << QStringList();
    // The press's last edge came while the watcher was held up: seen held for
    // 0.5 ms only, it may have lasted since early in the gap.
    QTest::newRow("held up through the press's last bounce")
        << false << QList<qint64>{0, 300, 600, 3800} << QList<qint64>{450, 3300} << QStringList{"F1000"};
    // One gap gives the benefit of the doubt to one phase: a spike and the
    // press after it are one impulse.
    QTest::newRow("held up between a spike and the press")
        << false << QList<qint64>{0, 750, 3700, 8000} << QList<qint64>{100, 3600} << QStringList{"F1000"};
    // Noise that died down in the gap: the press after it carries its own time.
    QTest::newRow("held up between noise and the press")
        << false << QList<qint64>{0, 700, 5000, 9000} << QList<qint64>{800, 5500} << QStringList{"F1005"};
}

void ContactInputTest::settleInRealTime() {
    QFETCH(bool, held);
    QFETCH(QList<qint64>, edges);
    QFETCH(QList<qint64>, stalls);
    QFETCH(QStringList, clicks);
    m_run->lockOnClick = false; // a second FINISH would get through
    m_input->SetDebounce(2);
    m_input->OpenPort(kCom17, 0);
    if (held) {
        Lines(TIOCM_CTS, 100);
        Settle(1);
    }
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Timeline(TIOCM_CTS, 1000, edges, 250, stalls);
    Settle(int(clicks.size()));
    QCOMPARE(m_run->clicks, clicks);
}

void ContactInputTest::cdcAcmIgnoresCts() {
    constexpr int kCom33 = 33;
    m_devices->AddDevice("/dev/ttyACM0");
    m_input->OpenPort(kCom33, 0);
    QCOMPARE(m_input->ComPort().WatchedLines(), kStatusDcd | kStatusDsr | kStatusRi);
    m_devices->SetTick(50);
    Lines(TIOCM_CD, 100, "/dev/ttyACM0"); // the driver reads CTS on all along
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(0, 200, "/dev/ttyACM0"); // releasing the start contact leaves only the phantom CTS on
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(TIOCM_RNG, 300, "/dev/ttyACM0");
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"S100", "F300"}));
}

void ContactInputTest::uartRingFiresOnTrailingEdge() {
    constexpr int kCom1 = 1;
    m_devices->AddDevice("/dev/ttyS0", "4");
    m_input->OpenPort(kCom1, 0);
    Lines(TIOCM_RNG, 100, "/dev/ttyS0"); // contact on pins 7+9 closes: the 16550 does not count it
    Settle(0);
    Lines(0, 250, "/dev/ttyS0"); // opens: the counted trailing edge is the impulse
    Settle(1);
    m_run->ExpireLockOuts();
    Lines(TIOCM_RNG, 300, "/dev/ttyS0");
    Lines(TIOCM_RNG | TIOCM_CD, 350, "/dev/ttyS0"); // a start while RI is held: its level is no FINISH
    Settle(2);
    Lines(TIOCM_CD, 400, "/dev/ttyS0");
    Settle(3);
    QCOMPARE(m_run->clicks, (QStringList{"F250", "S350", "F400"}));
}

void ContactInputTest::countersThatNeverMoveFallBackToPolling() {
    m_devices->SetDriver(FakeSerialDevices::kDefaultPath, FakeSerialDevices::Driver::Cp210x);
    m_input->OpenPort(kCom17, 0);
    QCOMPARE(m_run->status, QString("Lichtschranke COM17"));
    Lines(TIOCM_CD, 100);
    Settle(1);
    QTRY_COMPARE(m_run->status, QString("Lichtschranke COM17: Abfrage alle 1 ms"));
    m_run->ExpireLockOuts();
    Lines(0, 150);
    Lines(TIOCM_CTS, 200);
    Settle(2);
    QCOMPARE(m_run->clicks.at(1).at(0), QChar('F'));
    QCOMPARE(m_run->statusTexts.count("Lichtschranke COM17: Abfrage alle 1 ms"), 1);
}

void ContactInputTest::freshCountersProveThemselves() {
    m_devices->FreshCounters = true;
    m_devices->AddDevice(FakeSerialDevices::kDefaultPath);
    m_input->OpenPort(kCom17, 0);
    Lines(TIOCM_CD, 100);
    Settle(1);
    // Counting: from now on the watcher waits, and a pulse the status never showed counts.
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Pulse(TIOCM_CTS, 200);
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"S100", "F200"}));
    // Until then every wake compared the status too, and the field said so.
    QCOMPARE(m_run->statusTexts,
             (QStringList{"Lichtschranke COM17", "Lichtschranke COM17: Abfrage alle 1 ms", "Lichtschranke COM17"}));
}

void ContactInputTest::missingPortAtStartIsReportedAndAwaited() {
    m_devices->Unplug();
    QVERIFY(!m_input->OpenPortAtStart(kCom17, 1));
    QCOMPARE(m_run->messages, QStringList{"Unable to open com port: No such file or directory"});
    QCOMPARE(m_run->status, QString("Lichtschranke COM17 nicht geöffnet"));
    QVERIFY(m_run->statusAlarm);
    QCOMPARE(m_input->AwaitedDevice(), FakeSerialDevices::kDefaultPath);
    m_devices->AddDevice(FakeSerialDevices::kDefaultPath); // plugged in after the start
    QTRY_VERIFY_WITH_TIMEOUT(m_input->ComPort().Connected(), 5000);
    QCOMPARE(m_run->status, QString("Lichtschranke wieder verbunden"));
    QVERIFY(!m_run->statusAlarm);
    QCOMPARE(m_input->ComPort().Tag(), 1);
    QCOMPARE(m_run->messages.size(), 1);
}

void ContactInputTest::permissionDeniedAtStartNamesTheCommand() {
    m_devices->Fail("open", EACCES);
    QVERIFY(!m_input->OpenPortAtStart(kCom17, 0));
    QCOMPARE(m_run->messages.size(), 1);
    QVERIFY(m_run->messages.at(0).contains("sudo usermod -aG dialout $USER"));
    QVERIFY(m_run->statusAlarm);
    QVERIFY(m_input->AwaitedDevice().isEmpty()); // the device is there; waiting would not help
}

void ContactInputTest::unplugMidRaceAlarmsAndReconnects() {
    const QString link = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    m_devices->AddLink(link, FakeSerialDevices::kDefaultPath);
    m_input->SetDebounce(2);
    m_input->OpenPort(kCom17, 1);
    QCOMPARE(m_input->ComPort().StableName(), link);
    Lines(TIOCM_CD, 100);
    Settle(1);
    m_devices->Unplug();
    QTRY_COMPARE(m_run->status, QString("Lichtschranke getrennt"));
    QVERIFY(m_run->statusAlarm);
    QCOMPARE(m_run->alarms, 1);
    QCOMPARE(m_input->AwaitedDevice(), link);
    // Back, under another number.
    m_devices->AddDevice("/dev/ttyUSB1");
    m_devices->AddLink(link, "/dev/ttyUSB1");
    QTRY_VERIFY_WITH_TIMEOUT(m_input->ComPort().Connected(), 5000);
    QCOMPARE(m_run->status, QString("Lichtschranke wieder verbunden"));
    QVERIFY(!m_run->statusAlarm);
    QVERIFY(m_run->icons);
    QCOMPARE(m_input->ComPort().Tag(), 1);
    QCOMPARE(m_input->ComPort().Debounce(), 2);
    m_run->ExpireLockOuts();
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->SetLines(TIOCM_CTS, 300, "/dev/ttyUSB1");
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"S100", "F300"}));
}

void ContactInputTest::closeDuringSlowDriverCallReturns() {
    m_input->OpenPort(kCom17, 0);
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->StallStatusReads(true);
    m_devices->SetLines(TIOCM_CD, 100);
    QVERIFY(m_devices->WaitForStalledRead()); // the watcher is inside the status query
    m_input->ClosePort();
    // Closing came back while the call still runs; its descriptor stays open until it ends.
    QCOMPARE(m_devices->StalledReads(), 1);
    QVERIFY(!m_input->ComPort().Connected());
    QVERIFY(!m_run->icons);
    QCOMPARE(m_devices->OpenDescriptors(), 1);
    m_devices->StallStatusReads(false);
    QTRY_COMPARE(m_devices->OpenDescriptors(), 0);
    QCoreApplication::processEvents();
    QVERIFY(m_run->clicks.isEmpty()); // what the stuck call read belongs to a closed port
}

void ContactInputTest::driverRules_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("alg");
    QTest::addColumn<int>("debounce");
    QTest::addColumn<QList<QList<int>>>("steps"); // tick, lines, toggles (0: set the lines; n: bounce n times)
    QTest::addColumn<QStringList>("clicks");
    const QString uart = "/dev/ttyS0";
    // With CLOCAL the 16550 counts nothing until a wait switches its modem-status interrupt on.
    QTest::newRow("16550: finishes on 7+9 from the first")
        << uart << 0 << 0 << QList<QList<int>>{{100, TIOCM_RNG, 0}, {400, 0, 0},          {600, TIOCM_CD, 0},
                                               {700, 0, 0},         {1000, TIOCM_RNG, 0}, {1300, 0, 0}}
        << QStringList{"F400", "S600", "F1300"};
    QTest::newRow("16550, Aus: all four on is rest, breaking RI fires the others")
        << uart << 1 << 0 << QList<QList<int>>{{100, ALL, 0}, {200, ALL & ~TIOCM_RNG, 0}, {300, ALL, 0}}
        << QStringList{"S200", "S200", "F200"};
    QTest::newRow("16550, Aus: a broken beam on CTS fires at the break")
        << uart << 1 << 0 << QList<QList<int>>{{100, ALL, 0}, {200, ALL & ~TIOCM_CTS, 0}, {300, ALL, 0}}
        << QStringList{"S200", "S200", "F200"};
    QTest::newRow("16550, debounce 2: a bounced press and release on RI finish once")
        << uart << 0 << 2 << QList<QList<int>>{{300, TIOCM_RNG, 5}, {400, TIOCM_RNG, 3}} << QStringList{"F400"};
    QTest::newRow("16550, debounce 2: a clean pulse on RI")
        << uart << 0 << 2 << QList<QList<int>>{{300, TIOCM_RNG, 0}, {320, 0, 0}} << QStringList{"F320"};
}

void ContactInputTest::driverRules() {
    QFETCH(QString, path);
    QFETCH(int, alg);
    QFETCH(int, debounce);
    QFETCH(QList<QList<int>>, steps);
    QFETCH(QStringList, clicks);
    m_run->lockOnClick = false; // every impulse reaches the run control
    m_devices->AddDevice(path, "4");
    m_input->SetDebounce(debounce);
    m_input->OpenPort(PortNumberOfDevice(path), alg);
    for (const QList<int>& step : steps) {
        if (step[2] == 0) {
            Lines(step[1], Tick(step[0]), path);
            continue;
        }
        QList<Tick> ticks;
        for (int i = 0; i < step[2]; ++i)
            ticks << Tick(step[0] + i);
        // The bounce before has settled: the watcher is back in its wait.
        QVERIFY(m_devices->WaitForBlockedWait(path));
        m_devices->Bounce(step[1], ticks, path);
    }
    Settle(int(clicks.size()));
    QCOMPARE(m_run->clicks, clicks);
}

void ContactInputTest::unplugWhilePollingIsNoticed_data() {
    QTest::addColumn<int>("driver");
    QTest::addColumn<bool>("canWait");
    QTest::newRow("pl2303, no counters") << int(FakeSerialDevices::Driver::Pl2303) << true;
    QTest::newRow("cp210x, counters that never move") << int(FakeSerialDevices::Driver::Cp210x) << true;
    QTest::newRow("FTDI refusing the wait") << int(FakeSerialDevices::Driver::Ftdi) << false;
}

void ContactInputTest::unplugWhilePollingIsNoticed() {
    QFETCH(int, driver);
    QFETCH(bool, canWait);
    const QString link = "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0";
    m_devices->FreshCounters = true;
    m_devices->CanWait = canWait;
    m_devices->AddDevice(FakeSerialDevices::kDefaultPath);
    m_devices->SetDriver(FakeSerialDevices::kDefaultPath, FakeSerialDevices::Driver(driver));
    m_devices->AddLink(link, FakeSerialDevices::kDefaultPath);
    m_input->OpenPort(kCom17, 0);
    // Said from the start, not only after the first change.
    QTRY_COMPARE(m_run->status, QString("Lichtschranke COM17: Abfrage alle 1 ms"));
    Lines(TIOCM_CD, 100);
    Settle(1);
    m_devices->Unplug();
    QTRY_VERIFY(!m_input->ComPort().Connected());
    QCOMPARE(m_run->status, QString("Lichtschranke getrennt"));
    QVERIFY(m_run->statusAlarm);
    QCOMPARE(m_run->alarms, 1);
    QCOMPARE(m_input->AwaitedDevice(), link);
    m_devices->AddDevice("/dev/ttyUSB1");
    m_devices->SetDriver("/dev/ttyUSB1", FakeSerialDevices::Driver(driver));
    m_devices->AddLink(link, "/dev/ttyUSB1");
    QTRY_VERIFY_WITH_TIMEOUT(m_input->ComPort().Connected(), 5000);
    QTRY_COMPARE(m_run->status, QString("Lichtschranke wieder verbunden: Abfrage alle 1 ms"));
    m_run->ExpireLockOuts();
    Lines(TIOCM_CTS, 300, "/dev/ttyUSB1");
    Settle(2);
    QCOMPARE(m_run->clicks, (QStringList{"S100", "F300"}));
}

void ContactInputTest::edgeInTheWaitsRearmWindow_data() {
    QTest::addColumn<int>("debounce");
    QTest::addColumn<bool>("held");   // CTS rests on before the edge in the window
    QTest::addColumn<Tick>("nextOn"); // a later press; 0: none
    QTest::addColumn<QStringList>("clicks");
    QTest::newRow("press, debounce 0") << 0 << false << Tick(0) << QStringList{"F300"};
    QTest::newRow("press, debounce 2") << 2 << false << Tick(0) << QStringList{"F300"};
    QTest::newRow("release, then the next press, debounce 0") << 0 << true << Tick(500) << QStringList{"F100", "F500"};
    QTest::newRow("release, then the next press, debounce 2") << 2 << true << Tick(500) << QStringList{"F100", "F500"};
}

void ContactInputTest::edgeInTheWaitsRearmWindow() {
    QFETCH(int, debounce);
    QFETCH(bool, held);
    QFETCH(Tick, nextOn);
    QFETCH(QStringList, clicks);
    m_run->lockOnClick = false;
    m_input->SetDebounce(debounce);
    m_input->OpenPort(kCom17, 0);
    if (held) {
        Lines(TIOCM_CTS, 100);
        Settle(1);
    }
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->ToggleBeforeNextWait(TIOCM_CTS, 300);
    if (nextOn != 0)
        Lines(TIOCM_CTS, nextOn);
    Settle(int(clicks.size()));
    QCOMPARE(m_run->clicks, clicks);
}

void ContactInputTest::eachLineTimedFromItsOwnActivity() {
    m_run->lockOnClick = false;
    m_input->SetDebounce(2);
    m_input->OpenPort(kCom17, 0);
    // CTS chatters from 100 to 175 ms and ends at rest; DCD is pressed at 160 and held.
    QList<FakeSerialDevices::TimedEdge> edges;
    for (int i = 0; i < 76; ++i)
        edges << FakeSerialDevices::TimedEdge{qint64(i) * 1000, TIOCM_CTS};
    edges.insert(60, FakeSerialDevices::TimedEdge{60000, TIOCM_CD});
    QVERIFY(m_devices->WaitForWaiter());
    m_devices->Timeline(100, edges, 250);
    Settle(1);
    QCOMPARE(m_run->clicks, QStringList{"S160"});
}

QTEST_GUILESS_MAIN(ContactInputTest)
#include "tst_ContactInput.moc"
