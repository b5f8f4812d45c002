#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "support/DirectSettings.h"
#include "support/FakeClock.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/TDigit.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
const QColor kBlack(0, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kGrey(64, 64, 64);
const QColor kBlue(72, 116, 217);

TimeValue Hms(int h, int m, int s, int hundredths) {
    return ((h * 60 + m) * 60 + s) * 1000 + hundredths * 10;
}
} // namespace

class TimeDisplayTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void upperRow_data();
    void upperRow();
    void lowerRow_data();
    void lowerRow();
    void fractionDigits_data();
    void fractionDigits();
    void clockOfDay();
    void timeSinceStartStaysZeroBeforeStart();
    void otherTimeSourceLeavesUpperRow();
    void coloursTakeEffectOnlyOnRepaint();
    void coloursComeFromAndGoToSettings();
    void timerPreset();
    void dateAndTime();
    void upperRowRepaintsOnlyChangedDigits();

private:
    static void AddRowColumns();
    QString Digits(const std::array<TDigit*, 8>& row) const;
    QString LitMask(const std::array<TDigit*, 8>& row, const QColor& lit) const;

    std::unique_ptr<QWidget> m_window;
    TSettings m_settings;
    DirectSettings m_direct{m_settings};
    FakeClock m_clock;
    QLabel* m_date = nullptr;
    QLabel* m_time = nullptr;
    TimePanelControls m_c;
    std::unique_ptr<TimeDisplay> m_display;
};

void TimeDisplayTest::init() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_settings = TSettings();
    m_clock = FakeClock(1000, QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
    m_window = std::make_unique<QWidget>();
    m_window->resize(540, 280);
    m_date = new QLabel(m_window.get());
    m_time = new QLabel(m_window.get());
    m_c = BuildTimePanel(m_window.get());
    m_display = std::make_unique<TimeDisplay>(m_c, m_date, m_time, m_clock, m_settings);
    m_display->SetSettingsWriter(m_direct);
}

void TimeDisplayTest::cleanup() {
    m_display.reset();
    m_window.reset();
}

QString TimeDisplayTest::Digits(const std::array<TDigit*, 8>& row) const {
    QString s;
    for (TDigit* d : row)
        s += QString::number(d->Value());
    return s;
}

// "1" for a digit drawn in the lit colour, "0" for a dimmed one.
QString TimeDisplayTest::LitMask(const std::array<TDigit*, 8>& row, const QColor& lit) const {
    QString s;
    for (TDigit* d : row) {
        if (d->ColorOn() == lit)
            s += QLatin1Char('1');
        else if (d->ColorOn() == kGrey)
            s += QLatin1Char('0');
        else
            s += QLatin1Char('?');
        if (d->ColorOff() != kBlack || d->Color() != kBlack)
            s += QLatin1Char('!');
    }
    return s;
}

void TimeDisplayTest::AddRowColumns() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("lit");
    QTest::addColumn<bool>("hoursLit");
    QTest::addColumn<bool>("minutesLit");
}

void TimeDisplayTest::upperRow_data() {
    AddRowColumns();
    QTest::newRow("0") << 0 << "00000000"
                       << "00000111" << false << false;
    QTest::newRow("5,23") << Hms(0, 0, 5, 23) << "00000523"
                          << "00000111" << false << false;
    QTest::newRow("12,5") << Hms(0, 0, 12, 50) << "00001250"
                          << "00001111" << false << false;
    QTest::newRow("1:05,23") << Hms(0, 1, 5, 23) << "00010523"
                             << "00011111" << false << true;
    QTest::newRow("10:00,00") << Hms(0, 10, 0, 0) << "00100000"
                              << "00111111" << false << true;
    QTest::newRow("9:59:59,99") << Hms(9, 59, 59, 99) << "09595999"
                                << "01111111" << true << true;
    QTest::newRow("10:00:00,00") << Hms(10, 0, 0, 0) << "10000000"
                                 << "11111111" << true << true;
    QTest::newRow("milliseconds truncated") << Hms(0, 0, 1, 0) + 9 << "00000100"
                                            << "00000111" << false << false;
    QTest::newRow("123 h modulo 100") << Hms(123, 4, 5, 6) << "23040506"
                                      << "11111111" << true << true;
    QTest::newRow("100 h shows 0 h") << Hms(100, 0, 7, 0) << "00000700"
                                     << "00000111" << false << false;
}

