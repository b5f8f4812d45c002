#include "core/settings/SettingsStore.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every field away from its default.
TSettings Changed() {
    TSettings s;
    s.Port = 3;
    s.Alg = 1;
    s.Left = -20;
    s.Top = 40;
    s.Width = 1024;
    s.Height = 700;
    s.Sound = false;
    s.C1 = 0x800000;
    s.C2 = 0x0000FF;
    s.C3 = 0x102030;
    s.Acc = 1;
    s.C4 = 0xFFFFFFFF;
    s.FilterInd = 4;
    s.Timer = 30;
    s.cbAuto = true;
    s.XX = 900;
    s.YY = 300;
    s.StartType = 1;
    s.Columns = 0x7FFFF;
    s.Klass = true;
    s.FilterOut = 3;
    s.WaitStart = 9000;
    s.Title = QStringLiteral("Vereinsmeisterschaft \"Süd\" C:\\");
    s.WaitFinish = 250;
    s.RezervDir = QStringLiteral("/media/stick/");
    s.FormatZeit = 1;
    s.AutoSort = true;
    s.Debounce = 7;
    s.WebPort = 8080;
    s.WebBind = QStringLiteral("127.0.0.1");
    s.PublishDir = QStringLiteral("/srv/ergebnisse/");
    s.PortPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    s.Station = 2;
    s.Broker = QStringLiteral("192.168.1.20:1883");
    s.RaceId = QStringLiteral("kreiscup-3");
    s.BrokerUser = QStringLiteral("ziel");
    s.BrokerPassword = QStringLiteral("geh;eim\"");
    s.BrokerTls = true;
    return s;
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void storeLivesInTheConfigFolder();
    void firstStartGivesTheDefaults();
    void roundTripOfEveryField();
    void writesValuesInOrderAsARegistryExport();
    void absentOrMistypedValueKeepsItsDefault_data();
    void absentOrMistypedValueKeepsItsDefault();
    void absentTitleReadsEmpty();
    void stationValuesFollowPortPath_data();
    void stationValuesFollowPortPath();
    void portPathFollowsTheOlderValues();
    void nonPositiveLockOutKeepsTheDefault();
    void columnsAreForced();
    void damagedStoreIsReadAndNothingIsLost_data();
    void damagedStoreIsReadAndNothingIsLost();
    void unknownValuesAreKept();
    void storeOfAnOlderVersionKeepsTheLiveResultsOff();
    void webPortOutsideItsRangeIsOff_data();
    void webPortOutsideItsRangeIsOff();
    void writeFailureIsReported();
    void outOfRangeDigitsAreBounded();

private:
    QString Text() const;
    void WriteText(const QByteArray& text) const;
    QByteArray WithoutLine(const QByteArray& name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    const QString m_program = QStringLiteral("/opt/kadenzor/");
};

void SettingsStoreTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
    m_file = SettingsStore::FileNameIn();
}

void SettingsStoreTest::cleanup() {
    m_dir.reset();
}

