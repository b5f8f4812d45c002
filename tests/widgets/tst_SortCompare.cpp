#include "core/grid/SortCompare.h"

#include <QLocale>
#include <QtTest>

class SortCompareTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void compare_data();
    void compare();
    void lowerAZ_data();
    void lowerAZ();
    void conversions_data();
    void conversions();
    void customFallsBackToBytes();
};

namespace {
int Sign(int v) {
    return (v > 0) - (v < 0);
}
} // namespace

void SortCompareTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void SortCompareTest::compare_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    const int bytes = int(TSortStyle::ssNormal);
    const int numeric = int(TSortStyle::ssNumeric);
    const int ext = int(TSortStyle::ssNumericExtended);
    const int dateTime = int(TSortStyle::ssDateTime);
    const int time = int(TSortStyle::ssTime);

    QTest::newRow("bytes plain") << bytes << "Abel"
                                 << "Bauer" << -1;
    QTest::newRow("bytes prefix first") << bytes << "Ab"
                                        << "Abc" << -1;
    QTest::newRow("bytes empty first") << bytes << ""
                                       << " " << -1;
    QTest::newRow("bytes equal") << bytes << "Lauf"
                                 << "Lauf" << 0;
    QTest::newRow("bytes upper before lower") << bytes << "Z"
                                              << "a" << -1;
    QTest::newRow("bytes umlaut after z") << bytes << "\u00e4"
                                          << "z" << 1;
    QTest::newRow("bytes euro is 0x80") << bytes << "\u20ac"
                                        << "\u00a0" << -1;
    QTest::newRow("bytes euro after ascii") << bytes << "\u20ac"
                                            << "~" << 1;
    QTest::newRow("bytes outside code page is ?") << bytes << "\u0100"
                                                  << "?" << 0;
    QTest::newRow("bytes pair outside code page is one ?") << bytes << "\U0001F600x"
                                                           << "?x" << 0;
    QTest::newRow("automatic compares bytes") << int(TSortStyle::ssAutomatic) << "10"
                                              << "9" << -1;

    QTest::newRow("numeric 9 10") << numeric << "9"
                                  << "10" << -1;
    QTest::newRow("numeric equal values") << numeric << "1,50"
                                          << "1,5" << 0;
    QTest::newRow("numeric comma") << numeric << "2,5"
                                   << "10" << -1;
    QTest::newRow("numeric empty by bytes") << numeric << ""
                                            << "9" << -1;
    QTest::newRow("numeric x by bytes") << numeric << "x"
                                        << "10" << 1;
    QTest::newRow("numeric no group separator") << numeric << "10.000"
                                                << "9" << -1;
    QTest::newRow("numeric negative") << numeric << "-3"
                                      << "2" << -1;

    QTest::newRow("ext kg") << ext << "12 kg"
                            << "9 kg" << 1;
    QTest::newRow("ext kg reversed") << ext << "9 kg"
                                     << "12 kg" << -1;
    QTest::newRow("ext Lauf") << ext << "Lauf 10"
                              << "Lauf 9" << 1;
    QTest::newRow("ext Lauf reversed") << ext << "Lauf 9"
                                       << "Lauf 10" << -1;
    QTest::newRow("ext both empty") << ext << ""
                                    << "" << 0;
    QTest::newRow("ext empty first") << ext << ""
                                     << "a" << -1;
    QTest::newRow("ext empty last") << ext << "a"
                                    << "" << 1;
    QTest::newRow("ext same text") << ext << "Lauf 3"
                                   << "Lauf 3" << 0;
    QTest::newRow("ext letters by bytes") << ext << "Lauf A"
                                          << "Lauf B" << -1;
    QTest::newRow("ext equal values put b first") << ext << "07"
                                                  << "7" << 1;
    QTest::newRow("ext equal values put b first too") << ext << "7"
                                                      << "07" << 1;
    QTest::newRow("ext negative") << ext << "-5 m"
                                  << "3 m" << -1;

    QTest::newRow("date order") << dateTime << "1.2.2024"
                                << "15.1.2024" << 1;
    QTest::newRow("date with time") << dateTime << "31.12.2023 23:59"
                                    << "1.1.2024 00:00" << -1;
    QTest::newRow("date same day time") << dateTime << "1.1.2024 9:00"
                                        << "1.1.2024 10:00" << -1;
    QTest::newRow("date invalid by bytes") << dateTime << "1.1.2024"
                                           << "x" << -1;
    QTest::newRow("date impossible day by bytes") << dateTime << "31.2.2024"
                                                  << "4.1.2024" << -1;

    QTest::newRow("time order") << time << "9:05:00"
                                << "10:00:00" << -1;
    QTest::newRow("time minutes") << time << "23:59"
                                  << "9:00" << 1;
    QTest::newRow("time fraction") << time << "10:00:00,5"
                                   << "10:00:00,25" << 1;
    QTest::newRow("time invalid hour by bytes") << time << "25:00"
                                                << "9:00" << -1;
    QTest::newRow("time empty by bytes") << time << ""
                                         << "0:00" << -1;
}

void SortCompareTest::compare() {
    QFETCH(int, style);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(Sign(CompareByStyle(TSortStyle(style), a, b)), expected);
}

void SortCompareTest::lowerAZ_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << "MeIER"
                           << "meier";
    QTest::newRow("umlauts stay") << "\u00c4RGER \u00d6"
                                  << "\u00c4rger \u00d6";
    QTest::newRow("no letters") << "12:05,3"
                                << "12:05,3";
}

void SortCompareTest::lowerAZ() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(LowerAZ(text), expected);
}

void SortCompareTest::conversions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<bool>("dateTime");
    QTest::addColumn<bool>("time");
    QTest::newRow("integer") << "12" << true << false << false;
    QTest::newRow("decimal comma") << " 1,5 " << true << false << false;
    QTest::newRow("date") << "24.12.2024" << false << true << false;
    QTest::newRow("date and time") << "24.12.2024 18:30:00" << false << true << false;
    QTest::newRow("time") << "18:30" << false << true << true;
    QTest::newRow("empty") << "" << false << false << false;
    QTest::newRow("blank") << "   " << false << false << false;
    QTest::newRow("word") << "Lauf" << false << false << false;
    QTest::newRow("time trailing junk") << "18:30x" << false << false << false;
}

void SortCompareTest::conversions() {
    QFETCH(QString, text);
    QFETCH(bool, number);
    QFETCH(bool, dateTime);
    QFETCH(bool, time);
    double v = 0;
    QCOMPARE(TextToFloat(text, v), number);
    QCOMPARE(TextToDateTimeMs(text, v), dateTime);
    QCOMPARE(TextToTimeMs(text, v), time);
}

void SortCompareTest::customFallsBackToBytes() {
    const TSortCompareFunc reversed = [](const QString& a, const QString& b) { return CompareBytes(b, a); };
    QVERIFY(CompareByStyle(TSortStyle::ssCustom, "a", "b", reversed) > 0);
    QVERIFY(CompareByStyle(TSortStyle::ssCustom, "a", "b") < 0);
}

QTEST_APPLESS_MAIN(SortCompareTest)
#include "tst_SortCompare.moc"
