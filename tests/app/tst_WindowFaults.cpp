#include "RaceWindow.h"

#include "XlsxMaker.h"
#include "ui/tables/ProtocolFiles.h"
#include "ui/widgets/TImage.h"

#include <QStyle>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QByteArray kList = "St.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\r\n"
                         "17\tAnna\tBerg\t1990\tSC Tal\tW\r\n"
                         "18\tBernd\tMoos\t1985\tSV\tM\r\n"
                         "19\tCarla\tSee\t2001\tSC Tal\tW\r\n";

QList<int> Widths(TSortGrid* grid) {
    QList<int> widths;
    for (int c = 0; c < Col::Count; ++c)
        widths << grid->ColWidths(c);
    return widths;
}

QList<int> LayoutFor(TSortGrid* grid, int mask) {
    const auto widths =
        ProtocolColumnWidths(mask, grid->width(), grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    return QList<int>(widths.begin(), widths.end());
}

// Pixels of the box's edit part: how many are close to `color`.
int PixelsNear(QWidget* w, const QColor& color) {
    const QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) < 40 && std::abs(c.green() - color.green()) < 40 &&
                std::abs(c.blue() - color.blue()) < 40)
                ++n;
        }
    return n;
}

} // namespace

// Faults of the main window found by running it as a new operator would: the first
// column layout, the contact switches and the START box colours.
class WindowFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void columnsLaidOutAtFirstShow();
    void columnsLaidOutAfterRestore();
    void finishColumnsLaidOutAtFirstShow();
    void columnWidthsAt700();
    void contactSwitchClickToggles_data();
    void contactSwitchClickToggles();
    void startBoxKeepsItsColours();
    void lineBreaksInStartListSurviveRestart();
    void finishTableRetypingStartsAfresh();
};

void WindowFaultsTest::columnsLaidOutAtFirstShow() {
    RaceWindow w;
    QVERIFY(w.P()->width() > 300);
    QCOMPARE(Widths(w.P()), LayoutFor(w.P(), w.form->Settings().Columns));
    // Nothing squeezed to a few pixels.
    QVERIFY(w.P()->ColWidths(Col::Vorname) > 60);
}

void WindowFaultsTest::columnsLaidOutAfterRestore() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteFile(folder + "Startlist.txt", kList);
    {
        RaceWindow w(TSettings(), true, folder);
        w.form->Files().LoadStartList(folder + "Startlist.txt");
        w.Key(Qt::Key_F5);
    }
    RaceWindow w(TSettings(), true, folder);
    QCOMPARE(w.P()->RowCount(), 4);
    QCOMPARE(Widths(w.P()), LayoutFor(w.P(), w.form->Settings().Columns));
    QVERIFY(w.P()->ColWidths(Col::Nachname) > 60);
}

void WindowFaultsTest::finishColumnsLaidOutAtFirstShow() {
    RaceWindow w;
    TSortGrid* f = w.F();
    const auto widths = FinishColumnWidths(f->width(), f->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    for (int col = 0; col < FinishCol::Count; ++col)
        QCOMPARE(f->ColWidths(col), widths[col]);
    // The clock of a queued finish must be readable without widening a column.
    QVERIFY(f->ColWidths(FinishCol::Kontakt) > 60);
}

// The default columns on a grid 700 pixels wide (narrower than the window's smallest
// size allows, so asked of the layout rule directly).
void WindowFaultsTest::columnWidthsAt700() {
    RaceWindow w;
    const auto widths = ProtocolColumnWidths(w.form->Settings().Columns, 700, 21);
    QCOMPARE(QList<int>(widths.begin(), widths.end()),
             (QList<int>{40, 48, 89, 89, 41, 109, 54, 48, -1, -1, 89, 58, -1}));
}

void WindowFaultsTest::contactSwitchClickToggles_data() {
    QTest::addColumn<QString>("icon");
    QTest::newRow("start contact") << QStringLiteral("ImageLSstart");
    QTest::newRow("finish contact") << QStringLiteral("ImageLSstop");
}

// One click on a switch picture turns its contact over, a second click turns it back.
void WindowFaultsTest::contactSwitchClickToggles() {
    QFETCH(QString, icon);
    RaceWindow w;
    TImage* image = w.form->findChild<TImage*>(icon);
    QVERIFY(image);
    image->show();
    const int before = image->Tag();
    const QImage pictureBefore = image->pixmap().toImage();
    QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(16, 16));
    QCOMPARE(image->Tag(), before == 1 ? 0 : 1);
    QVERIFY(image->pixmap().toImage() != pictureBefore);
    QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(16, 16));
    QCOMPARE(image->Tag(), before);
    QCOMPARE(image->pixmap().toImage(), pictureBefore);
}

