#include "core/base/TimeText.h"
#include "core/platform/Clock.h"

#include <QtTest>

class TimeTextTest : public QObject {
    Q_OBJECT
private slots:
    void timeToText_data();
    void timeToText();
    void textToTime_data();
    void textToTime();
    void roundTrip_data();
    void roundTrip();
    void clockText_data();
    void clockText();
    void clockTextReadsUnderEverySetting();
    void hasTimeText_data();
    void hasTimeText();
    void fileStamp();
    void tickDifferenceAcrossWrap_data();
    void tickDifferenceAcrossWrap();
};

void TimeTextTest::timeToText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("two");
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("zero");
    QTest::newRow("0") << 0 << "0,00"
                       << "0,0"
                       << "0";
    QTest::newRow("5230") << 5230 << "5,23"
                          << "5,2"
                          << "5";
    QTest::newRow("5239") << 5239 << "5,23"
                          << "5,2"
                          << "5";
    QTest::newRow("5290") << 5290 << "5,29"
                          << "5,2"
                          << "5";
    QTest::newRow("65230") << 65230 << "1:05,23"
                           << "1:05,2"
                           << "1:05";
    QTest::newRow("600000") << 600000 << "10:00,00"
                            << "10:00,0"
                            << "10:00";
    QTest::newRow("3723450") << 3723450 << "1:02:03,45"
                             << "1:02:03,4"
                             << "1:02:03";
    QTest::newRow("36000000") << 36000000 << "10:00:00,00"
                              << "10:00:00,0"
                              << "10:00:00";
    QTest::newRow("9999 truncates") << 9999 << "9,99"
                                    << "9,9"
                                    << "9";
    QTest::newRow("59999") << 59999 << "59,99"
                           << "59,9"
                           << "59";
    QTest::newRow("60000") << 60000 << "1:00,00"
                           << "1:00,0"
                           << "1:00";
    QTest::newRow("100 h wraps") << 360000000 << "0,00"
                                 << "0,0"
                                 << "0";
    QTest::newRow("123 h") << 442800000 << "23:00:00,00"
                           << "23:00:00,0"
                           << "23:00:00";
    QTest::newRow("10 s") << 10000 << "10,00"
                          << "10,0"
                          << "10";
}

void TimeTextTest::timeToText() {
    QFETCH(int, value);
    QFETCH(QString, two);
    QFETCH(QString, one);
    QFETCH(QString, zero);
    QCOMPARE(TimeToText(value, 2), two);
    QCOMPARE(TimeToText(value, 1), one);
    QCOMPARE(TimeToText(value, 0), zero);
}

void TimeTextTest::textToTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("value");
    QTest::newRow("1:23,45") << "1:23,45" << 2 << 83450;
    QTest::newRow("5,2") << "5,2" << 2 << 5200;
    QTest::newRow("5,20") << "5,20" << 2 << 5200;
    QTest::newRow("12:34:56,78") << "12:34:56,78" << 2 << 45296780;
    QTest::newRow("clock text") << " 9:05:03,07" << 2 << 32703070;
    QTest::newRow("over-long") << "123:34:56,78" << 2 << 0;
    QTest::newRow("bare 1:05 under 2") << "1:05" << 2 << 1050;
    QTest::newRow("unreadable field") << "xx:01:02,03" << 2 << 62030;
    QTest::newRow("empty") << "" << 2 << 0;
    QTest::newRow("dash") << "-" << 2 << 0;
    QTest::newRow("tenths") << "1:05,2" << 1 << 65200;
    QTest::newRow("tenths ignore hundredths") << "1:05,27" << 1 << 65200;
    QTest::newRow("zero digits 1:05") << "1:05" << 0 << 65000;
    QTest::newRow("zero digits 1:02:03") << "1:02:03" << 0 << 3723000;
    QTest::newRow("zero digits 59") << "59" << 0 << 59000;
    QTest::newRow("zero digits too long") << "100:02:03" << 0 << 0;
    QTest::newRow("zero digits clock text") << " 9:05:03,07" << 0 << 32703000;
}