void TimeDisplayTest::upperRow() {
    QFETCH(int, value);
    QFETCH(QString, digits);
    QFETCH(QString, lit);
    QFETCH(bool, hoursLit);
    QFETCH(bool, minutesLit);
    m_display->ShowUpper(Hms(11, 11, 11, 11)); // everything lit before
    m_display->ShowUpper(value);
    QCOMPARE(Digits(m_c.Upper), digits);
    QCOMPARE(LitMask(m_c.Upper, kLime), lit);
    const auto colour = [](QLabel* l) { return l->palette().color(QPalette::WindowText); };
    QCOMPARE(colour(m_c.LabHour), hoursLit ? kLime : kGrey);
    QCOMPARE(colour(m_c.Lab_Hour), hoursLit ? kLime : kGrey);
    QCOMPARE(colour(m_c.LabMin), minutesLit ? kLime : kGrey);
    QCOMPARE(colour(m_c.Lab_Min), minutesLit ? kLime : kGrey);
    QCOMPARE(colour(m_c.LabSec), kLime);
    QCOMPARE(colour(m_c.Lab_sek), kLime);
    // The lower row is not touched.
    QCOMPARE(Digits(m_c.Lower), QStringLiteral("00000000"));
}

void TimeDisplayTest::lowerRow_data() {
    AddRowColumns();
    QTest::newRow("0") << 0 << "00000000"
                       << "00000000" << false << false;
    QTest::newRow("0,01") << 10 << "00000001"
                          << "00000111" << false << false;
    QTest::newRow("9 ms is 0") << 9 << "00000000"
                               << "00000000" << false << false;
    QTest::newRow("5,23") << Hms(0, 0, 5, 23) << "00000523"
                          << "00000111" << false << false;
    QTest::newRow("1:05,23") << Hms(0, 1, 5, 23) << "00010523"
                             << "00011111" << false << true;
    QTest::newRow("9:59:59,99") << Hms(9, 59, 59, 99) << "09595999"
                                << "01111111" << true << true;
    QTest::newRow("10:00:00,00") << Hms(10, 0, 0, 0) << "10000000"
                                 << "11111111" << true << true;
    QTest::newRow("100 h is 0") << Hms(100, 0, 0, 0) << "00000000"
                                << "00000000" << false << false;
}

void TimeDisplayTest::lowerRow() {
    QFETCH(int, value);
    QFETCH(QString, digits);
    QFETCH(QString, lit);
    QFETCH(bool, hoursLit);
    QFETCH(bool, minutesLit);
    m_display->ShowLower(Hms(11, 11, 11, 11));
    m_display->ShowLower(value);
    QCOMPARE(Digits(m_c.Lower), digits);
    QCOMPARE(LitMask(m_c.Lower, kYellow), lit);
    const auto colour = [](QLabel* l) { return l->palette().color(QPalette::WindowText); };
    QCOMPARE(colour(m_c.LabHour2), hoursLit ? kYellow : kGrey);
    QCOMPARE(colour(m_c.LabMin2), minutesLit ? kYellow : kGrey);
    QCOMPARE(colour(m_c.LabSec2), lit.endsWith(QLatin1Char('1')) ? kYellow : kGrey);
    QCOMPARE(Digits(m_c.Upper), QStringLiteral("00000000"));
}

void TimeDisplayTest::fractionDigits_data() {
    QTest::addColumn<int>("digits");
    QTest::addColumn<bool>("tenths");
    QTest::addColumn<bool>("hundredths");
    QTest::addColumn<int>("captionLeft");
    QTest::addColumn<QString>("caption");
    QTest::newRow("2") << 2 << true << true << 366 << "1/100";
    QTest::newRow("1") << 1 << true << false << 346 << "1/10";
    QTest::newRow("0") << 0 << false << false << 326 << "";
}

