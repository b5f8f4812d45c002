#include "ui/widgets/TDigit.h"

#include <QtTest>

#include <array>

// TDigit on a shown window: segments read back from the painted pixels.
class DigitTest : public QObject {
    Q_OBJECT
private slots:
    void segmentsOfDigits_data();
    void segmentsOfDigits();
    void onlyThePointOrNothingLit_data();
    void onlyThePointOrNothingLit();
    void overflowShowsZeroAndFiresEachTime();
    void overflowHandlerSeesCorrectedValueAndWins();
    void unchangedValueNeitherRepaintsNorFires();
    void changedSettersRepaint_data();
    void changedSettersRepaint();
    void thicknessLimit_data();
    void thicknessLimit();

private:
    // Lit state of the seven segments (bit order of ValueBinary) and the point, read from the picture.
    static quint8 LitSegments(TDigit& digit);
};

namespace {
const QColor kOn(255, 255, 0);
const QColor kOff(0, 0, 0);

void Flush() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}
} // namespace

quint8 DigitTest::LitSegments(TDigit& digit) {
    const QImage img = digit.grab().toImage();
    const int W = digit.width() - 1;
    const int H = digit.height() - 1;
    const int T = digit.Thickness();
    const int M = H / 2;
    // Centres of top, middle, bottom, upper left, upper right, lower left, lower right, point.
    const std::array<QPoint, 8> centres = {QPoint(W / 2, T),
                                           QPoint(W / 2, M),
                                           QPoint(W / 2, H - T),
                                           QPoint(T, (M + T) / 2),
                                           QPoint(W - T, (M + T) / 2),
                                           QPoint(T, M - T + (M + T) / 2),
                                           QPoint(W - T, M - T + (M + T) / 2),
                                           QPoint(W - 2, H - 2)};
    quint8 lit = 0;
    for (int i = 0; i < 8; ++i) {
        const QColor c = img.pixelColor(centres[i]);
        if (c == kOn)
            lit |= quint8(1u << i);
        else if (c != kOff)
            qWarning() << "segment" << i << "has neither colour:" << c;
    }
    return lit;
}

void DigitTest::segmentsOfDigits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("segments");
    QTest::newRow("0") << 0 << 125;
    QTest::newRow("1") << 1 << 80;
    QTest::newRow("2") << 2 << 55;
    QTest::newRow("3") << 3 << 87;
    QTest::newRow("4") << 4 << 90;
    QTest::newRow("5") << 5 << 79;
    QTest::newRow("6 with its tail") << 6 << 111;
    QTest::newRow("7 without upper left") << 7 << 81;
    QTest::newRow("8") << 8 << 127;
    QTest::newRow("9 with its tail") << 9 << 95;
}

void DigitTest::segmentsOfDigits() {
    QFETCH(int, value);
    QFETCH(int, segments);
    TDigit digit;
    digit.resize(40, 80);
    digit.SetThickness(4);
    digit.SetValue(value == 0 ? 1 : 0);
    digit.SetValue(value);
    QCOMPARE(int(TDigit::Pattern(value)), segments);
    QCOMPARE(int(digit.ValueBinary()), segments);
    QCOMPARE(int(LitSegments(digit)), segments);
}

void DigitTest::onlyThePointOrNothingLit_data() {
    QTest::addColumn<int>("bits");
    QTest::newRow("point only") << 128;
    QTest::newRow("nothing") << 0;
    QTest::newRow("point and middle") << 130;
}

void DigitTest::onlyThePointOrNothingLit() {
    QFETCH(int, bits);
    TDigit digit;
    digit.resize(40, 80);
    digit.SetThickness(4);
    digit.SetValueBinary(quint8(bits));
    QCOMPARE(int(LitSegments(digit)), bits);
}

