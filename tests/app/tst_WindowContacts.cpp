#include "app/TFormMain.h"
#include "core/contacts/ContactInput.h"
#include "support/FakePlatform.h"
#include "support/FakeSerialDevices.h"
#include "support/FindControl.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/platform/LogindSleepInhibitor.h"

#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cerrno>
#include <memory>
#include <sys/ioctl.h>

namespace {

// The real main window on the fake platform with a scripted serial adapter.
struct ContactWindow {
    QTemporaryDir dir;
    FakeSerialDevices devices;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<TFormMain> form;

    explicit ContactWindow(int port = 17, bool sleepAvailable = true) {
        const QString folder = dir.path() + QLatin1Char('/');
        fake = std::make_unique<FakePlatform>(folder, folder);
        fake->platform.serial = &devices;
        fake->sleep.Available = sleepAvailable;
        TSettings settings;
        settings.Port = port;
        form = std::make_unique<TFormMain>(fake->platform, settings);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void Key(Qt::Key key) { QTest::keyClick(form.get(), key); }
    void Ende() {
        fake->prompts.Answers = {TFDlgYesNo::kYes};
        Key(Qt::Key_F10);
    }
};

} // namespace

class WindowContactsTest : public QObject {
    Q_OBJECT
private slots:
    void sleepBlockedFromFirstStartToEnde();
    void noLoginManagerSaidOnce();
    void lidSwitchRefusedSaidOnce();
    void clearingTheProtocolGivesTheBlockUp();
    void unreachableBusReportsAndGoesOn();
    void contactsFieldKeepsTheFiveFields();
    void portFailingAtStartShownAndAskedOnce();
    void unplugTurnsFieldRedWithAlarm();
    void closingReturnsWhileWatcherIsStuck();
};

void WindowContactsTest::sleepBlockedFromFirstStartToEnde() {
    ContactWindow w(0);
    QVERIFY(!w.fake->sleep.held());
    w.Key(Qt::Key_F5);
    QVERIFY(w.fake->sleep.held());
    w.Key(Qt::Key_F5);
    QCOMPARE(w.fake->sleep.Holds, 1);
    w.fake->prompts.Answers = {TFDlgYesNo::kNo}; // ENDE declined: the competition goes on
    w.Key(Qt::Key_F10);
    QVERIFY(w.fake->sleep.held());
    w.Ende();
    QVERIFY(!w.fake->sleep.held());
    QCOMPARE(w.fake->sleep.Releases, 1);
    w.Key(Qt::Key_F5); // the next competition blocks again
    QCOMPARE(w.fake->sleep.Holds, 2);
}

void WindowContactsTest::noLoginManagerSaidOnce() {
    ContactWindow w(0, false);
    w.Key(Qt::Key_F5);
    QVERIFY(w.form->StatusPanel(2)->text().startsWith("Ruhezustand nicht gesperrt (kein Anmeldedienst)"));
    w.form->StatusPanel(2)->clear();
    w.Ende();
    w.Key(Qt::Key_F5);
    QCOMPARE(w.form->StatusPanel(2)->text(), QString());
}

void WindowContactsTest::lidSwitchRefusedSaidOnce() {
    ContactWindow w(0);
    w.fake->sleep.LidAvailable = false;
    w.Key(Qt::Key_F5);
    QVERIFY(w.fake->sleep.held()); // sleep is blocked all the same
    QCOMPARE(w.form->StatusPanel(2)->text(),
             QString("Zuklappen nicht gesperrt (kein Anmeldedienst) – Deckel offen lassen"));
    w.Ende();
    QVERIFY(!w.fake->sleep.held());
    QCOMPARE(w.fake->sleep.Releases, 1);
}

void WindowContactsTest::clearingTheProtocolGivesTheBlockUp() {
    ContactWindow w(0);
    w.Key(Qt::Key_F5);
    QVERIFY(w.fake->sleep.held());
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    QTest::mouseClick(Find<QToolButton>(w.form, "sbCls"), Qt::LeftButton);
    QVERIFY(!w.fake->sleep.held());
    QCOMPARE(w.fake->sleep.Releases, 1);
    w.Key(Qt::Key_F5); // the next competition blocks again
    QCOMPARE(w.fake->sleep.Holds, 2);
}

void WindowContactsTest::unreachableBusReportsAndGoesOn() {
    LogindSleepInhibitor inhibitor(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("kadenzor-test")));
    QStringList reasons;
    inhibitor.hold([&](const QString& reason, bool sleepBlocked) {
        QVERIFY(!sleepBlocked);
        reasons << reason;
    });
    QCOMPARE(reasons, QStringList{"kein Systembus"});
    QVERIFY(!inhibitor.held());
    inhibitor.release();
    QDBusConnection::disconnectFromBus(QStringLiteral("kadenzor-test"));
}

