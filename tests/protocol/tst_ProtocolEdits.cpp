// The rules of the protocol corrections, table-driven on a bare grid.
#include "GridTestUtil.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/ProtocolEdits.h"

#include <QtTest>

using namespace ProtocolEdits;

class tst_ProtocolEdits : public QObject {
    Q_OBJECT
private slots:
    void typedTime_data();
    void typedTime();
    void finishClock_data();
    void finishClock();
    void clocks_data();
    void clocks();
    void correctionWritesStoppAndEmptiesSplit();
    void correctionRefusesWithoutWriting();
    void correctionKeepsRawOfSameTime();
    void clearResultsKeepsAthlete();
    void moveIndividualFromRaw();
    void moveIndividualAfterRestartUsesClocks();
    void moveRefusedWithoutRunningTime();
    void moveRefusedWithoutResult();
    void moveMassStart();
    void clipboardText();
};

void tst_ProtocolEdits::typedTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("digits");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("m:ss,hh") << "10:05,23" << 2 << true << 605230;
    QTest::newRow("h:mm:ss,hh") << "1:02:03,45" << 2 << true << 3723450;
    QTest::newRow("seconds") << "5,23" << 2 << true << 5230;
    QTest::newRow("one fraction digit") << "5,2" << 2 << true << 5200;
    QTest::newRow("blanks around") << " 10:05,23 " << 2 << true << 605230;
    QTest::newRow("zero") << "0,00" << 2 << true << 0;
    QTest::newRow("tenths") << "10:05,2" << 1 << true << 605200;
    QTest::newRow("no fraction under 0") << "1:05" << 0 << true << 65000;
    QTest::newRow("letters") << "1o:05,23" << 2 << false << 0;
    QTest::newRow("negative") << "-10:05,23" << 2 << false << 0;
    QTest::newRow("too many hour digits") << "123:00:00,00" << 2 << false << 0;
    QTest::newRow("too many fraction digits") << "10:05,234" << 2 << false << 0;
    QTest::newRow("four fields") << "1:00:00:00,00" << 2 << false << 0;
    QTest::newRow("minutes 60") << "1:60:00,00" << 2 << false << 0;
    QTest::newRow("one-digit seconds field") << "1:5,23" << 2 << false << 0;
    QTest::newRow("no comma under 2") << "10:05" << 2 << false << 0;
    QTest::newRow("two commas") << "1,0,0" << 2 << false << 0;
    QTest::newRow("empty") << "" << 2 << false << 0;
    QTest::newRow("inner blank") << "10: 05,23" << 2 << false << 0;
}

void tst_ProtocolEdits::typedTime() {
    QFETCH(QString, text);
    QFETCH(int, digits);
    QFETCH(bool, ok);
    QFETCH(int, value);
    TimeValue v = -1;
    QCOMPARE(ReadTypedTime(text, digits, v), ok);
    if (ok) {
        QCOMPARE(v, value);
        QCOMPARE(TextToTime(text.trimmed(), digits), value);
    }
}

void tst_ProtocolEdits::finishClock_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("stopp");
    QTest::newRow("ten o'clock") << "10:00:00,00" << 605230 << 2 << "10:10:05,23";
    // Every clock text alike: a leading blank below 10 h, always hundredths.
    QTest::newRow("nine o'clock, leading blank") << " 9:00:00,00" << 605230 << 2 << " 9:10:05,23";
    QTest::newRow("past midnight") << "23:59:00,00" << 120000 << 2 << " 0:01:00,00";
    QTest::newRow("exactly midnight") << "23:00:00,00" << 3600000 << 2 << " 0:00:00,00";
    QTest::newRow("tenths") << "10:00:00,00" << 605230 << 1 << "10:10:05,23";
    QTest::newRow("whole seconds") << "10:00:00,00" << 605230 << 0 << "10:10:05,23";
}

void tst_ProtocolEdits::finishClock() {
    QFETCH(QString, start);
    QFETCH(int, running);
    QFETCH(int, digits);
    QFETCH(QString, stopp);
    QCOMPARE(FinishClockText(TextToTime(start, digits), running), stopp);
}