void DigitTest::overflowShowsZeroAndFiresEachTime() {
    TDigit digit;
    int fired = 0;
    digit.OnOverflow = [&](TDigit* sender) {
        QCOMPARE(sender, &digit);
        ++fired;
    };
    digit.SetValue(7);
    QCOMPARE(fired, 0);
    digit.SetValue(10);
    QCOMPARE(fired, 1);
    QCOMPARE(digit.Value(), 0);
    QCOMPARE(int(digit.ValueBinary()), 125);
    // Still 10 asked for while 0 is shown: fires again.
    digit.SetValue(10);
    QCOMPARE(fired, 2);
    digit.SetValue(-1);
    QCOMPARE(fired, 3);
    QCOMPARE(digit.Value(), 0);
}

void DigitTest::overflowHandlerSeesCorrectedValueAndWins() {
    TDigit digit;
    digit.SetValue(9);
    int seen = -1;
    // A carry handler reads the digit and may set it itself.
    digit.OnOverflow = [&](TDigit* sender) {
        seen = sender->Value();
        sender->SetValue(3);
    };
    digit.SetValue(10);
    QCOMPARE(seen, 0);
    QCOMPARE(digit.Value(), 3);
    QCOMPARE(int(digit.ValueBinary()), int(TDigit::Pattern(3)));
}

void DigitTest::unchangedValueNeitherRepaintsNorFires() {
    TDigit digit;
    int fired = 0;
    digit.OnOverflow = [&](TDigit*) { ++fired; };
    digit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&digit));
    digit.SetValue(4);
    Flush();
    const int painted = digit.PaintCount();
    QVERIFY(painted > 0);

    digit.SetValueBinary(128);
    Flush();
    QVERIFY(digit.PaintCount() > painted);
    const int afterBinary = digit.PaintCount();
    // Same Value as before: ignored although the segments were changed directly.
    digit.SetValue(4);
    Flush();
    QCOMPARE(digit.PaintCount(), afterBinary);
    QCOMPARE(int(digit.ValueBinary()), 128);
    QCOMPARE(fired, 0);

    for (int i = 0; i < 100; ++i) {
        digit.SetValue(4);
        digit.SetValueBinary(128);
        digit.SetColorOn(kOn);
        digit.SetColorOff(kOff);
        digit.SetBorderStyle(digit.BorderStyle());
    }
    Flush();
    QCOMPARE(digit.PaintCount(), afterBinary);
}

void DigitTest::changedSettersRepaint_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("Value") << 0;
    QTest::newRow("ValueBinary") << 1;
    QTest::newRow("ColorOn") << 2;
    QTest::newRow("ColorOff") << 3;
    QTest::newRow("BorderStyle") << 4;
    QTest::newRow("Separation") << 5;
    QTest::newRow("Thickness") << 6;
}

void DigitTest::changedSettersRepaint() {
    QFETCH(int, which);
    TDigit digit;
    digit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&digit));
    Flush();
    const int painted = digit.PaintCount();
    switch (which) {
    case 0:
        digit.SetValue(5);
        break;
    case 1:
        digit.SetValueBinary(1);
        break;
    case 2:
        digit.SetColorOn(Qt::red);
        break;
    case 3:
        digit.SetColorOff(Qt::darkGray);
        break;
    case 4:
        digit.SetBorderStyle(0);
        break;
    case 5:
        digit.SetSeparation(2);
        break;
    case 6:
        digit.SetThickness(3);
        break;
    }
    QTRY_VERIFY(digit.PaintCount() > painted);
}

void DigitTest::thicknessLimit_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("thickness");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("half the width") << QSize(16, 32) << 8 << true;
    QTest::newRow("over half the width") << QSize(16, 32) << 9 << false;
    QTest::newRow("odd width rounds down") << QSize(17, 32) << 9 << false;
    QTest::newRow("over half the height") << QSize(40, 10) << 6 << false;
    QTest::newRow("half the height") << QSize(40, 10) << 5 << true;
}

void DigitTest::thicknessLimit() {
    QFETCH(QSize, size);
    QFETCH(int, thickness);
    QFETCH(bool, accepted);
    TDigit digit;
    digit.resize(size);
    digit.SetThickness(thickness);
    QCOMPARE(digit.Thickness(), accepted ? thickness : 2);
}

QTEST_MAIN(DigitTest)
#include "tst_Digit.moc"