void WindowContactsTest::contactsFieldKeepsTheFiveFields() {
    ContactWindow w;
    for (int i = 0; i < 5; ++i)
        QVERIFY(w.form->StatusPanel(i));
    QCOMPARE(Find<QStatusBar>(w.form, "StatusBar1")->findChildren<QLabel*>(QRegularExpression("^StatusPanel")).size(),
             5);
    QCOMPARE(Find<QLabel>(w.form, "StatusContacts")->text(), QString("Lichtschranke COM17"));
    QVERIFY(Find<QLabel>(w.form, "StatusContacts")->isVisible());
    w.form->WriteBackups(); // the backup status goes to its own field
    QCOMPARE(Find<QLabel>(w.form, "StatusContacts")->text(), QString("Lichtschranke COM17"));
}

void WindowContactsTest::portFailingAtStartShownAndAskedOnce() {
    ContactWindow w(18); // /dev/ttyUSB1 does not exist
    QCOMPARE(Find<QLabel>(w.form, "StatusContacts")->text(), QString("Lichtschranke COM18 nicht geöffnet"));
    QVERIFY(Find<QLabel>(w.form, "StatusContacts")->styleSheet().contains("background"));
    QTRY_COMPARE(w.fake->prompts.Errors, QStringList{"Unable to open com port: No such file or directory"});
}

void WindowContactsTest::unplugTurnsFieldRedWithAlarm() {
    ContactWindow w;
    w.Key(Qt::Key_F5);
    QVERIFY(w.devices.WaitForWaiter());
    w.devices.Unplug();
    QTRY_COMPARE(Find<QLabel>(w.form, "StatusContacts")->text(), QString("Lichtschranke getrennt"));
    QVERIFY(Find<QLabel>(w.form, "StatusContacts")->styleSheet().contains("background"));
    QVERIFY(w.fake->sound.Played.last().endsWith("Ton-alarm.wav"));
    QVERIFY(w.fake->prompts.Errors.isEmpty());
    w.form->WriteBackups(); // the backup status has its own field

    QCOMPARE(Find<QLabel>(w.form, "StatusContacts")->text(), QString("Lichtschranke getrennt"));
}

void WindowContactsTest::closingReturnsWhileWatcherIsStuck() {
    ContactWindow w;
    QVERIFY(w.devices.WaitForWaiter());
    w.devices.StallStatusReads(true);
    w.devices.SetLines(TIOCM_CTS, 100);
    QVERIFY(w.devices.WaitForStalledRead());
    w.fake->prompts.Answers = {TFDlgYesNo::kYes}; // "Programm beenden?"
    QVERIFY(w.form->close());
    QCOMPARE(w.devices.StalledReads(), 1); // the window closed while the driver call goes on
    // The port stays open until the backups and the settings are written by the destructor.
    QVERIFY(w.form->Contacts()->ComPort().Connected());
    w.devices.StallStatusReads(false);
    w.form.reset(); // backups, settings, then the port; the joiner is joined with the port component
    QCOMPARE(w.devices.OpenDescriptors(), 0);
}

QTEST_MAIN(WindowContactsTest)
#include "tst_WindowContacts.moc"