// Yellow bold text on green, at start, with a number, and after a restart that put a
// number into the box.
void WindowFaultsTest::startBoxKeepsItsColours() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteFile(folder + "Startlist.txt", kList);
    const QColor green(0, 128, 0);
    const QColor yellow(255, 255, 0);
    const auto check = [&](RaceWindow& w, const char* what) {
        NumberBox* box = Find<NumberBox>(w.form, "cbStartN");
        QVERIFY2(box->font().bold(), what);
        QVERIFY2(box->lineEdit()->font().bold(), what);
        const int all = box->width() * box->height();
        QVERIFY2(PixelsNear(box, Qt::white) < all / 20, what);
        QVERIFY2(PixelsNear(box, green) > all / 2, what);
        if (!box->currentText().isEmpty())
            QVERIFY2(PixelsNear(box, yellow) > 10, what);
        QCOMPARE(box->lineEdit()->palette().color(QPalette::Text), yellow);
    };
    {
        RaceWindow w(TSettings(), true, folder);
        check(w, "empty at start");
        w.form->Files().LoadStartList(folder + "Startlist.txt");
        QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->currentText(), QStringLiteral("17"));
        check(w, "with a number");
        w.Key(Qt::Key_F5);
    }
    RaceWindow w(TSettings(), true, folder);
    QVERIFY(!Find<NumberBox>(w.form, "cbStartN")->currentText().isEmpty());
    check(w, "after a restart");
}

// A workbook cell with a line break or TAB must not split the athlete's row in the
// backup: after a restart the row and its start time are whole.
void WindowFaultsTest::lineBreaksInStartListSurviveRestart() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString list = folder + "Startliste.xlsx";
    QVERIFY(WriteXlsxSheets(list, {XlsxSheet{"Liste",
                                             {{"St.Nr.", "Vorname", "Nachname", "JG", "Verein", "Klasse"},
                                              {"n:17", "Anna", "Berg\nSchmidt", "n:1990", "SC\tTal", "W"},
                                              {"n:18", "Bernd\r\nK.", "Moos", "n:1985", "SV", "M"}}}}));
    {
        RaceWindow w(TSettings(), true, folder);
        w.form->Files().LoadStartList(list);
        QCOMPARE(w.Of("17", Col::Nachname), QStringLiteral("Berg Schmidt"));
        QCOMPARE(w.Of("17", Col::Verein), QStringLiteral("SC Tal"));
        QCOMPARE(w.Of("18", Col::Vorname), QStringLiteral("Bernd  K."));
        w.Key(Qt::Key_F5); // 17 at 10:00:00
    }
    RaceWindow w(TSettings(), true, folder);
    QCOMPARE(w.P()->RowCount(), 3);
    QCOMPARE(w.Of("17", Col::Nachname), QStringLiteral("Berg Schmidt"));
    QCOMPARE(w.Of("17", Col::Klasse), QStringLiteral("W"));
    QCOMPARE(w.Of("17", Col::Start), QStringLiteral("10:00:00,00"));
    QCOMPARE(w.Of("18", Col::Nachname), QStringLiteral("Moos"));
}

// After Enter in a queued finish's "Nr" cell the cell shows the outcome, and the next
// digits replace it instead of being appended to the digits typed before.
void WindowFaultsTest::finishTableRetypingStartsAfresh() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteFile(folder + "Startlist.txt", kList);
    RaceWindow w(TSettings(), true, folder);
    w.form->Files().LoadStartList(folder + "Startlist.txt");
    w.Key(Qt::Key_F5); // 17
    w.Advance(60000);
    w.FinishNumber(QString()); // queued
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:01:00,00"));
    w.AssignInFinishTable(1, "1"); // no athlete 1
    QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), QStringLiteral("-"));
    QVERIFY(!w.F()->EditorMode() || w.F()->InplaceEditor()->text() == QStringLiteral("-"));
    for (QChar ch : QStringLiteral("7"))
        QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), QStringLiteral("-"));
    QCOMPARE(w.Of("17", Col::Stopp).trimmed(), QString());
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:01:00,00"));
    // Typed whole, the number is assigned.
    w.AssignInFinishTable(1, "17");
    QCOMPARE(w.Of("17", Col::Zeit), QStringLiteral("1:00,00"));
}

QTEST_MAIN(WindowFaultsTest)
#include "tst_WindowFaults.moc"
