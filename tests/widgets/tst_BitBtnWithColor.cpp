#include "ui/widgets/TBitBtnWithColor.h"

#include <QDialog>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// Coloured buttons on a shown window: faces read back from grab(), presses sent as mouse events.
class BitBtnWithColorTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void colourChangeRepaintsWholeFaceWhileUp();
    void captionKeepsFaceAndBorderColoured();
    void pressedBorderInShadowColour_data();
    void pressedBorderInShadowColour();
    void actOnPressEmitsOnPressOnly_data();
    void actOnPressEmitsOnPressOnly();
    void doubleClickIsSecondPress();
    void disabledEmitsNothing();
    void handlerDisablingButtonLeavesItUp();
    void fontAndEnabledChangesRepaint();
    void numGlyphsFromGlyphShape_data();
    void numGlyphsFromGlyphShape();
    void glyphDrawnOnFaceColour();
    void disabledGlyphIsEmbossed();
    void closeHelpAndModalResult();

private:
    TBitBtnWithColor* MakeButton(const QString& caption = QString());

    std::unique_ptr<QWidget> m_window;
};

namespace {
const QRgb kGreen = qRgb(0, 128, 0);

// Counts paint events of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// The edges are drawn in the Active colours whatever the button's state.
QRgb Role(const QPalette& pal, QPalette::ColorRole role) {
    return pal.color(QPalette::Active, role).rgba();
}

void SendDoubleClick(QWidget* w, Qt::MouseButton button) {
    const QPointF pos = QRectF(w->rect()).center();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &dbl);
}

// Pixels of `img` inside `r` that are not `colour`.
int CountOther(const QImage& img, const QRect& r, QRgb colour) {
    int other = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) != colour)
                ++other;
    return other;
}

QPixmap SquareGlyph(bool withAlpha) {
    QImage img(16, 16, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    img.fill(withAlpha ? QColor(Qt::transparent) : QColor(Qt::magenta));
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x)
            img.setPixelColor(x, y, Qt::black);
    return QPixmap::fromImage(img);
}
} // namespace

void BitBtnWithColorTest::init() {
    m_window = std::make_unique<QWidget>();
    m_window->resize(300, 200);
}

void BitBtnWithColorTest::cleanup() {
    m_window.reset();
}

TBitBtnWithColor* BitBtnWithColorTest::MakeButton(const QString& caption) {
    auto* b = new TBitBtnWithColor(caption, m_window.get());
    b->setGeometry(10, 10, 120, 50);
    // Without focus there is no outer frame: the 3-D edge starts at the rim.
    b->setFocusPolicy(Qt::NoFocus);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qWarning("window not exposed");
    return b;
}

void BitBtnWithColorTest::colourChangeRepaintsWholeFaceWhileUp() {
    TBitBtnWithColor* b = MakeButton();
    QCOMPARE(b->Color().rgba(), Role(b->palette(), QPalette::Button));
    PaintCounter paints(b);
    b->SetColor(kGreen);
    QTRY_VERIFY(paints.Count > 0);

    const QImage img = b->grab().toImage();
    // Inside the two-pixel raised edge everything is green, the face border included.
    QCOMPARE(CountOther(img, b->rect().adjusted(2, 2, -2, -2), kGreen), 0);
    const QPalette& pal = b->palette();
    QCOMPARE(img.pixel(0, 0), Role(pal, QPalette::Midlight));
    QCOMPARE(img.pixel(1, 1), Role(pal, QPalette::Light));
    QCOMPARE(img.pixel(b->width() - 1, b->height() - 1), Role(pal, QPalette::Shadow));
    QCOMPARE(img.pixel(b->width() - 2, b->height() - 2), Role(pal, QPalette::Dark));

    const int before = paints.Count;
    b->SetColor(kGreen);
    QCoreApplication::processEvents();
    QCOMPARE(paints.Count, before);
}

void BitBtnWithColorTest::captionKeepsFaceAndBorderColoured() {
    TBitBtnWithColor* b = MakeButton(QStringLiteral("START"));
    b->SetColor(kGreen);
    const QImage img = b->grab().toImage();
    const QRect border = b->rect().adjusted(2, 2, -2, -2);
    // The face border ring and the face near it, clear of the caption.
    QCOMPARE(CountOther(img, QRect(border.left(), border.top(), border.width(), 3), kGreen), 0);
    QCOMPARE(CountOther(img, QRect(border.left(), border.bottom() - 2, border.width(), 3), kGreen), 0);
    QCOMPARE(CountOther(img, QRect(border.left(), border.top(), 3, border.height()), kGreen), 0);
    // The caption is drawn in the middle.
    QVERIFY(CountOther(img, border, kGreen) > 0);
}

