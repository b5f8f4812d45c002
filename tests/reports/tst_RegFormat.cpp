#include "core/settings/RegFormat.h"

#include <QStringEncoder>
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
    void damagedLinesAreSkippedAndKept_data();
    void damagedLinesAreSkippedAndKept();
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

void RegFormatTest::damagedLinesAreSkippedAndKept_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("damaged");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("kept");
    const QByteArray good = "\"Port\"=dword:00000003\r\n";
    const QByteArray next = "\"Alg\"=dword:00000001\r\n";
    const QStringList both{"Port=3", "Alg=1"};
    QTest::newRow("no header") << QByteArray("REGEDIT4\r\n\r\n") << 1 << 2 << QStringList{}
                               << QStringList{"; nicht lesbar: REGEDIT4"};
    QTest::newRow("empty file") << QByteArray() << 0 << 0 << QStringList{} << QStringList{};
    QTest::newRow("value before the key is read")
        << QByteArray("Windows Registry Editor Version 5.00\r\n\"Port\"=dword:00000001\r\n") << 0 << 0
        << QStringList{"Port=1"} << QStringList{};
    QTest::newRow("other key kept with its values")
        << File(good + "[HKEY_CURRENT_USER\\Software\\Other]\r\n" + next) << 0 << 0 << QStringList{"Port=3"}
        << QStringList{"[HKEY_CURRENT_USER\\Software\\Other]", "\"Alg\"=dword:00000001"};
    QTest::newRow("nine hex digits") << File(good + "\"C1\"=dword:000000001\r\n" + next) << 5 << 1 << both
                                     << QStringList{"; nicht lesbar: \"C1\"=dword:000000001"};
    QTest::newRow("four hex digits") << File(good + "\"C1\"=dword:0000\r\n" + next) << 5 << 1 << both
                                     << QStringList{"; nicht lesbar: \"C1\"=dword:0000"};
    QTest::newRow("bad hex digit") << File(good + "\"C1\"=dword:0000000g\r\n" + next) << 5 << 1 << both
                                   << QStringList{"; nicht lesbar: \"C1\"=dword:0000000g"};
    QTest::newRow("text cut inside its quotes is read to the line end")
        << File(good + "\"Title\"=\"Stadtlauf 20\r\n" + next) << 5 << 1
        << QStringList{"Port=3", "Title=Stadtlauf 20", "Alg=1"} << QStringList{};
    QTest::newRow("unknown escape") << File(good + "\"Title\"=\"a\\nb\"\r\n" + next) << 5 << 1 << both
                                    << QStringList{"; nicht lesbar: \"Title\"=\"a\\nb\""};
    QTest::newRow("text then garbage") << File(good + "\"Title\"=\"a\" b\r\n" + next) << 5 << 1 << both
                                       << QStringList{"; nicht lesbar: \"Title\"=\"a\" b"};
    QTest::newRow("unquoted name, no equals, empty name")
        << File(good + "Title=\"a\"\r\n\"Title\"\r\n\"\"=dword:00000001\r\n" + next) << 5 << 3 << both
        << QStringList{"; nicht lesbar: Title=\"a\"", "; nicht lesbar: \"Title\"",
                       "; nicht lesbar: \"\"=dword:00000001"};
    QTest::newRow("cut off in the middle")
        << File(good + "\"Tit") << 5 << 1 << QStringList{"Port=3"} << QStringList{"; nicht lesbar: \"Tit"};
    QTest::newRow("continued hex") << File(good + "\"Blob\"=hex:01,\\\r\n  02\r\n") << 5 << 2 << QStringList{"Port=3"}
                                   << QStringList{"; nicht lesbar: \"Blob\"=hex:01,\\", "; nicht lesbar:   02"};
    QTest::newRow("comment kept, no damage")
        << File("; von Hand\r\n" + good) << 0 << 0 << QStringList{"Port=3"} << QStringList{"; von Hand"};
    QTest::newRow("CR line ends") << File(good + next, "\r").replace("\r\n", "\r") << 0 << 0 << both << QStringList{};
    QTest::newRow("Windows-1252 text") << File("\"Title\"=\"M\xFCller\"\r\n") << 0 << 0
                                       << QStringList{"Title=M\u00FCller"} << QStringList{};
    QTest::newRow("UTF-16 registry export")
        << QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                          .encode(QString::fromLatin1(File(good + next))))
        << 0 << 0 << both << QStringList{};
}

void RegFormatTest::damagedLinesAreSkippedAndKept() {
    QFETCH(QByteArray, data);
    QFETCH(int, line);
    QFETCH(int, damaged);
    QFETCH(QStringList, values);
    QFETCH(QStringList, kept);
    const RegReadResult r = RegFormat::Read(data, kKey);
    QCOMPARE(r.damagedLine, line);
    QCOMPARE(r.damagedLines, damaged);
    QCOMPARE(r.damage.isEmpty(), line == 0);
    QStringList read;
    for (const RegValue& v : r.values)
        read << v.name + "=" + v.value.toString();
    QCOMPARE(read, values);
    QCOMPARE(r.kept, kept);
    // Written back, the kept lines read as before and report nothing a second time.
    const RegReadResult again = RegFormat::Read(RegFormat::Write(r.values, kKey, r.kept), kKey);
    QCOMPARE(again.kept, kept);
    QCOMPARE(again.values, r.values);
    QCOMPARE(again.damagedLines, 0);
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
