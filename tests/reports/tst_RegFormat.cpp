#include "core/settings/RegFormat.h"

#include <QtTest>

namespace {

const QString kKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor");

QByteArray File(const QByteArray& body, const QByteArray& eol = "\r\n") {
    QByteArray text = "Windows Registry Editor Version 5.00" + eol + eol +
                      "[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]" + eol + body;
    return text;
}

} // namespace

class RegFormatTest : public QObject {
    Q_OBJECT
private slots:
    void readsValues_data();
    void readsValues();
    void damagedLineEndsTheReading_data();
    void damagedLineEndsTheReading();
    void writesARegistryExport();
    void roundTripKeepsTypes();
    void lineBreakInATextStaysOnOneLine();
};

void RegFormatTest::readsValues_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("dword zero") << QByteArray("\"Port\"=dword:00000000") << QVariant(0);
    QTest::newRow("dword colour") << QByteArray("\"C4\"=dword:0000ffff") << QVariant(0xFFFF);
    QTest::newRow("dword upper case") << QByteArray("\"C4\"=dword:0000FFFF") << QVariant(0xFFFF);
    QTest::newRow("dword short") << QByteArray("\"Acc\"=dword:2") << QVariant(2);
    QTest::newRow("dword negative") << QByteArray("\"Alg\"=dword:ffffffff") << QVariant(-1);
    QTest::newRow("dword high bit") << QByteArray("\"Columns\"=dword:80000cff") << QVariant(int(0x80000CFFu));
    QTest::newRow("text") << QByteArray("\"Title\"=\"Wettkampftitel\"") << QVariant(QStringLiteral("Wettkampftitel"));
    QTest::newRow("empty text") << QByteArray("\"Title\"=\"\"") << QVariant(QString());
    QTest::newRow("escapes") << QByteArray(R"("RezervDir"="C:\\Sicherung\\ \"neu\"")")
                             << QVariant(QStringLiteral("C:\\Sicherung\\ \"neu\""));
    QTest::newRow("umlauts") << QByteArray("\"Title\"=\"Kreismeisterschaft Göppingen\"")
                             << QVariant(QStringLiteral("Kreismeisterschaft Göppingen"));
    QTest::newRow("other type kept") << QByteArray("\"Blob\"=hex:01,02") << QVariant(QByteArray("hex:01,02"));
    QTest::newRow("expand string kept") << QByteArray("\"Path\"=hex(2):41,00") << QVariant(QByteArray("hex(2):41,00"));
}

void RegFormatTest::readsValues() {
    QFETCH(QByteArray, line);
    QFETCH(QVariant, value);
    for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        const RegReadResult r = RegFormat::Read(File(line + eol + "\"Next\"=dword:00000001" + eol, eol), kKey);
        QCOMPARE(r.damagedLine, 0);
        QCOMPARE(r.values.size(), 2);
        QCOMPARE(r.values[0].value.typeId(), value.typeId());
        QCOMPARE(r.values[0].value, value);
        QCOMPARE(r.values[1].name, QStringLiteral("Next"));
    }
}