void BitBtnWithColorTest::pressedBorderInShadowColour_data() {
    QTest::addColumn<bool>("focused");
    QTest::newRow("no focus") << false;
    QTest::newRow("focused") << true;
}

void BitBtnWithColorTest::pressedBorderInShadowColour() {
    QFETCH(bool, focused);
    TBitBtnWithColor* b = MakeButton();
    if (focused) {
        b->setFocusPolicy(Qt::StrongFocus);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        b->setFocus();
        QVERIFY(b->hasFocus());
    }
    b->SetColor(kGreen);
    QTest::mousePress(b, Qt::LeftButton);
    QVERIFY(b->isDown());

    const QImage img = b->grab().toImage();
    const QPalette& pal = b->palette();
    const int rim = focused ? 1 : 0;
    if (focused)
        QCOMPARE(img.pixel(0, 0), Role(pal, QPalette::Shadow));
    const QRect border = b->rect().adjusted(rim, rim, -rim, -rim);
    // The whole border ring in the shadow colour: no 3-D edge while down.
    QCOMPARE(CountOther(img, QRect(border.left(), border.top(), border.width(), 1), Role(pal, QPalette::Dark)), 0);
    QCOMPARE(CountOther(img, QRect(border.left(), border.bottom(), border.width(), 1), Role(pal, QPalette::Dark)), 0);
    QCOMPARE(CountOther(img, QRect(border.left(), border.top(), 1, border.height()), Role(pal, QPalette::Dark)), 0);
    QCOMPARE(CountOther(img, QRect(border.right(), border.top(), 1, border.height()), Role(pal, QPalette::Dark)), 0);
    QCOMPARE(img.pixel(border.left() + 1, border.top() + 1), kGreen);

    QTest::mouseRelease(b, Qt::LeftButton);
    QVERIFY(!b->isDown());
    const QImage up = b->grab().toImage();
    QCOMPARE(up.pixel(rim, rim), Role(pal, QPalette::Midlight));
    QCOMPARE(up.pixel(border.left() + 4, border.top() + 4), kGreen);
}

void BitBtnWithColorTest::actOnPressEmitsOnPressOnly_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void BitBtnWithColorTest::actOnPressEmitsOnPressOnly() {
    QFETCH(Qt::MouseButton, button);
    TBitBtnWithColor* b = MakeButton(QStringLiteral("START"));
    b->SetActOnPress(true);
    QSignalSpy activated(b, &TBitBtnWithColor::Activated);
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    bool downDuringAction = false;
    connect(b, &TBitBtnWithColor::Activated, b, [&] { downDuringAction = b->isDown(); });

    QTest::mousePress(b, button);
    QCOMPARE(activated.count(), 1);
    QVERIFY(downDuringAction);
    QVERIFY(b->isDown());

    QTest::mouseRelease(b, button);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!b->isDown());
}

void BitBtnWithColorTest::doubleClickIsSecondPress() {
    TBitBtnWithColor* b = MakeButton();
    b->SetActOnPress(true);
    QSignalSpy activated(b, &TBitBtnWithColor::Activated);
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    SendDoubleClick(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(activated.count(), 2);
    QVERIFY(!b->isDown());
}

void BitBtnWithColorTest::disabledEmitsNothing() {
    TBitBtnWithColor* b = MakeButton();
    b->SetActOnPress(true);
    b->setEnabled(false);
    QSignalSpy activated(b, &TBitBtnWithColor::Activated);
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mouseClick(b, button);
        SendDoubleClick(b, button);
    }
    QCOMPARE(activated.count(), 0);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!b->isDown());
}