QString SettingsStoreTest::Text() const {
    QFile f(m_file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void SettingsStoreTest::WriteText(const QByteArray& text) const {
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QFile f(m_file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// A complete store of Changed() with the line of `name` taken out.
QByteArray SettingsStoreTest::WithoutLine(const QByteArray& name) const {
    QList<RegValue> values = SettingsStore::ToValues(Changed());
    values.removeIf([&](const RegValue& v) { return v.name == QLatin1String(name); });
    return RegFormat::Write(values, SettingsStore::KeyPath());
}

void SettingsStoreTest::storeLivesInTheConfigFolder() {
    QCOMPARE(m_file, m_dir->path() + QStringLiteral("/Zeitravo/Kadenzor.reg"));
    QCOMPARE(SettingsStore::FileNameIn(QStringLiteral("/x/y")), QStringLiteral("/x/y/Zeitravo/Kadenzor.reg"));
}

void SettingsStoreTest::firstStartGivesTheDefaults() {
    bool found = true;
    const TSettings s = SettingsStore(m_file).Load(m_program, &found);
    QVERIFY(!found);
    QVERIFY(!s.Left && !s.Top);
    QCOMPARE(s.Width, 890);
    QCOMPARE(s.Height, 603);
    QCOMPARE(s.Title, QStringLiteral("Wettkampftitel"));
    QCOMPARE(s.Acc, 2);
    QCOMPARE(s.StartType, 0);
    QCOMPARE(s.WaitStart, 4000);
    QCOMPARE(s.WaitFinish, 200);
    QCOMPARE(s.Timer, 5);
    QCOMPARE(s.Port, 0);
    QVERIFY(s.Sound);
    QCOMPARE(s.Columns, 0xCFF);
    QCOMPARE(s.Debounce, 2);
    QCOMPARE(s.RezervDir, m_program); // the backups go to the program folder
    QVERIFY(!QFile::exists(m_file));  // reading creates nothing
}

void SettingsStoreTest::roundTripOfEveryField() {
    QString error;
    QVERIFY(SettingsStore(m_file).Save(Changed(), error));
    bool found = false;
    const TSettings s = SettingsStore(m_file).Load(m_program, &found);
    QVERIFY(found);
    QVERIFY(s == Changed());
    // Saving again over the existing file gives the same file.
    const QString first = Text();
    QVERIFY(SettingsStore(m_file).Save(s, error));
    QCOMPARE(Text(), first);
}

void SettingsStoreTest::writesValuesInOrderAsARegistryExport() {
    QString error;
    QVERIFY(SettingsStore(m_file).Save(Changed(), error));
    const QStringList lines = Text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.value(0), QStringLiteral("Windows Registry Editor Version 5.00"));
    QCOMPARE(lines.value(1), QString());
    QCOMPARE(lines.value(2), QStringLiteral("[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]"));
    QStringList names;
    for (int i = 3; i < lines.size() && !lines[i].isEmpty(); ++i)
        names << lines[i].section(QLatin1Char('"'), 1, 1);
    QCOMPARE(names, SettingsStore::WritingOrder());
    QVERIFY(lines.contains(QStringLiteral("\"Left\"=dword:ffffffec")));
    QVERIFY(lines.contains(QStringLiteral("\"Sound\"=dword:00000000")));
    QVERIFY(lines.contains(QStringLiteral("\"C4\"=dword:ffffffff")));
    QVERIFY(lines.contains(QStringLiteral("\"Title\"=\"Vereinsmeisterschaft \\\"Süd\\\" C:\\\\\"")));
    QVERIFY(lines.contains(QStringLiteral("\"Debounce\"=dword:00000007")));
    // Nothing of the atomic write is left behind.
    QCOMPARE(QDir(QFileInfo(m_file).absolutePath()).entryList(QDir::Files),
             QStringList{QStringLiteral("Kadenzor.reg")});
}

void SettingsStoreTest::absentOrMistypedValueKeepsItsDefault_data() {
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QString>("defaulted"); // the first value that keeps its default
    QTest::addColumn<bool>("ends");         // and all after it (an older store), or only it
    QTest::newRow("no FormatZeit") << WithoutLine("FormatZeit") << QStringLiteral("FormatZeit") << true;
    QTest::newRow("no Port") << WithoutLine("Port") << QStringLiteral("Port") << true;
    QTest::newRow("no Height") << WithoutLine("Height") << QStringLiteral("Height") << true;
    const QByteArray all = RegFormat::Write(SettingsStore::ToValues(Changed()), SettingsStore::KeyPath());
    QTest::newRow("Acc as text") << QByteArray(all).replace("\"Acc\"=dword:00000001", "\"Acc\"=\"1\"")
                                 << QStringLiteral("Acc") << false;
    QTest::newRow("StartType binary") << QByteArray(all).replace("\"StartType\"=dword:00000001",
                                                                 "\"StartType\"=hex:01,00,00,00")
                                      << QStringLiteral("StartType") << false;
    QTest::newRow("RezervDir as dword") << QByteArray(all).replace("\"RezervDir\"=\"/media/stick/\"",
                                                                   "\"RezervDir\"=dword:00000001")
                                        << QStringLiteral("RezervDir") << false;
    QTest::newRow("Timer with four digits")
        << QByteArray(all).replace("\"Timer\"=dword:0000001e", "\"Timer\"=dword:001e") << QStringLiteral("Timer")
        << false;
}

void SettingsStoreTest::absentOrMistypedValueKeepsItsDefault() {
    QFETCH(QByteArray, store);
    QFETCH(QString, defaulted);
    QFETCH(bool, ends);
    WriteText(store);
    const TSettings s = SettingsStore(m_file).Load(m_program);
    // Compare value by value through the written form (the folder and forced columns aside).
    const QList<RegValue> got = SettingsStore::ToValues(s);
    const QList<RegValue> changed = SettingsStore::ToValues(Changed());
    TSettings defaults;
    defaults.RezervDir = m_program;
    defaults.Columns |= TSettings::kForcedColumns;
    const QList<RegValue> plain = SettingsStore::ToValues(defaults);
    bool reached = false;
    for (const QString& name : SettingsStore::ReadingOrder()) {
        const bool gap = name == defaulted || (ends && reached);
        reached = reached || name == defaulted;
        const int i = static_cast<int>(SettingsStore::WritingOrder().indexOf(name));
        if (gap && (name == QLatin1String("Left") || name == QLatin1String("Top")))
            QVERIFY2(!(name == QLatin1String("Left") ? s.Left : s.Top), qPrintable(name));
        else
            QVERIFY2(got[i].value == (gap ? plain : changed)[i].value, qPrintable(name));
    }
}

void SettingsStoreTest::absentTitleReadsEmpty() {
    WriteText(WithoutLine("Title"));
    const TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Title, QString());
    QCOMPARE(s.AutoSort, true); // the reading went on
    QCOMPARE(s.Debounce, 7);
}

void SettingsStoreTest::stationValuesFollowPortPath_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<qint32>("station"); // as stored
    QTest::addColumn<qint32>("read");
    QTest::addColumn<QFileDevice::Permissions>("mode");
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QTest::newRow("password: owner only") << "geheim" << 2 << 2 << QFileDevice::Permissions(owner);
    QTest::newRow("no password") << "" << 1 << 1 << (owner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QTest::newRow("station out of range is alone")
        << "" << 3 << 0 << (owner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

void SettingsStoreTest::stationValuesFollowPortPath() {
    QFETCH(QString, password);
    QFETCH(qint32, station);
    QFETCH(QFileDevice::Permissions, mode);
    // An older file without them reads as today: alone, the default race.
    WriteText(WithoutLine("Station"));
    TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Station, 0);
    QCOMPARE(s.RaceId, QStringLiteral("rennen"));
    QCOMPARE(s.Broker, QString());
    s = Changed();
    s.BrokerPassword = password;
    s.Station = station;
    QString error;
    QVERIFY(SettingsStore(m_file).Save(s, error));
    const QString written = Text();
    qsizetype at = written.indexOf(QStringLiteral("\"PortPath\"="));
    for (const char* name : {"Station", "Broker", "RaceId", "BrokerUser", "BrokerPassword", "BrokerTls"}) {
        const qsizetype next = written.indexOf(QLatin1Char('"') + QLatin1String(name) + QStringLiteral("\"="));
        QVERIFY2(next > at, name);
        at = next;
    }
    QCOMPARE(QFile::permissions(m_file) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
    const TSettings loaded = SettingsStore(m_file).Load(m_program);
    QFETCH(qint32, read);
    s.Station = read;
    QCOMPARE(loaded, s);
}

void SettingsStoreTest::portPathFollowsTheOlderValues() {
    // A file of an older version has no PortPath: the port number is the choice.
    WriteText(WithoutLine("PortPath"));
    TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.PortPath, QString());
    QCOMPARE(s.Port, 3);
    QCOMPARE(s.Debounce, 7);
    // Written after every value an older version knows, so it reads them all as before.
    s.PortPath = QStringLiteral("/dev/serial/by-id/usb-Prolific_PL2303-if00-port0");
    QString error;
    QVERIFY(SettingsStore(m_file).Save(s, error));
    const QString written = Text();
    const qsizetype portPath =
        written.indexOf(QStringLiteral("\"PortPath\"=\"/dev/serial/by-id/usb-Prolific_PL2303-if00-port0\"\r\n"));
    QVERIFY(portPath > written.indexOf(QStringLiteral("\"Debounce\"=dword:00000007\r\n")));
    QVERIFY(portPath > written.indexOf(QStringLiteral("\"PublishDir\"=")));
    QCOMPARE(SettingsStore(m_file).Load(m_program).PortPath, s.PortPath);
}

void SettingsStoreTest::nonPositiveLockOutKeepsTheDefault() {
    TSettings stored = Changed();
    stored.WaitStart = 0;
    stored.WaitFinish = -5;
    QString error;
    QVERIFY(SettingsStore(m_file).Save(stored, error));
    const TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.WaitStart, 4000);
    QCOMPARE(s.WaitFinish, 200);
    QCOMPARE(s.FormatZeit, 1); // later values still read
}

void SettingsStoreTest::columnsAreForced() {
    TSettings stored = Changed();
    stored.Columns = 0;
    stored.RezervDir.clear();
    QString error;
    QVERIFY(SettingsStore(m_file).Save(stored, error));
    const TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Columns, 0x403);
    QCOMPARE(s.RezervDir, m_program);
}

void SettingsStoreTest::damagedStoreIsReadAndNothingIsLost_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("notice"); // the start of the status bar's sentence, empty for none
    QTest::newRow("cut line, then an unknown value")
        << QByteArray("\"Timer\"=dword:0000001e\r\n")
        << QByteArray("\"Timer\"=dword:0000001e\r\n\"Tim\r\n\"Fremdwert\"=dword:00001f90\r\n") << "Zeile 18:";
    QTest::newRow("CR line ends") << QByteArray("\r\n") << QByteArray("\r") << "";
    QTest::newRow("title in Windows-1252") << QByteArray("\"Title\"=\"Vereinsmeisterschaft \\\"S\xC3\xBC"
                                                         "d\\\" C:\\\\\"")
                                           << QByteArray("\"Title\"=\"Vereinsmeisterschaft \\\"S\xFC"
                                                         "d\\\" C:\\\\\"")
                                           << "";
}