void TimeDisplayTest::fractionDigits() {
    QFETCH(int, digits);
    QFETCH(bool, tenths);
    QFETCH(bool, hundredths);
    QFETCH(int, captionLeft);
    QFETCH(QString, caption);
    m_display->ApplyFractionDigits(0); // from another setting
    m_display->ApplyFractionDigits(digits);
    QCOMPARE(!m_c.Upper[6]->isHidden(), tenths);
    QCOMPARE(!m_c.Lower[6]->isHidden(), tenths);
    QCOMPARE(!m_c.Upper[7]->isHidden(), hundredths);
    QCOMPARE(!m_c.Lower[7]->isHidden(), hundredths);
    QCOMPARE(!m_c.LabSec->isHidden(), tenths);
    QCOMPARE(!m_c.LabSec2->isHidden(), tenths);
    QCOMPARE(!m_c.Lab_100->isHidden(), tenths);
    QCOMPARE(m_c.Lab_100->x(), captionLeft);
    QCOMPARE(m_c.Lab_100->y(), 102);
    if (!caption.isEmpty())
        QCOMPARE(m_c.Lab_100->text(), caption);
    // The seconds units always stay; hidden digits keep receiving values.
    QVERIFY(!m_c.Upper[5]->isHidden());
    m_display->ShowUpper(Hms(0, 0, 1, 23));
    QCOMPARE(m_c.Upper[7]->Value(), 3);
}

void TimeDisplayTest::clockOfDay() {
    m_settings.FormatZeit = 0;
    m_display->StartClock(m_clock.tick());
    m_clock.Advance(Hms(0, 12, 34, 56) + 7);
    m_display->ClockTimer();
    QCOMPARE(Digits(m_c.Upper), QStringLiteral("09123456"));
    QCOMPARE(LitMask(m_c.Upper, kLime), QStringLiteral("01111111"));
}

void TimeDisplayTest::timeSinceStartStaysZeroBeforeStart() {
    m_settings.FormatZeit = 1;
    QVERIFY(!m_display->ClockRunning());
    m_clock.Advance(5000);
    m_display->ClockTimer();
    QCOMPARE(m_display->UpperValue(), 0);
    QCOMPARE(Digits(m_c.Upper), QStringLiteral("00000000"));

    // From the first START on it counts from the run start tick, across a wrap of the tick.
    m_clock.SetTick(0xFFFFFF00u);
    m_display->StartClock(m_clock.tick());
    QVERIFY(m_display->ClockRunning());
    m_clock.Advance(61230);
    m_display->ClockTimer();
    QCOMPARE(Digits(m_c.Upper), QStringLiteral("00010123"));

    // After ENDE the clock no longer moves the upper row.
    m_display->StopClock();
    m_display->ShowUpper(0);
    m_clock.Advance(1000);
    m_display->ClockTimer();
    QCOMPARE(m_display->UpperValue(), 0);
}

void TimeDisplayTest::otherTimeSourceLeavesUpperRow() {
    m_settings.FormatZeit = 2;
    m_display->ShowUpper(4560);
    m_display->StartClock(m_clock.tick());
    m_clock.Advance(3000);
    m_display->ClockTimer();
    QCOMPARE(m_display->UpperValue(), 4560);
}

void TimeDisplayTest::coloursTakeEffectOnlyOnRepaint() {
    m_display->SetLowerLit(kBlue);
    m_display->ShowLower(5000);
    QCOMPARE(m_c.Lower[5]->ColorOn(), kYellow);
    m_display->RepaintWithColorSet();
    QCOMPARE(m_c.Lower[5]->ColorOn(), kBlue);
    QCOMPARE(m_c.Lower[4]->ColorOn(), kGrey);
    QCOMPARE(m_c.Upper[5]->ColorOn(), kLime);

    // START in individual start: values change, the digits keep the blue until the next repaint.
    m_display->SetStartColors();
    QCOMPARE(m_display->LowerLit(), kYellow);
    m_display->ShowLower(0);
    m_display->ShowLower(2000);
    QCOMPARE(m_c.Lower[5]->ColorOn(), kBlue);
    m_display->RepaintWithColorSet();
    QCOMPARE(m_c.Lower[5]->ColorOn(), kYellow);
}

