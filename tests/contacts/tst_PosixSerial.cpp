#include "core/contacts/ComErrors.h"
#include "core/contacts/TComPort.h"
#include "core/platform/PosixSerialDevices.h"
#include "core/platform/SystemClock.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// A pseudo terminal pair; the slave side stands in for a serial device.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[64] = {};
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 &&
            ptsname_r(m_master, name, sizeof name) == 0)
            m_slave = QString::fromLocal8Bit(name);
    }
    ~Pty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    QString Slave() const { return m_slave; }

private:
    int m_master = -1;
    QString m_slave;
};

// The real calls, except that the pty pretends to have modem lines and the wait
// blocks in a read that only a signal ends: the stop path against the kernel.
class BlockingWaitDevices final : public PosixSerialDevices {
public:
    BlockingWaitDevices() {
        if (pipe2(m_pipe, O_CLOEXEC) != 0)
            m_pipe[0] = m_pipe[1] = -1;
    }
    ~BlockingWaitDevices() override {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    int modemBits(int, int& bits) override {
        bits = 0;
        return 0;
    }
    // Counters that have counted before, so the watcher trusts them and waits.
    int counters(int, ModemCounters& c) override {
        c = ModemCounters{1, 1, 1, 1};
        return 0;
    }
    int waitModemChange(int, int, long) override {
        waiting.store(true);
        char c;
        const ssize_t r = ::read(m_pipe[0], &c, 1);
        const int error = r < 0 ? errno : 0;
        waiting.store(false);
        if (error == EINTR)
            ++interrupted;
        return error;
    }
    std::atomic<bool> waiting{false};
    std::atomic<int> interrupted{0};

private:
    int m_pipe[2] = {-1, -1};
};

int OpenDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

} // namespace

class PosixSerialTest : public QObject {
    Q_OBJECT
private slots:
    void missingDevice_data();
    void missingDevice();
    void secondOpenIsBusy();
    void ptyWithoutModemLinesEndsWatcher();
    void devNullRefusesConfiguration();
    void stableNamesLeadToTheirDevice();
    void stopEndsBlockedWatcher();
    void thousandOpenCloseCycles();

private:
    PosixSerialDevices m_devices;
    SystemClock m_clock;
};

void PosixSerialTest::missingDevice_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("missing device") << 1 << "/dev/kadenzor-no-such-tty";
    QTest::newRow("port 0") << 0 << "";
    QTest::newRow("port beyond COM48") << 49 << "";
}

void PosixSerialTest::missingDevice() {
    QFETCH(int, port);
    QFETCH(QString, device);
    TComPort com(m_devices, m_clock);
    com.SetPort(port);
    com.SetDeviceName(device);
    QSignalSpy opened(&com, &TComPort::OnOpen);
    try {
        com.Open();
        QFAIL("opened");
    } catch (const EComHandle& e) {
        QCOMPARE(e.Error(), ENOENT);
        QCOMPARE(QString::fromUtf8(e.what()), "Unable to open com port: No such file or directory");
    }
    QVERIFY(!com.Connected());
    QCOMPARE(opened.size(), 0);
}

void PosixSerialTest::secondOpenIsBusy() {
    Pty pty;
    QVERIFY(!pty.Slave().isEmpty());
    TComPort first(m_devices, m_clock);
    first.SetDeviceName(pty.Slave());
    first.Open();
    QVERIFY(first.Connected());
    const int before = OpenDescriptors();
    TComPort second(m_devices, m_clock);
    second.SetDeviceName(pty.Slave());
    QVERIFY_THROWS_EXCEPTION(EComHandle, second.Open());
    try {
        second.Open();
    } catch (const EComHandle& e) {
        QCOMPARE(e.Error(), EBUSY);
        QCOMPARE(e.Text(), "Unable to open com port: Device or resource busy");
    }
    QVERIFY(!second.Connected());
    QCOMPARE(OpenDescriptors(), before);
    first.Close();
    second.Open(); // free again once the first has closed
    QVERIFY(second.Connected());
}

void PosixSerialTest::ptyWithoutModemLinesEndsWatcher() {
    Pty pty;
    TComPort com(m_devices, m_clock);
    com.SetDeviceName(pty.Slave());
    QSignalSpy lost(&com, &TComPort::OnLost);
    QSignalSpy closed(&com, &TComPort::OnClose);
    com.Open(); // a pty takes the line settings; it just has no modem lines
    QVERIFY(com.Connected());
    QVERIFY(lost.wait(5000));
    const int error = lost.at(0).at(0).toInt();
    QVERIFY2(error == ENOTTY || error == EINVAL, qPrintable(QString::number(error)));
    QVERIFY(!com.Connected());
    QCOMPARE(closed.size(), 1);
}

void PosixSerialTest::devNullRefusesConfiguration() {
    const int before = OpenDescriptors();
    TComPort com(m_devices, m_clock);
    com.SetDeviceName("/dev/null");
    try {
        com.Open();
        QFAIL("opened");
    } catch (const EComState& e) {
        QCOMPARE(e.Text(), "Unable to set com state: Inappropriate ioctl for device");
    }
    QVERIFY(!com.Connected());
    QCOMPARE(OpenDescriptors(), before);
}

void PosixSerialTest::stableNamesLeadToTheirDevice() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    QVERIFY(QFile::link("/dev/null", link));
    QVERIFY(QFile::link(dir.path() + "/missing", dir.path() + "/usb-gone-if00-port0"));
    QCOMPARE(m_devices.entries(dir.path()),
             (QStringList{"usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "usb-gone-if00-port0"}));
    QCOMPARE(m_devices.canonicalPath(link), "/dev/null");
    QCOMPARE(m_devices.canonicalPath(dir.path() + "/usb-gone-if00-port0"), QString()); // unplugged
    QCOMPARE(m_devices.entries(dir.path() + "/none"), QStringList());
}

void PosixSerialTest::stopEndsBlockedWatcher() {
    Pty pty;
    BlockingWaitDevices devices;
    TComPort com(devices, m_clock);
    com.SetDeviceName(pty.Slave());
    com.Open();
    QTRY_VERIFY(devices.waiting.load());
    com.Close();
    QVERIFY(!devices.waiting.load());
    QVERIFY(devices.interrupted.load() >= 1); // the read was not restarted after the signal
    QVERIFY(!com.Connected());
}

void PosixSerialTest::thousandOpenCloseCycles() {
    Pty pty;
    BlockingWaitDevices devices;
    TComPort com(devices, m_clock);
    com.SetDeviceName(pty.Slave());
    const int before = OpenDescriptors();
    QSignalSpy opened(&com, &TComPort::OnOpen);
    QSignalSpy closed(&com, &TComPort::OnClose);
    for (int i = 0; i < 1000; ++i) {
        com.Open(); // also closes the previous opening at whatever point its watcher is
        if (i % 2)
            com.Close();
    }
    com.Close();
    QCOMPARE(opened.size(), 1000);
    QCOMPARE(closed.size(), 1000);
    QCOMPARE(OpenDescriptors(), before);
}

QTEST_GUILESS_MAIN(PosixSerialTest)
#include "tst_PosixSerial.moc"
