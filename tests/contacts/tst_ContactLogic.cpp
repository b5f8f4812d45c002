#include "core/contacts/ComEvent.h"
#include "core/contacts/ContactLogic.h"
#include "core/contacts/PortProbe.h"
#include "core/platform/SerialDevices.h"
#include "support/FakeSerialDevices.h"

#include <QtTest>

#include <climits>
#include <sys/ioctl.h>

Q_DECLARE_METATYPE(ModemCounters)

namespace {

constexpr quint32 DCD = kStatusDcd, DSR = kStatusDsr, CTS = kStatusCts, RI = kStatusRi;

QString Names(const QList<ContactLine>& lines) {
    QStringList names;
    for (ContactLine line : lines) {
        switch (line) {
        case ContactLine::DCD:
            names << "DCD";
            break;
        case ContactLine::DSR:
            names << "DSR";
            break;
        case ContactLine::CTS:
            names << "CTS";
            break;
        case ContactLine::RI:
            names << "RI";
            break;
        }
    }
    return names.join(',');
}

ModemCounters Dcd(int n) {
    ModemCounters c;
    c.dcd = n;
    return c;
}

} // namespace

class ContactLogicTest : public QObject {
    Q_OBJECT
private slots:
    void triggers_data();
    void triggers();
    void pulsedLines_data();
    void pulsedLines();
    void statusBitsMapBothWays();
    void devicePaths_data();
    void devicePaths();
    void everyPortMapsBack();
    void probeSkipsPhantomsAndMissingDevices();
    void portListNamesAdapters();
};

void ContactLogicTest::triggers_data() {
    QTest::addColumn<int>("alg");
    QTest::addColumn<quint32>("last");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<quint32>("pulsed");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<quint32>("lastAfter");
    QTest::addColumn<quint32>("watched");

    const quint32 initial = 0x55555555;
    const quint32 all = DCD | DSR | CTS | RI;
    const quint32 noCts = DCD | DSR | RI;
    QTest::newRow("first report counts as change") << 0 << initial << DCD << 0u << "DCD" << DCD << all;
    QTest::newRow("first report with no line on") << 0 << initial << 0u << 0u << "" << 0u << all;
    QTest::newRow("start held: same word again") << 0 << DCD << DCD << 0u << "" << DCD << all;
    QTest::newRow("start released") << 0 << DCD << 0u << 0u << "" << 0u << all;
    QTest::newRow("start held, finish closes") << 0 << DSR << (DSR | CTS) << 0u << "DSR,CTS" << (DSR | CTS) << all;
    QTest::newRow("DCD and DSR together") << 0 << 0u << (DCD | DSR) << 0u << "DCD,DSR" << (DCD | DSR) << all;
    QTest::newRow("fixed order DCD DSR CTS RI") << 0 << 0u << all << 0u << "DCD,DSR,CTS,RI" << all << all;
    QTest::newRow("finish pulse between reads") << 0 << 0u << 0u << CTS << "CTS" << 0u << all;
    QTest::newRow("held start pressed again unseen") << 0 << DCD << DCD << DCD << "DCD" << DCD << all;
    QTest::newRow("mode 1 on a port without CTS: the other three on")
        << 1 << 0u << (DCD | DSR | RI) << 0u << "" << (DCD | DSR | RI) << noCts;
    QTest::newRow("pulse while another line is held") << 0 << DSR << DSR << RI << "DSR,RI" << DSR << all;
    QTest::newRow("bits outside the lines") << 0 << 0u << 0x0Fu << 0x100u << "" << 0u << all;
    QTest::newRow("mode 1: all four on") << 1 << 0u << all << 0u << "" << all << all;
    QTest::newRow("mode 1: one goes off")
        << 1 << all << (DSR | CTS | RI) << 0u << "DSR,CTS,RI" << (DSR | CTS | RI) << all;
    QTest::newRow("mode 1: dip of a held line") << 1 << all << all << DCD << "" << all << all;
    QTest::newRow("mode 1: single line on") << 1 << 0u << CTS << 0u << "CTS" << CTS << all;
    QTest::newRow("mode 2 ignores") << 2 << 0u << DCD << 0u << "" << DCD << all;
    QTest::newRow("mode -1 ignores") << -1 << 0u << (CTS | DSR) << RI << "" << (CTS | DSR) << all;
}

