#include "core/race/ProtocolColumns.h"
#include "support/RecordingPaintDevice.h"
#include "ui/dialogs/ListPages.h"
#include "ui/dialogs/PdfList.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kDpi = 300;
// A4 less 15 mm margins all round, as the PDF file and the printer are set up.
constexpr double kPortraitW = 180, kPortraitH = 267;

// A protocol of `rows` athletes, every column filled.
struct ProtocolGrid : SortGridData {
    explicit ProtocolGrid(int rows) {
        SortGridData& g = *this;
        g.SetColCount(Col::Count);
        g.SetRowCount(rows + 1);
        g.SetRows(0, ProtocolCaptions());
        for (int r = 1; r <= rows; ++r)
            g.SetRows(r, {QString::number(r), QString::number(100 + r), QStringLiteral("Jürgen"),
                          QStringLiteral("Müller-%1").arg(r), "1980", QStringLiteral("SV <Grün> & Weiß"), "M40",
                          QString::number(r % 7 + 1), "10:00:00,00", "10:40:00,00",
                          QStringLiteral("40:%1,00").arg(r % 60), "0,00", QString::number(r * 1000)});
    }
};

// Widths as the grid has them with the start and stop columns hidden.
ExportOptions Narrow(const QString& title = QStringLiteral("Stadtlauf <Süd> & Co")) {
    return {title, {30, 40, 80, 80, 40, 80, 60, 40, -1, -1, 60, 50, -1}};
}

struct Painted {
    std::unique_ptr<RecordingPaintDevice> device;
    int pages = 0;
};

Painted Paint(const ResultList& list, double w = kPortraitW, double h = kPortraitH, PageRange range = {}) {
    Painted out;
    out.device = std::make_unique<RecordingPaintDevice>(w, h, kDpi);
    QPainter painter(out.device.get());
    const auto newPage = [&] {
        out.device->NewPage();
        return true;
    };
    out.pages = PaintListPages(painter, QRectF(0, 0, out.device->width(), out.device->height()), list, newPage, range);
    return out;
}

// Texts of a page in drawing order.
QStringList Texts(const QList<DrawnText>& page) {
    QStringList out;
    for (const DrawnText& t : page)
        out << t.text;
    return out;
}