void BitBtnWithColorTest::handlerDisablingButtonLeavesItUp() {
    // Mass start: START disables itself; its release never arrives.
    TBitBtnWithColor* b = MakeButton();
    b->SetActOnPress(true);
    connect(b, &TBitBtnWithColor::Activated, b, [b] { b->setEnabled(false); });
    QTest::mousePress(b, Qt::RightButton);
    QVERIFY(!b->isEnabled());
    QVERIFY(!b->isDown());
    b->setEnabled(true);
    QVERIFY(!b->isDown());
    QSignalSpy activated(b, &TBitBtnWithColor::Activated);
    QTest::mouseRelease(b, Qt::RightButton);
    QTest::mousePress(b, Qt::LeftButton);
    QCOMPARE(activated.count(), 1);
}

void BitBtnWithColorTest::fontAndEnabledChangesRepaint() {
    TBitBtnWithColor* b = MakeButton(QStringLiteral("FINISH"));
    QCoreApplication::processEvents();
    PaintCounter paints(b);
    QFont bold = b->font();
    bold.setBold(true);
    bold.setPixelSize(24);
    b->setFont(bold);
    QTRY_VERIFY(paints.Count > 0);
    const int afterFont = paints.Count;
    b->setEnabled(false);
    QTRY_VERIFY(paints.Count > afterFont);
}

void BitBtnWithColorTest::numGlyphsFromGlyphShape_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("numGlyphs");
    QTest::newRow("square") << QSize(16, 16) << 1;
    QTest::newRow("two") << QSize(32, 16) << 2;
    QTest::newRow("four") << QSize(64, 16) << 4;
    QTest::newRow("five is too many") << QSize(80, 16) << 1;
    QTest::newRow("not a multiple") << QSize(40, 16) << 1;
    QTest::newRow("taller than wide") << QSize(16, 32) << 1;
}

void BitBtnWithColorTest::numGlyphsFromGlyphShape() {
    QFETCH(QSize, size);
    QFETCH(int, numGlyphs);
    TBitBtnWithColor b;
    b.SetNumGlyphs(3);
    QPixmap glyph(size);
    glyph.fill(Qt::black);
    b.SetGlyph(glyph);
    QCOMPARE(b.NumGlyphs(), numGlyphs);
}

void BitBtnWithColorTest::glyphDrawnOnFaceColour() {
    for (bool withAlpha : {true, false}) {
        TBitBtnWithColor* b = MakeButton();
        b->SetGlyph(SquareGlyph(withAlpha));
        b->SetColor(kGreen);
        const QImage img = b->grab().toImage();
        const QRect face = b->rect().adjusted(2, 2, -2, -2);
        // The glyph's background (transparent, or its bottom-left colour) shows the face colour.
        QCOMPARE(CountOther(img, face, kGreen), 64);
        QCOMPARE(img.pixel(b->rect().center()), qRgb(0, 0, 0));
        delete b;
    }
}

void BitBtnWithColorTest::disabledGlyphIsEmbossed() {
    TBitBtnWithColor* b = MakeButton();
    b->SetGlyph(SquareGlyph(true));
    b->SetColor(kGreen);
    b->setEnabled(false);
    const QImage img = b->grab().toImage();
    const QPalette& pal = b->palette();
    const QRect face = b->rect().adjusted(2, 2, -2, -2);
    QCOMPARE(CountOther(img, face, kGreen), 64 + 15);
    QCOMPARE(img.pixel(b->rect().center()), Role(pal, QPalette::Dark));
    int black = 0;
    for (int y = face.top(); y <= face.bottom(); ++y)
        for (int x = face.left(); x <= face.right(); ++x)
            black += img.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    QCOMPARE(black, 0);
}

void BitBtnWithColorTest::closeHelpAndModalResult() {
    TBitBtnWithColor* help = MakeButton();
    help->SetKind(TBitBtnWithColorKind::bkHelp);
    QSignalSpy helpRequested(help, &TBitBtnWithColor::HelpRequested);
    QTest::mouseClick(help, Qt::LeftButton);
    QCOMPARE(helpRequested.count(), 1);
    QVERIFY(m_window->isVisible());

    auto* close = new TBitBtnWithColor(QString(), m_window.get());
    close->setGeometry(150, 10, 100, 40);
    close->show();
    close->SetKind(TBitBtnWithColorKind::bkClose);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!m_window->isVisible());

    QDialog dialog;
    auto* ok = new TBitBtnWithColor(QString(), &dialog);
    ok->SetKind(TBitBtnWithColorKind::bkNo);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), 7);
}

QTEST_MAIN(BitBtnWithColorTest)
#include "tst_BitBtnWithColor.moc"