void ContactLogicTest::triggers() {
    QFETCH(int, alg);
    QFETCH(quint32, last);
    QFETCH(quint32, status);
    QFETCH(quint32, pulsed);
    QFETCH(QString, lines);
    QFETCH(quint32, lastAfter);
    QFETCH(quint32, watched);
    QCOMPARE(Names(ContactTriggers(alg, status, pulsed, last, watched)), lines);
    QCOMPARE(last, lastAfter);
}

void ContactLogicTest::pulsedLines_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<ModemCounters>("c0");
    QTest::addColumn<ModemCounters>("c1");
    QTest::addColumn<quint32>("pulsed");
    QTest::addColumn<bool>("ringTrailingEdge");

    ModemCounters ring;
    ring.rng = 1;
    ModemCounters ring2;
    ring2.rng = 2;
    QTest::newRow("nothing") << 0 << 0 << Dcd(5) << Dcd(5) << 0u << false;
    QTest::newRow("plain rise") << 0 << TIOCM_CD << Dcd(5) << Dcd(6) << 0u << false;
    QTest::newRow("plain fall") << TIOCM_CD << 0 << Dcd(6) << Dcd(7) << 0u << false;
    QTest::newRow("whole pulse unseen") << 0 << 0 << Dcd(5) << Dcd(7) << DCD << false;
    QTest::newRow("press bouncing: status decides") << 0 << TIOCM_CD << Dcd(5) << Dcd(8) << 0u << false;
    QTest::newRow("release bouncing three edges") << TIOCM_CD << 0 << Dcd(5) << Dcd(8) << 0u << false;
    QTest::newRow("release bouncing many edges") << TIOCM_CD << 0 << Dcd(5) << Dcd(13) << 0u << false;
    QTest::newRow("held, dips off and on") << TIOCM_CD << TIOCM_CD << Dcd(5) << Dcd(7) << 0u << false;
    QTest::newRow("one stray edge, off at both ends") << 0 << 0 << Dcd(5) << Dcd(6) << 0u << false;
    QTest::newRow("RI single edge, both-edge driver") << 0 << 0 << ModemCounters{} << ring << 0u << false;
    QTest::newRow("RI trailing edge counted once") << 0 << 0 << ModemCounters{} << ring << RI << true;
    QTest::newRow("RI two trailing edges") << 0 << 0 << ModemCounters{} << ring2 << RI << true;
    QTest::newRow("trailing edge rule is for RI only") << 0 << 0 << Dcd(5) << Dcd(6) << 0u << true;
    QTest::newRow("counter wraps") << 0 << 0 << Dcd(INT_MAX) << Dcd(INT_MIN + 1) << DCD << false;
    QTest::newRow("counter reset by driver") << 0 << 0 << Dcd(9) << Dcd(0) << 0u << false;
}

void ContactLogicTest::pulsedLines() {
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(ModemCounters, c0);
    QFETCH(ModemCounters, c1);
    QFETCH(quint32, pulsed);
    QFETCH(bool, ringTrailingEdge);
    QCOMPARE(PulsedLines(before, after, c0, c1, ringTrailingEdge), pulsed);
}

void ContactLogicTest::statusBitsMapBothWays() {
    QCOMPARE(StatusFromModemBits(TIOCM_CD | TIOCM_RTS | TIOCM_DTR), DCD);
    QCOMPARE(StatusFromModemBits(TIOCM_DSR | TIOCM_CTS | TIOCM_RNG), DSR | CTS | RI);
    for (quint32 s = 0; s <= kStatusLines; s += 0x10)
        QCOMPARE(StatusFromModemBits(ModemBitsFromStatus(s)), s);
}