void TimeTextTest::textToTime() {
    QFETCH(QString, text);
    QFETCH(int, digits);
    QFETCH(int, value);
    QCOMPARE(TextToTime(text, digits), value);
}

void TimeTextTest::roundTrip_data() {
    QTest::addColumn<int>("digits");
    QTest::newRow("2") << 2;
    QTest::newRow("1") << 1;
    QTest::newRow("0") << 0;
}

// Every text written under a setting reads back under it to the value truncated to its resolution.
void TimeTextTest::roundTrip() {
    QFETCH(int, digits);
    const int resolution = digits == 2 ? 10 : digits == 1 ? 100 : 1000;
    for (int v = 0; v < 100 * 3600000; v += 997 * 61 + 7) {
        const int expected = v - v % resolution;
        QCOMPARE(TextToTime(TimeToText(v, digits), digits), expected);
    }
}

void TimeTextTest::clockText_data() {
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("9:05:03,07") << 9 << 5 << 3 << 70 << " 9:05:03,07";
    QTest::newRow("14:05:03,00") << 14 << 5 << 3 << 7 << "14:05:03,00";
    QTest::newRow("midnight") << 0 << 0 << 0 << 0 << " 0:00:00,00";
    QTest::newRow("last") << 23 << 59 << 59 << 999 << "23:59:59,99";
}

void TimeTextTest::clockText() {
    QFETCH(int, h);
    QFETCH(int, m);
    QFETCH(int, s);
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(ClockText(h, m, s, ms), text);
    QCOMPARE(ClockText(QTime(h, m, s, ms)), text);
}

void TimeTextTest::clockTextReadsUnderEverySetting() {
    for (int digits = 0; digits <= 2; ++digits) {
        const int resolution = digits == 2 ? 10 : digits == 1 ? 100 : 1000;
        for (int ms = 0; ms < 86400000; ms += 3599993) {
            const QTime t = QTime::fromMSecsSinceStartOfDay(ms);
            QCOMPARE(TextToTime(ClockText(t), digits), ms - ms % resolution);
        }
    }
}

void TimeTextTest::hasTimeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("has");
    QTest::newRow("dash") << "-" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("zero") << "0,00" << true;
    QTest::newRow("padded dash") << " - " << true;
    QTest::newRow("time") << "1:05,23" << true;
}

void TimeTextTest::hasTimeText() {
    QFETCH(QString, text);
    QFETCH(bool, has);
    QCOMPARE(HasTimeText(text), has);
}

void TimeTextTest::fileStamp() {
    QCOMPARE(FileStamp(QDateTime(QDate(2011, 3, 20), QTime(9, 5))), QStringLiteral("2011-03-20-09-05-00"));
    QCOMPARE(FileStamp(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59))), QStringLiteral("2026-12-07-23-59-59"));
}

void TimeTextTest::tickDifferenceAcrossWrap_data() {
    QTest::addColumn<quint32>("earlier");
    QTest::addColumn<quint32>("later");
    QTest::addColumn<int>("diff");
    QTest::newRow("plain") << 1000u << 66230u << 65230;
    QTest::newRow("across wrap") << 0xFFFFFF00u << 0x00000100u << 512;
    QTest::newRow("at wrap") << 0xFFFFFFFFu << 0u << 1;
    QTest::newRow("signed boundary") << 0x7FFFFFF0u << 0x80000010u << 32;
}

void TimeTextTest::tickDifferenceAcrossWrap() {
    QFETCH(quint32, earlier);
    QFETCH(quint32, later);
    QFETCH(int, diff);
    QCOMPARE(TickDiff(later, earlier), diff);
}

QTEST_APPLESS_MAIN(TimeTextTest)
#include "tst_TimeText.moc"