void SettingsStoreTest::damagedStoreIsReadAndNothingIsLost() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, notice);
    QByteArray text = RegFormat::Write(SettingsStore::ToValues(Changed()), SettingsStore::KeyPath());
    QVERIFY(text.contains(from));
    text.replace(from, to);
    WriteText(text);
    QString said;
    TSettings s = SettingsStore(m_file).Load(m_program, nullptr, &said);
    QVERIFY(s == Changed());
    QVERIFY2(notice.isEmpty() ? said.isEmpty() : said.contains(notice), qPrintable(said));
    QString error;
    s.Port = 4;
    QVERIFY(SettingsStore(m_file).Save(s, error));
    const QString written = Text();
    QVERIFY(written.contains(QStringLiteral("\"Port\"=dword:00000004\r\n")));
    QVERIFY(written.contains(QStringLiteral("\"Title\"=\"Vereinsmeisterschaft \\\"Süd\\\" C:\\\\\"\r\n")));
    if (to.contains("Fremdwert")) {
        QVERIFY(written.contains(QStringLiteral("\"Fremdwert\"=dword:00001f90\r\n")));
        QVERIFY(written.contains(QStringLiteral("; nicht lesbar: \"Tim\r\n")));
    }
    // Saved once, the store reads without a word.
    SettingsStore(m_file).Load(m_program, nullptr, &said);
    QCOMPARE(said, QString());
}