void tst_ProtocolEdits::clocks_data() {
    QTest::addColumn<QString>("stopp");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("running");
    QTest::newRow("same day") << "10:10:05,23"
                              << "10:00:00,00" << true << 605230;
    QTest::newRow("across midnight") << " 0:00:35,00"
                                     << "23:59:30,00" << true << 65000;
    QTest::newRow("start at midnight") << " 0:01:00,00"
                                       << " 0:00:00,00" << true << 60000;
    QTest::newRow("equal") << "10:00:00,00"
                           << "10:00:00,00" << false << 0;
    QTest::newRow("no start") << "10:00:00,00"
                              << "" << false << 0;
    QTest::newRow("no stopp") << "-"
                              << "10:00:00,00" << false << 0;
}

void tst_ProtocolEdits::clocks() {
    QFETCH(QString, stopp);
    QFETCH(QString, start);
    QFETCH(bool, ok);
    QFETCH(int, running);
    TimeValue t = -1;
    QCOMPARE(RunningTimeFromClocks(stopp, start, 2, t), ok);
    if (ok)
        QCOMPARE(t, running);
}

namespace {
void Row(SortGridData& g, int row, const QStringList& cells) {
    if (g.RowCount() <= row)
        g.SetRowCount(row + 1);
    g.SetRows(row, cells);
}
} // namespace

void tst_ProtocolEdits::correctionWritesStoppAndEmptiesSplit() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"1", "17", "A", "B", "", "", "", "", "10:00:00,00", "10:09:00,00", "10:05,23", "0,00", "540000"});
    QString error;
    QVERIFY(CorrectRunningTime(g, 1, 2, error));
    QCOMPARE(RowText(g, 1), QStringLiteral("1|17|A|B|||||10:00:00,00|10:10:05,23|10:05,23||605230"));
}

void tst_ProtocolEdits::correctionRefusesWithoutWriting() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"1", "17", "", "", "", "", "", "", "10:00:00,00", "10:09:00,00", "abc", "0,00", "540000"});
    const QString before = RowText(g, 1);
    QString error;
    QVERIFY(!CorrectRunningTime(g, 1, 2, error));
    QVERIFY(error.contains(QStringLiteral("abc")));
    QCOMPARE(RowText(g, 1), before);
}

void tst_ProtocolEdits::correctionKeepsRawOfSameTime() {
    SortGridData g;
    MakeProtocolGrid(g);
    // The milliseconds of the tick stay when the shown time was not changed.
    Row(g, 1, {"1", "17", "", "", "", "", "", "", "10:00:00,00", "10:10:05,23", "10:05,23", "", "605237"});
    QString error;
    QVERIFY(CorrectRunningTime(g, 1, 2, error));
    QCOMPARE(g.Cell(Col::Raw, 1), QStringLiteral("605237"));
    // A typed time in another form is written as the program writes times.
    g.SetCell(Col::Zeit, 1, QStringLiteral("75,5"));
    QVERIFY(CorrectRunningTime(g, 1, 2, error));
    QCOMPARE(g.Cell(Col::Zeit, 1), QStringLiteral("1:15,50"));
    QCOMPARE(g.Cell(Col::Raw, 1), QStringLiteral("75500"));
}

void tst_ProtocolEdits::clearResultsKeepsAthlete() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"1", "17", "A", "B", "1990", "SC", "M", "1", "10:00:00,00", "10:10:05,23", "10:05,23", "0,00", "1"});
    ClearResults(g, 1);
    QCOMPARE(RowText(g, 1), QStringLiteral("|17|A|B|1990|SC|M"));
}

void tst_ProtocolEdits::moveIndividualFromRaw() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"-", "5", "Anna", "", "", "", "", "", "10:00:30,00", "", "", "0:30,00", "1000"});
    Row(g, 2, {"-", "-2", "", "", "", "", "", "", "10:00:00,00", "10:10:05,23", "10:05,23", "", "605230"});
    ResultMove m;
    m.from = 2;
    m.to = 1;
    QString error;
    QVERIFY(PrepareResultMove(g, m, 2, error));
    QCOMPARE(m.runningTime, 605230 - 30000);
    ApplyResultMove(g, m, 2);
    QCOMPARE(g.Cell(Col::Zeit, 1), QStringLiteral("9:35,23"));
    QCOMPARE(g.Cell(Col::Raw, 1), QStringLiteral("575230"));
    QCOMPARE(g.Cell(Col::Split, 1), QString());
    QCOMPARE(g.Cell(Col::Stopp, 1), QStringLiteral("10:10:05,23"));
}