void ContactLogicTest::devicePaths_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM16") << 16 << "/dev/ttyS15";
    QTest::newRow("COM17") << 17 << "/dev/ttyUSB0";
    QTest::newRow("COM32") << 32 << "/dev/ttyUSB15";
    QTest::newRow("COM33") << 33 << "/dev/ttyACM0";
    QTest::newRow("COM48") << 48 << "/dev/ttyACM15";
    QTest::newRow("none") << 0 << "";
    QTest::newRow("beyond") << 49 << "";
}

void ContactLogicTest::devicePaths() {
    QFETCH(int, n);
    QFETCH(QString, path);
    QCOMPARE(PortDevicePath(n), path);
}

void ContactLogicTest::everyPortMapsBack() {
    for (int n = 1; n <= kMaxPort; ++n) {
        QCOMPARE(PortNumberOfDevice(PortDevicePath(n)), n);
        QCOMPARE(PortNumberOfName(PortName(n)), n);
    }
    QCOMPARE(PortNumberOfDevice("/dev/ttyS16"), 0);
    QCOMPARE(PortNumberOfDevice("/dev/ttyUSB01"), 0);
    QCOMPARE(PortNumberOfDevice("/dev/ttyACM"), 0);
    QCOMPARE(PortNumberOfName("Keine"), 0);
}

void ContactLogicTest::probeSkipsPhantomsAndMissingDevices() {
    FakeSerialDevices devices("/dev/ttyS0");
    devices.AddDevice("/dev/ttyS0", "4");
    devices.AddDevice("/dev/ttyS1", "0"); // listed by the 8250 driver without a UART
    devices.AddDevice("/dev/ttyS15", "");
    devices.AddDevice("/dev/ttyUSB3");
    devices.AddDevice("/dev/ttyACM15");
    devices.AddDevice("/dev/ttyACM16");
    const QList<int> ports = ProbePorts(devices);
    QCOMPARE(ports, (QList<int>{1, 16, 20, 48}));
    QCOMPARE(PortNames(ports), (QStringList{"COM1", "COM16", "COM20", "COM48"}));
    devices.Unplug("/dev/ttyUSB3");
    QCOMPARE(ProbePorts(devices), (QList<int>{1, 16, 48}));
}

void ContactLogicTest::portListNamesAdapters() {
    FakeSerialDevices devices("/dev/ttyS0");
    devices.AddDevice("/dev/ttyS0", "4");
    devices.AddDevice("/dev/ttyUSB1");
    devices.AddDevice("/dev/ttyUSB20"); // beyond the COM numbers
    const QString by = "/dev/serial/by-id/";
    devices.AddLink(by + "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "/dev/ttyUSB1");
    devices.AddLink(by + "usb-Silicon_Labs_CP2102_0001-if00-port0", "/dev/ttyUSB20");
    devices.AddLink(by + "usb-gone-if00-port0", "/dev/ttyUSB9");
    const QList<SerialPortEntry> list = ListSerialPorts(devices);
    QStringList labels;
    for (const SerialPortEntry& e : list)
        labels << e.label;
    QCOMPARE(labels,
             (QStringList{"COM1", "COM18 – FTDI FT232R USB UART A1B2C3", "Silicon Labs CP2102 0001 (ttyUSB20)"}));
    QCOMPARE(list.at(1).port, 18);
    QCOMPARE(list.at(1).stable, by + "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    QCOMPARE(list.at(2).port, 0);
    QCOMPARE(list.at(2).device, by + "usb-Silicon_Labs_CP2102_0001-if00-port0");
    QCOMPARE(StableNameOf(devices, "/dev/ttyS0"), QString());
    QCOMPARE(AdapterName("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"),
             "Prolific Technology Inc. USB-Serial Controller");
}

QTEST_GUILESS_MAIN(ContactLogicTest)
#include "tst_ContactLogic.moc"