void SettingsStoreTest::unknownValuesAreKept() {
    QByteArray text = RegFormat::Write(SettingsStore::ToValues(Changed()), SettingsStore::KeyPath());
    text.replace("\"Port\"", "\"Fremdwert\"=dword:00001f90\r\n\"Notiz\"=\"von Hand\"\r\n\"Port\"");
    WriteText(text);
    TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Port, 3);
    s.Port = 4;
    QString error;
    QVERIFY(SettingsStore(m_file).Save(s, error));
    const QString written = Text();
    QVERIFY(written.contains(QStringLiteral("\"Fremdwert\"=dword:00001f90\r\n")));
    QVERIFY(written.contains(QStringLiteral("\"Notiz\"=\"von Hand\"\r\n")));
    QVERIFY(written.contains(QStringLiteral("\"Port\"=dword:00000004\r\n")));
    // Ours first in writing order, the others after them.
    QVERIFY(written.indexOf(QStringLiteral("\"Debounce\"")) < written.indexOf(QStringLiteral("\"Notiz\"")));
}

void SettingsStoreTest::writeFailureIsReported() {
    // A file where the folder should be: nothing can be written below it.
    QFile blocker(m_dir->path() + QStringLiteral("/blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!SettingsStore(blocker.fileName() + QStringLiteral("/Zeitravo/Kadenzor.reg")).Save(Changed(), error));
    QVERIFY(!error.isEmpty());
}

void SettingsStoreTest::outOfRangeDigitsAreBounded() {
    TSettings stored = Changed();
    stored.Acc = 7;
    stored.Debounce = 500;
    QString error;
    QVERIFY(SettingsStore(m_file).Save(stored, error));
    const TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Acc, 2);
    QCOMPARE(s.Debounce, 50);
}

void SettingsStoreTest::storeOfAnOlderVersionKeepsTheLiveResultsOff() {
    QList<RegValue> values = SettingsStore::ToValues(Changed());
    values.erase(std::remove_if(values.begin(), values.end(),
                                [](const RegValue& v) {
                                    return v.name == QLatin1String("WebPort") || v.name == QLatin1String("WebBind") ||
                                           v.name == QLatin1String("PublishDir");
                                }),
                 values.end());
    WriteText(RegFormat::Write(values, SettingsStore::KeyPath()));
    const TSettings s = SettingsStore(m_file).Load(m_program);
    QCOMPARE(s.Debounce, 7); // everything before them is read
    QCOMPARE(s.WebPort, 0);
    QCOMPARE(s.WebBind, QString());
    QCOMPARE(s.PublishDir, QString());
}

void SettingsStoreTest::webPortOutsideItsRangeIsOff_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("read");
    QTest::newRow("system port") << 80 << 0;
    QTest::newRow("one below") << 1023 << 0;
    QTest::newRow("lowest") << 1024 << 1024;
    QTest::newRow("highest") << 65535 << 65535;
    QTest::newRow("above") << 65536 << 0;
    QTest::newRow("negative") << -8080 << 0;
}

void SettingsStoreTest::webPortOutsideItsRangeIsOff() {
    QFETCH(int, stored);
    QFETCH(int, read);
    TSettings s = Changed();
    s.WebPort = stored;
    QString error;
    QVERIFY(SettingsStore(m_file).Save(s, error));
    const TSettings loaded = SettingsStore(m_file).Load(m_program);
    QCOMPARE(loaded.WebPort, read);
    QCOMPARE(loaded.PublishDir, QStringLiteral("/srv/ergebnisse/")); // the reading went on
}

QTEST_APPLESS_MAIN(SettingsStoreTest)
#include "tst_SettingsStore.moc"