void tst_ProtocolEdits::moveIndividualAfterRestartUsesClocks() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {" ", "5", "Anna", " ", " ", " ", " ", " ", " ", " ", " ", " ", ""});
    Row(g, 2, {"-", "-2", " ", " ", " ", " ", " ", " ", "23:59:30,00", " 0:00:35,00", "1:05,00", " ", ""});
    ResultMove m;
    m.from = 2;
    m.to = 1;
    QString error;
    QVERIFY2(PrepareResultMove(g, m, 2, error), qPrintable(error));
    QCOMPARE(m.runningTime, 65000);
    ApplyResultMove(g, m, 2);
    QCOMPARE(g.Cell(Col::Zeit, 1), QStringLiteral("1:05,00"));
    QCOMPARE(g.Cell(Col::Start, 1), QStringLiteral("23:59:30,00"));
}

void tst_ProtocolEdits::moveRefusedWithoutRunningTime() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"", "5", "Anna", "", "", "", "", "", "", "", "", "", ""});
    Row(g, 2, {"-", "-2", "", "", "", "", "", "", "", "", "10:05,23", "", "x"});
    const QString before = GridText(g);
    ResultMove m;
    m.from = 2;
    m.to = 1;
    QString error;
    QVERIFY(!PrepareResultMove(g, m, 2, error));
    QVERIFY(error.contains(QStringLiteral("Zeile 2")));
    QCOMPARE(GridText(g), before);
}

void tst_ProtocolEdits::moveRefusedWithoutResult() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"1", "5", "", "", "", "", "", "", "", "", "10:00,00", "", "600000"});
    Row(g, 2, {"-", "-2", "", "", "", "", "", "", "10:00:00,00", "", "", "", "12345"});
    for (bool mass : {false, true}) {
        ResultMove m;
        m.from = 2;
        m.to = 1;
        m.massStart = mass;
        QString error;
        QVERIFY(!PrepareResultMove(g, m, 2, error));
        QVERIFY(error.contains(QStringLiteral("keine Zeit")));
    }
}

void tst_ProtocolEdits::moveMassStart() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"", "5", "Anna", "", "", "", "", "", "", "", "", "", ""});
    Row(g, 2, {"", "", "", "", "", "", "", "", "", "10:12:00,00", "12:00,00", "+1:00,00", "720000"});
    ResultMove m;
    m.from = 2;
    m.to = 1;
    m.massStart = true;
    QString error;
    QVERIFY(PrepareResultMove(g, m, 2, error));
    ApplyResultMove(g, m, 2);
    QCOMPARE(g.Cell(Col::Zeit, 1), QStringLiteral("12:00,00"));
    QCOMPARE(g.Cell(Col::Split, 1), QStringLiteral("+1:00,00"));
    QCOMPARE(FindOtherRow(g, QStringLiteral("5"), 2), 1);
    QCOMPARE(FindOtherRow(g, QStringLiteral("5"), 1), -1);
}

void tst_ProtocolEdits::clipboardText() {
    SortGridData g;
    MakeProtocolGrid(g);
    Row(g, 1, {"1", "17", "A", "B", "", "", "M;W", "1", "", "", "10:05,23", "0,00", "605230"});
    const QString expected = DefaultCaptions().join(QLatin1Char('\t')) + QStringLiteral("\r\n") +
                             QStringLiteral("1\t17\tA\tB\t\t\t\"M;W\"\t1\t\t\t10:05,23\t0,00\t605230\r\n");
    QCOMPARE(ClipboardText(g), expected);
}

QTEST_APPLESS_MAIN(tst_ProtocolEdits)
#include "tst_ProtocolEdits.moc"