void TimeDisplayTest::coloursComeFromAndGoToSettings() {
    m_display.reset();
    m_settings.C1 = 0x800000; // navy: red 0, green 0, blue 128
    m_settings.C2 = 0x0000FF; // red
    m_settings.Acc = 1;
    m_display = std::make_unique<TimeDisplay>(m_c, m_date, m_time, m_clock, m_settings);
    m_display->SetSettingsWriter(m_direct);
    QVERIFY(m_c.Upper[7]->isHidden());
    QCOMPARE(m_display->Background(), QColor(0, 0, 128));
    QCOMPARE(m_display->UpperLit(), QColor(255, 0, 0));
    QCOMPARE(m_c.Upper[5]->ColorOn(), QColor(255, 0, 0));
    QCOMPARE(m_c.Upper[0]->ColorOff(), QColor(0, 0, 128));
    QCOMPARE(m_c.PanelTimer->palette().color(QPalette::Window), QColor(0, 0, 128));

    m_display->SetLowerLit(kBlue);
    QCOMPARE(m_settings.C4, 0xD97448u);
    m_display->SetStartColors();
    QCOMPARE(m_settings.C2, 0x00FF00u);
    QCOMPARE(m_settings.C3, 0x404040u);
    QCOMPARE(m_settings.C4, 0x00FFFFu);
    QCOMPARE(m_settings.C1, 0x800000u);
}

void TimeDisplayTest::timerPreset() {
    m_display->ShowUpper(Hms(1, 2, 3, 4));
    m_display->TimerPreset(0);
    QCOMPARE(m_display->UpperValue(), Hms(1, 2, 3, 4));
    QCOMPARE(m_display->LowerValue(), 0);

    m_display->TimerPreset(30);
    QCOMPARE(m_display->UpperValue(), 0);
    QCOMPARE(Digits(m_c.Lower), QStringLiteral("00003000"));
    QCOMPARE(LitMask(m_c.Lower, kBlue), QStringLiteral("00001111"));
    QCOMPARE(m_display->LowerLit(), kBlue);
}

void TimeDisplayTest::dateAndTime() {
    m_clock.SetNow(QDateTime(QDate(2011, 3, 20), QTime(23, 0, 0)));
    m_display->TimerDateTimer();
    QCOMPARE(m_date->text(), QStringLiteral("20.03.2011"));
    QCOMPARE(m_time->text(), QStringLiteral("23:00:00"));
    auto* timer = m_display->findChild<QTimer*>(QStringLiteral("TimerDate"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 500);
    auto* clock = m_display->findChild<QTimer*>(QStringLiteral("Clock"));
    QVERIFY(clock && !clock->isActive());
    QCOMPARE(clock->interval(), 10);
}

void TimeDisplayTest::upperRowRepaintsOnlyChangedDigits() {
    m_settings.FormatZeit = 1;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_display->StartClock(m_clock.tick());
    m_clock.Advance(Hms(1, 23, 45, 67));
    m_display->ClockTimer();
    QCoreApplication::processEvents();
    QTRY_VERIFY(m_c.Upper[7]->PaintCount() > 0);
    m_display->StopClock(); // the test fires the slot itself
    m_display->StartClock(m_clock.tick() - Hms(1, 23, 45, 67));
    m_display->ClockTimer();
    QCoreApplication::processEvents();

    const auto counts = [&] {
        std::array<int, 8> n{};
        for (int i = 0; i < 8; ++i)
            n[i] = m_c.Upper[i]->PaintCount();
        return n;
    };
    const auto painted = [&](const std::array<int, 8>& before) {
        QString s;
        for (int i = 0; i < 8; ++i)
            s += QString::number(m_c.Upper[i]->PaintCount() - before[i]);
        return s;
    };

    auto before = counts();
    m_clock.Advance(10); // 1:23:45,68
    m_display->ClockTimer();
    QCoreApplication::processEvents();
    QCOMPARE(painted(before), QStringLiteral("00000001"));

    before = counts();
    m_clock.Advance(3); // same hundredth
    m_display->ClockTimer();
    QCoreApplication::processEvents();
    QCOMPARE(painted(before), QStringLiteral("00000000"));

    before = counts();
    m_clock.Advance(327); // 1:23:46,00
    m_display->ClockTimer();
    QCoreApplication::processEvents();
    QCOMPARE(painted(before), QStringLiteral("00000111"));
    m_display->StopClock();
}

QTEST_MAIN(TimeDisplayTest)
#include "tst_TimeDisplay.moc"