void RegFormatTest::damagedLineEndsTheReading_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("valuesBefore");
    const QByteArray good = "\"Port\"=dword:00000003\r\n";
    QTest::newRow("no header") << QByteArray("REGEDIT4\r\n\r\n") << 1 << 0;
    QTest::newRow("empty file") << QByteArray() << 1 << 0;
    QTest::newRow("value before key") << QByteArray(
                                             "Windows Registry Editor Version 5.00\r\n\"Port\"=dword:00000001\r\n")
                                      << 2 << 0;
    QTest::newRow("foreign key") << File(good + "[HKEY_CURRENT_USER\\Software\\Other]\r\n" + good) << 5 << 1;
    QTest::newRow("nine hex digits") << File(good + "\"Alg\"=dword:000000001\r\n" + good) << 5 << 1;
    QTest::newRow("bad hex digit") << File(good + "\"Alg\"=dword:0000000g\r\n") << 5 << 1;
    QTest::newRow("empty dword") << File(good + "\"Alg\"=dword:\r\n") << 5 << 1;
    QTest::newRow("unterminated text") << File(good + "\"Title\"=\"Wettkampf\r\n" + good) << 5 << 1;
    QTest::newRow("unknown escape") << File(good + "\"Title\"=\"a\\nb\"\r\n") << 5 << 1;
    QTest::newRow("text then garbage") << File(good + "\"Title\"=\"a\" b\r\n") << 5 << 1;
    QTest::newRow("unquoted name") << File(good + "Title=\"a\"\r\n") << 5 << 1;
    QTest::newRow("no equals") << File(good + "\"Title\"\r\n") << 5 << 1;
    QTest::newRow("empty name") << File(good + "\"\"=dword:00000001\r\n") << 5 << 1;
    QTest::newRow("cut off in the middle") << File(good + "\"Tit") << 5 << 1;
    QTest::newRow("continued hex") << File(good + "\"Blob\"=hex:01,\\\r\n  02\r\n") << 5 << 1;
}

void RegFormatTest::damagedLineEndsTheReading() {
    QFETCH(QByteArray, data);
    QFETCH(int, line);
    QFETCH(int, valuesBefore);
    const RegReadResult r = RegFormat::Read(data, kKey);
    QCOMPARE(r.damagedLine, line);
    QVERIFY(!r.damage.isEmpty());
    QCOMPARE(r.values.size(), valuesBefore);
}

void RegFormatTest::writesARegistryExport() {
    const QByteArray text = RegFormat::Write({{QStringLiteral("Port"), 0},
                                              {QStringLiteral("Alg"), -1},
                                              {QStringLiteral("C4"), 0xFFFF},
                                              {QStringLiteral("Sound"), true},
                                              {QStringLiteral("Title"), QStringLiteral("Lauf \"A\" C:\\x")}},
                                             kKey);
    QCOMPARE(text, QByteArray("Windows Registry Editor Version 5.00\r\n"
                              "\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]\r\n"
                              "\"Port\"=dword:00000000\r\n"
                              "\"Alg\"=dword:ffffffff\r\n"
                              "\"C4\"=dword:0000ffff\r\n"
                              "\"Sound\"=dword:00000001\r\n"
                              "\"Title\"=\"Lauf \\\"A\\\" C:\\\\x\"\r\n"
                              "\r\n"));
}

void RegFormatTest::roundTripKeepsTypes() {
    const QList<RegValue> values = {{QStringLiteral("Port"), 7},
                                    {QStringLiteral("Width"), int(0x80000000u)},
                                    {QStringLiteral("Title"), QStringLiteral("Äußere \\\"Runde\\\"")},
                                    {QStringLiteral("Number text"), QStringLiteral("12")},
                                    {QStringLiteral("Blob"), QByteArray("hex:00,ff")},
                                    {QStringLiteral("Empty"), QString()}};
    const RegReadResult r = RegFormat::Read(RegFormat::Write(values, kKey), kKey);
    QCOMPARE(r.damagedLine, 0);
    QCOMPARE(r.values.size(), values.size());
    for (int i = 0; i < values.size(); ++i) {
        QCOMPARE(r.values[i].name, values[i].name);
        QCOMPARE(r.values[i].value.typeId(), values[i].value.typeId());
        QCOMPARE(r.values[i].value, values[i].value);
    }
}

void RegFormatTest::lineBreakInATextStaysOnOneLine() {
    const QByteArray text = RegFormat::Write({{QStringLiteral("Title"), QStringLiteral("a\r\nb")}}, kKey);
    const RegReadResult r = RegFormat::Read(text, kKey);
    QCOMPARE(r.damagedLine, 0);
    QCOMPARE(r.values.value(0).value, QVariant(QStringLiteral("a  b")));
}

QTEST_APPLESS_MAIN(RegFormatTest)
#include "tst_RegFormat.moc"