int PdfPageCount(const QByteArray& pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace

class ListPagesTest : public QObject {
    Q_OBJECT
private slots:
    void everyCellOnceInOrderHeaderOnEveryPage();
    void titleAndPageNumberOnEveryPage();
    void textsStayInTheirColumnsAndOnThePage();
    void alignmentAsThePageSetsIt();
    void longTextsWrapInsideTheirColumn();
    void emptyListIsOnePage();
    void pageRangePaintsOnlyThosePages();
    void landscapeForMoreThanEightColumns_data();
    void landscapeForMoreThanEightColumns();
    void pdfHasThePaintedPages();
    void pdfFailsOnUnwritableFile();
};

void ListPagesTest::everyCellOnceInOrderHeaderOnEveryPage() {
    const ProtocolGrid g(250);
    const ResultList list = MakeResultList(g, Narrow());
    QCOMPARE(list.columns.size(), 10);
    const Painted p = Paint(list);
    QVERIFY(p.pages >= 3);
    QCOMPARE(p.device->Pages.size(), p.pages);
    const QStringList header{"Platz",  "St.Nr.", "Vorname", "Nachname", "JG",
                             "Verein", "Klasse", "Kl.-Pl.", "Zeit",     "Split"};
    QStringList cells; // data texts of all pages, in order
    for (int i = 0; i < p.pages; ++i) {
        const QStringList texts = Texts(p.device->Pages[i]);
        // title, header row, data, footer
        QCOMPARE(texts.mid(1, header.size()), header);
        cells << texts.mid(1 + header.size(), texts.size() - 2 - header.size());
    }
    QStringList expected;
    for (int r = 1; r <= 250; ++r)
        for (int c : {0, 1, 2, 3, 4, 5, 6, 7, 10, 11})
            expected << g.Cell(c, r);
    QCOMPARE(cells, expected); // the hidden start, stop and raw columns are not printed
    QVERIFY(cells.contains("SV <Grün> & Weiß"));
}

void ListPagesTest::titleAndPageNumberOnEveryPage() {
    const Painted p = Paint(MakeResultList(ProtocolGrid(120), Narrow()));
    QVERIFY(p.pages >= 2);
    for (int i = 0; i < p.pages; ++i) {
        const QList<DrawnText>& page = p.device->Pages[i];
        QCOMPARE(page.first().text, QString("Stadtlauf <Süd> & Co"));
        QVERIFY(page.first().bold);
        QCOMPARE(page.last().text, QString("Seite %1 von %2").arg(i + 1).arg(p.pages));
        // The page number sits below every row of its page.
        for (int k = 0; k + 1 < page.size(); ++k)
            QVERIFY(page[k].at.y() < page.last().at.y());
    }
}

void ListPagesTest::textsStayInTheirColumnsAndOnThePage() {
    const Painted p = Paint(MakeResultList(ProtocolGrid(120), Narrow()));
    const double w = p.device->width(), h = p.device->height();
    for (const QList<DrawnText>& page : p.device->Pages) {
        double lastY = -1;
        for (const DrawnText& t : page) {
            QVERIFY2(t.at.x() >= 0 && t.at.x() + t.width <= w + 0.5, qPrintable(t.text));
            QVERIFY2(t.at.y() > 0 && t.at.y() <= h, qPrintable(t.text));
            QVERIFY(t.at.y() >= lastY - 0.01); // rows go down the page
            lastY = t.at.y();
        }
    }
    // Texts of one row share the baseline; the next row is lower.
    const QList<DrawnText>& first = p.device->Pages[0];
    QCOMPARE(first[11].at.y(), first[20].at.y());
    QVERIFY(first[21].at.y() > first[11].at.y());
    // Neighbouring columns do not overlap.
    for (int k = 11; k < 20; ++k)
        QVERIFY2(first[k].at.x() + first[k].width <= first[k + 1].at.x() + 0.5, qPrintable(first[k].text));
}

void ListPagesTest::alignmentAsThePageSetsIt() {
    // Place and time columns right-aligned, JG centred, names left: the texts of one
    // column end (right), centre (JG) or begin (left) at the same place in every row.
    ProtocolGrid g(30);
    g.SetCell(Col::Platz, 2, "10");
    g.SetCell(Col::JG, 2, "19");
    g.SetCell(Col::Vorname, 2, "Al");
    const Painted p = Paint(MakeResultList(g, Narrow()));
    const QList<DrawnText>& page = p.device->Pages[0];
    auto cell = [&](int row, int col) { return page[1 + 10 + (row - 1) * 10 + col]; };
    QCOMPARE(cell(1, 0).text, QString("1"));
    QCOMPARE(cell(2, 0).text, QString("10"));
    QVERIFY(qAbs(cell(1, 0).at.x() + cell(1, 0).width - cell(2, 0).at.x() - cell(2, 0).width) < 0.5);
    QVERIFY(cell(1, 0).at.x() > cell(2, 0).at.x());
    QVERIFY(qAbs(cell(1, 4).at.x() + cell(1, 4).width / 2 - cell(2, 4).at.x() - cell(2, 4).width / 2) < 0.5);
    QVERIFY(cell(1, 4).at.x() < cell(2, 4).at.x());
    QCOMPARE(cell(1, 2).at.x(), cell(2, 2).at.x());
}

void ListPagesTest::longTextsWrapInsideTheirColumn() {
    ProtocolGrid g(3);
    const QString club = QStringLiteral("Turn- und Sportgemeinschaft Oberweißenbach-Unterkleinhausen 1897 e. V. "
                                        "Abteilung Leichtathletik und Volkslauf");
    for (int r = 1; r <= 3; ++r)
        g.SetCell(Col::Verein, r, club + QString::number(r));
    ExportOptions wide{"Weit", QList<int>(13, 40)};
    wide.colWidths[Col::Raw] = -1;
    const ResultList list = MakeResultList(g, wide);
    const Painted p = Paint(list, 267, 180); // landscape
    QCOMPARE(p.pages, 1);
    const QList<DrawnText>& page = p.device->Pages[0];
    QString joined;
    double left = 1e9, right = 0, top = 1e9, bottom = 0;
    for (const DrawnText& t : page)
        if (club.startsWith(t.text.trimmed().left(10)) || (t.text.contains("Volkslauf"))) {
            joined += t.text;
            left = std::min(left, t.at.x());
            right = std::max(right, t.at.x() + t.width);
            top = std::min(top, t.at.y());
            bottom = std::max(bottom, t.at.y());
        }
    QVERIFY(bottom > top); // more than one line
    // The club column's neighbours start right of it.
    const auto klasse = std::find_if(page.begin(), page.end(), [](const DrawnText& t) { return t.text == "M40"; });
    QVERIFY(klasse != page.end());
    QVERIFY(right <= klasse->at.x());
    QVERIFY(left > 0);
    for (const DrawnText& t : page)
        QVERIFY2(t.at.x() + t.width <= p.device->width() + 0.5, qPrintable(t.text));
    // Row 2 starts below every line of row 1.
    const auto second = std::find_if(page.begin(), page.end(), [](const DrawnText& t) { return t.text == "102"; });
    QVERIFY(second != page.end());
    const auto firstEnd =
        std::find_if(page.begin(), page.end(), [&](const DrawnText& t) { return t.text.endsWith("Volkslauf1"); });
    QVERIFY(firstEnd != page.end());
    QVERIFY(second->at.y() > firstEnd->at.y());
}

void ListPagesTest::emptyListIsOnePage() {
    ProtocolGrid g(0);
    const Painted p = Paint(MakeResultList(g, Narrow("Leer")));
    QCOMPARE(p.pages, 1);
    const QStringList texts = Texts(p.device->Pages[0]);
    QCOMPARE(texts.size(), 1 + 10 + 1);
    QCOMPARE(texts.last(), QString("Seite 1 von 1"));
}

void ListPagesTest::pageRangePaintsOnlyThosePages() {
    const ResultList list = MakeResultList(ProtocolGrid(250), Narrow());
    const Painted all = Paint(list);
    QVERIFY(all.pages >= 4);
    const Painted some = Paint(list, kPortraitW, kPortraitH, {2, 3});
    QCOMPARE(some.pages, 2);
    QCOMPARE(some.device->Pages.size(), 2);
    // The same pages as in the whole list, numbered as there.
    QCOMPARE(Texts(some.device->Pages[0]), Texts(all.device->Pages[1]));
    QCOMPARE(Texts(some.device->Pages[1]), Texts(all.device->Pages[2]));
    QCOMPARE(some.device->Pages[1].last().text, QString("Seite 3 von %1").arg(all.pages));
    // To the end, and past it.
    QCOMPARE(Paint(list, kPortraitW, kPortraitH, {all.pages, 0}).pages, 1);
    QCOMPARE(Paint(list, kPortraitW, kPortraitH, {all.pages - 1, all.pages + 5}).pages, 2);
    QCOMPARE(Paint(list, kPortraitW, kPortraitH, {all.pages + 1, 0}).pages, 0);
}

void ListPagesTest::landscapeForMoreThanEightColumns_data() {
    QTest::addColumn<int>("visible");
    QTest::addColumn<bool>("landscape");
    QTest::newRow("8") << 8 << false;
    QTest::newRow("9") << 9 << true;
    QTest::newRow("12") << 12 << true;
}

void ListPagesTest::landscapeForMoreThanEightColumns() {
    QFETCH(int, visible);
    QFETCH(bool, landscape);
    ExportOptions o{"T", QList<int>(13, -1)};
    for (int c = 0; c < visible; ++c)
        o.colWidths[c] = 30;
    o.colWidths[Col::Raw] = 50; // the raw column never counts
    const ResultList list = MakeResultList(ProtocolGrid(2), o);
    QCOMPARE(list.columns.size(), visible);
    QCOMPARE(ListWantsLandscape(list), landscape);
}

void ListPagesTest::pdfHasThePaintedPages() {
    QTemporaryDir dir;
    const ProtocolGrid g(400);
    QString error;
    // Ten columns: landscape.
    QVERIFY2(WritePdfList(g, Narrow(), dir.filePath("l.pdf"), &error), qPrintable(error));
    QFile f(dir.filePath("l.pdf"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    const Painted landscape = Paint(MakeResultList(g, Narrow()), 267, 180);
    QCOMPARE(PdfPageCount(pdf), landscape.pages);
    QVERIFY(pdf.contains("/MediaBox [0 0 841.") || pdf.contains("/MediaBox [0 0 842"));
    QVERIFY(pdf.count("stream\n") >= landscape.pages); // one content stream per page at least
    QVERIFY(pdf.contains("LiberationSans"));           // the list's font is embedded
    // Eight columns: portrait.
    ExportOptions eight = Narrow();
    eight.colWidths[Col::Zeit] = eight.colWidths[Col::Split] = -1;
    QVERIFY(WritePdfList(g, eight, dir.filePath("p.pdf")));
    QFile pf(dir.filePath("p.pdf"));
    QVERIFY(pf.open(QIODevice::ReadOnly));
    const QByteArray portrait = pf.readAll();
    QVERIFY(portrait.contains("/MediaBox [0 0 595"));
    QCOMPARE(PdfPageCount(portrait), Paint(MakeResultList(g, eight)).pages);
}

void ListPagesTest::pdfFailsOnUnwritableFile() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!WritePdfList(ProtocolGrid(2), Narrow(), dir.filePath("missing/x.pdf"), &error));
    QVERIFY(error.startsWith("Die Datei »"));
    QVERIFY(!QFile::exists(dir.filePath("missing/x.pdf")));
}

QTEST_MAIN(ListPagesTest)
#include "tst_ListPages.moc"
