#include "core/base/ZipPackage.h"
#include "core/files/ExcelWorkbook.h"
#include "core/files/GridTextFile.h"
#include "core/files/HtmlList.h"
#include "core/files/WordDocument.h"
#include "protocol/GridTestUtil.h"
#include "reports/ZipRead.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

#include <map>

namespace {

QList<int> DefaultWidths() {
    return {40, 40, 80, 80, 40, 80, 60, 40, -1, -1, 60, 50, -1};
}

void ResultGrid(SortGridData& g) {
    MakeProtocolGrid(g);
    g.SetRowCount(4);
    g.SetRows(1, {"1", "17", "Anna", "Berg", "1990", "LV", "W", "1", "10:00:00,00", "10:10:05,23", "10:05,23", "0,00",
                  "605230"});
    g.SetRows(2, {"2", "4", "Carl", "<Dorn & Co>", " ", " ", " ", " ", "", "", "10:07,00", "1,77", ""});
    // Row 3 stays empty: it belongs to the Word table and the Excel range.
}

ExportOptions Options() {
    return ExportOptions{QStringLiteral("Stadtlauf 2026"), DefaultWidths()};
}

// ---- reading an xlsx back

struct Sheet {
    std::map<std::pair<int, int>, QString> cells; // (row, col), 0-based
    std::map<std::pair<int, int>, int> styles;
    int rows = 0;
    int cols = 0;
};

std::pair<int, int> CellRef(const QString& ref) {
    int col = 0;
    int i = 0;
    while (i < ref.size() && ref[i].isLetter())
        col = col * 26 + (ref[i++].unicode() - 'A' + 1);
    return {ref.mid(i).toInt() - 1, col - 1};
}

Sheet ReadSheet(const QString& file) {
    Sheet sheet;
    pugi::xml_document shared;
    QStringList strings;
    if (ParseXml(ZipEntry(file, "xl/sharedStrings.xml"), shared))
        for (pugi::xml_node si : shared.child("sst").children("si"))
            strings << Utf8(si.child("t").text().get());
    pugi::xml_document doc;
    ParseXml(ZipEntry(file, "xl/worksheets/sheet1.xml"), doc);
    for (pugi::xml_node row : doc.child("worksheet").child("sheetData").children("row")) {
        for (pugi::xml_node c : row.children("c")) {
            const auto at = CellRef(Utf8(c.attribute("r").value()));
            sheet.rows = std::max(sheet.rows, at.first + 1);
            sheet.cols = std::max(sheet.cols, at.second + 1);
            sheet.styles[at] = c.attribute("s").as_int();
            if (std::string(c.attribute("t").value()) == "s")
                sheet.cells[at] = strings.value(c.child("v").text().as_int());
            else if (std::string(c.attribute("t").value()) == "inlineStr")
                sheet.cells[at] = Utf8(c.child("is").child("t").text().get());
        }
    }
    return sheet;
}

bool StyleIsBold(const QString& file, int style) {
    pugi::xml_document doc;
    ParseXml(ZipEntry(file, "xl/styles.xml"), doc);
    pugi::xml_node ss = doc.child("styleSheet");
    int i = 0;
    int font = -1;
    for (pugi::xml_node xf : ss.child("cellXfs").children("xf"))
        if (i++ == style)
            font = xf.attribute("fontId").as_int();
    i = 0;
    for (pugi::xml_node f : ss.child("fonts").children("font"))
        if (i++ == font)
            return bool(f.child("b"));
    return false;
}

// ---- reading a docx back

struct WordTable {
    QStringList paragraphsBefore; // body paragraphs before the table
    QList<QStringList> rows;
    bool headerBold = false;
    bool headerRepeats = false;
};

QString ParagraphText(pugi::xml_node p) {
    QString text;
    for (pugi::xml_node r : p.children("w:r"))
        text += Utf8(r.child("w:t").text().get());
    return text;
}

WordTable ReadWordTable(const QByteArray& xml) {
    WordTable t;
    pugi::xml_document doc;
    if (!ParseXml(xml, doc))
        return t;
    pugi::xml_node body = doc.child("w:document").child("w:body");
    for (pugi::xml_node n : body.children()) {
        if (std::string(n.name()) == "w:p" && t.rows.isEmpty())
            t.paragraphsBefore << ParagraphText(n);
        if (std::string(n.name()) != "w:tbl")
            continue;
        for (pugi::xml_node tr : n.children("w:tr")) {
            if (t.rows.isEmpty()) {
                t.headerRepeats = bool(tr.child("w:trPr").child("w:tblHeader"));
                t.headerBold = bool(tr.child("w:tc").child("w:p").child("w:r").child("w:rPr").child("w:b"));
            }
            QStringList cells;
            for (pugi::xml_node tc : tr.children("w:tc"))
                cells << ParagraphText(tc.child("w:p"));
            t.rows << cells;
        }
        break;
    }
    return t;
}

QByteArray Md5(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
}

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class OfficeExportTest : public QObject {
    Q_OBJECT
private slots:
    void excelCellsAreTextOfVisibleColumns();
    void excelBoldHeaderBordersNamesAndPage();
    void excelWidthsFollowLongestText();
    void excelFailureIsReported();
    void excelPrintsEveryColumnOnThePageWidth();
    void wordShortColumnsKeepTheirWords();
    void wordTableHasEveryRowAndVisibleColumn();
    void wordIncludesVisibleLastColumn();
    void wordPackageIsComplete();
    void wordTemplateReceivesResultAndStaysUntouched();
    void wordBrokenTemplateIsReported();
    void shippedTemplateKeepsItsPageAndTurnsWideLists_data();
    void shippedTemplateKeepsItsPageAndTurnsWideLists();
    void controlCharactersCannotBreakDocuments();
    void umlautsRoundTripIntoEveryFormat();
};

void OfficeExportTest::excelCellsAreTextOfVisibleColumns() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("r.xlsx");
    QString error;
    QVERIFY2(WriteExcelWorkbook(g, Options(), name, &error), qPrintable(error));
    const Sheet s = ReadSheet(name);
    QCOMPARE(s.cols, 10);
    QCOMPARE(s.rows, 4); // header, two results, the empty trailing row
    QCOMPARE(s.cells.at({0, 0}), QString("Platz"));
    QCOMPARE(s.cells.at({0, 8}), QString("Zeit"));
    QCOMPARE(s.cells.at({1, 1}), QString("17")); // a number stays text
    QCOMPARE(s.cells.at({1, 4}), QString("1990"));
    QCOMPARE(s.cells.at({2, 3}), QString("<Dorn & Co>"));
    QCOMPARE(s.cells.at({2, 9}), QString("1,77"));
    QVERIFY(!s.cells.count({3, 0})); // empty cells carry only their border
    QVERIFY(s.styles.count({3, 9}));
    for (const auto& [at, text] : s.cells)
        QVERIFY2(text != "605230" && text != "10:00:00,00", "hidden column written");
}

void OfficeExportTest::excelBoldHeaderBordersNamesAndPage() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("r.xlsx");
    QVERIFY(WriteExcelWorkbook(g, Options(), name));
    const Sheet s = ReadSheet(name);
    QVERIFY(StyleIsBold(name, s.styles.at({0, 0})));
    QVERIFY(StyleIsBold(name, s.styles.at({0, 9})));
    QVERIFY(!StyleIsBold(name, s.styles.at({1, 0})));

    pugi::xml_document styles;
    QVERIFY(ParseXml(ZipEntry(name, "xl/styles.xml"), styles));
    int i = 0;
    int border = -1;
    for (pugi::xml_node xf : styles.child("styleSheet").child("cellXfs").children("xf"))
        if (i++ == s.styles.at({1, 0}))
            border = xf.attribute("borderId").as_int();
    i = 0;
    for (pugi::xml_node b : styles.child("styleSheet").child("borders").children("border"))
        if (i++ == border)
            QCOMPARE(std::string(b.child("left").attribute("style").value()), std::string("thin"));

    pugi::xml_document book;
    QVERIFY(ParseXml(ZipEntry(name, "xl/workbook.xml"), book));
    QCOMPARE(Utf8(book.child("workbook").child("sheets").child("sheet").attribute("name").value()),
             QString("Kadenzor"));
    pugi::xml_document core;
    QVERIFY(ParseXml(ZipEntry(name, "docProps/core.xml"), core));
    QCOMPARE(Utf8(core.child("cp:coreProperties").child("dc:creator").text().get()), QString("Zeitravo Software"));
    QCOMPARE(Utf8(core.child("cp:coreProperties").child("dc:title").text().get()), QString("Stadtlauf 2026"));
    pugi::xml_document sheet;
    QVERIFY(ParseXml(ZipEntry(name, "xl/worksheets/sheet1.xml"), sheet));
    QCOMPARE(std::string(sheet.child("worksheet").child("pageSetup").attribute("orientation").value()),
             std::string("landscape"));
}

void OfficeExportTest::excelWidthsFollowLongestText() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    g.SetCell(5, 1, "Leichtathletikgemeinschaft Nord"); // "Verein", sheet column 6
    const QString name = dir.filePath("r.xlsx");
    QVERIFY(WriteExcelWorkbook(g, Options(), name));
    pugi::xml_document sheet;
    QVERIFY(ParseXml(ZipEntry(name, "xl/worksheets/sheet1.xml"), sheet));
    std::map<int, double> widths;
    for (pugi::xml_node col : sheet.child("worksheet").child("cols").children("col"))
        widths[col.attribute("min").as_int()] = col.attribute("width").as_double();
    QCOMPARE(int(widths.size()), 10);
    QVERIFY(widths[6] > 31);
    QVERIFY(widths[1] < 10);
    QVERIFY(widths[9] >= 8); // "10:05,23"
}

void OfficeExportTest::excelFailureIsReported() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    QString error;
    QVERIFY(!WriteExcelWorkbook(g, Options(), dir.filePath("no/such/r.xlsx"), &error));
    QVERIFY(error.startsWith("Die Datei »"));
}

void OfficeExportTest::excelPrintsEveryColumnOnThePageWidth() {
    // Ten fitted columns are wider than a landscape page in a spreadsheet program;
    // printed, the times must not move to a page of their own.
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    g.SetCell(3, 1, "Oberweissenbacher-Unterkleinhausen");
    g.SetCell(5, 1, "Leichtathletikgemeinschaft Nord 1897 e. V.");
    const QString name = dir.filePath("r.xlsx");
    QVERIFY(WriteExcelWorkbook(g, Options(), name));
    pugi::xml_document sheet;
    QVERIFY(ParseXml(ZipEntry(name, "xl/worksheets/sheet1.xml"), sheet));
    const pugi::xml_node ws = sheet.child("worksheet");
    QVERIFY(ws.child("sheetPr").child("pageSetUpPr").attribute("fitToPage").as_bool());
    const pugi::xml_node setup = ws.child("pageSetup");
    QCOMPARE(setup.attribute("fitToWidth").as_int(1), 1);
    QCOMPARE(setup.attribute("fitToHeight").as_int(1), 0); // as many pages down as the rows need
}

void OfficeExportTest::wordShortColumnsKeepTheirWords() {
    // Long names and clubs must not squeeze "Platz", a year or a time so far that
    // the word breaks in the middle: each short column gets at least its text at
    // 12 pt (a digit is 120 twips) and Word's cell margins (2 x 108 twips).
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    g.SetCell(3, 1, "<script>alert(1)</script>");
    g.SetCell(5, 1, "SV Grün-Weiß & \"Blau\" Oberweissenbach");
    const QString name = dir.filePath("r.docx");
    QVERIFY(WriteWordDocument(g, Options(), QString(), name));
    pugi::xml_document doc;
    QVERIFY(ParseXml(ZipEntry(name, "word/document.xml"), doc));
    const pugi::xml_node body = doc.child("w:document").child("w:body");
    QList<int> widths;
    for (pugi::xml_node col : body.child("w:tbl").child("w:tblGrid").children("w:gridCol"))
        widths << col.attribute("w:w").as_int();
    QCOMPARE(widths.size(), 10);
    const QList<int> visible{0, 1, 2, 3, 4, 5, 6, 7, 10, 11};
    for (int k : {0, 1, 4, 7, 8, 9}) { // Platz, St.Nr., JG, Kl.-Pl., Zeit, Split
        int longest = 0;
        for (int r = 0; r < g.RowCount(); ++r)
            longest = std::max(longest, int(g.Cell(visible[k], r).size()));
        QVERIFY2(widths[k] >= 216 + 120 * longest, qPrintable(g.Cell(visible[k], 0)));
    }
    // Together no wider than the page between its margins.
    const pugi::xml_node sect = body.child("w:sectPr");
    const int page = sect.child("w:pgSz").attribute("w:w").as_int() -
                     sect.child("w:pgMar").attribute("w:left").as_int() -
                     sect.child("w:pgMar").attribute("w:right").as_int();
    QVERIFY(page > 0);
    QVERIFY(std::accumulate(widths.begin(), widths.end(), 0) <= page);
    // Every cell of a column has the grid's width.
    for (pugi::xml_node tc : body.child("w:tbl").child("w:tr").children("w:tc"))
        QVERIFY(tc.child("w:tcPr").child("w:tcW").attribute("w:w").as_int() == widths.takeFirst());
}

void OfficeExportTest::wordTableHasEveryRowAndVisibleColumn() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("r.docx");
    QString error;
    QVERIFY2(WriteWordDocument(g, Options(), QString(), name, &error), qPrintable(error));
    const WordTable t = ReadWordTable(ZipEntry(name, "word/document.xml"));
    QCOMPARE(t.paragraphsBefore, QStringList({"Stadtlauf 2026", ""}));
    QCOMPARE(t.rows.size(), 4);
    for (const QStringList& row : t.rows)
        QCOMPARE(row.size(), 10);
    QCOMPARE(t.rows[0].first(), QString("Platz"));
    QCOMPARE(t.rows[0].last(), QString("Split"));
    QCOMPARE(t.rows[2][3], QString("<Dorn & Co>"));
    QCOMPARE(t.rows[3], QStringList(10, QString()));
    QVERIFY(t.headerBold);
    QVERIFY(t.headerRepeats);
}

void OfficeExportTest::wordIncludesVisibleLastColumn() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    ExportOptions o = Options();
    o.colWidths[12] = 20;
    const QString name = dir.filePath("r.docx");
    QVERIFY(WriteWordDocument(g, o, QString(), name));
    const WordTable t = ReadWordTable(ZipEntry(name, "word/document.xml"));
    QCOMPARE(t.rows[1].size(), 11);
    QCOMPARE(t.rows[1].last(), QString("605230"));
}

void OfficeExportTest::wordPackageIsComplete() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("r.docx");
    QVERIFY(WriteWordDocument(g, Options(), QString(), name));
    const QStringList names = ZipNames(name);
    QCOMPARE(names.first(), QString("[Content_Types].xml"));
    QVERIFY(names.contains("_rels/.rels"));
    pugi::xml_document types;
    QVERIFY(ParseXml(ZipEntry(name, "[Content_Types].xml"), types));
    bool mainPart = false;
    for (pugi::xml_node o : types.child("Types").children("Override"))
        mainPart |= std::string(o.attribute("PartName").value()) == "/word/document.xml";
    QVERIFY(mainPart);
    // The document names its font; without it each program picks its own.
    pugi::xml_document rels;
    QVERIFY(ParseXml(ZipEntry(name, "word/_rels/document.xml.rels"), rels));
    QCOMPARE(std::string(rels.child("Relationships").child("Relationship").attribute("Target").value()),
             std::string("styles.xml"));
    bool stylesType = false;
    for (pugi::xml_node o : types.child("Types").children("Override"))
        stylesType |= std::string(o.attribute("PartName").value()) == "/word/styles.xml";
    QVERIFY(stylesType);
    pugi::xml_document styles;
    QVERIFY(ParseXml(ZipEntry(name, "word/styles.xml"), styles));
    const pugi::xml_node rPr = styles.child("w:styles").child("w:docDefaults").child("w:rPrDefault").child("w:rPr");
    QCOMPARE(std::string(rPr.child("w:rFonts").attribute("w:ascii").value()), std::string("Arial"));
    QCOMPARE(rPr.child("w:sz").attribute("w:val").as_int(), 20);
    pugi::xml_document core;
    QVERIFY(ParseXml(ZipEntry(name, "docProps/core.xml"), core));
    QCOMPARE(Utf8(core.child("cp:coreProperties").child("dc:title").text().get()), QString("Stadtlauf 2026"));
    // More than eight columns turn the page; fewer keep it upright.
    pugi::xml_document doc;
    QVERIFY(ParseXml(ZipEntry(name, "word/document.xml"), doc));
    QCOMPARE(
        Utf8(doc.child("w:document").child("w:body").child("w:sectPr").child("w:pgSz").attribute("w:orient").value()),
        QString("landscape"));
    ExportOptions few{QStringLiteral("T"), {10, 10, -1, -1, -1, -1, -1, -1, -1, -1, 10, -1, -1}};
    QVERIFY(WriteWordDocument(g, few, QString(), name));
    QVERIFY(ParseXml(ZipEntry(name, "word/document.xml"), doc));
    QVERIFY(!doc.child("w:document").child("w:body").child("w:sectPr").child("w:pgSz").attribute("w:orient"));
    QCOMPARE(ReadWordTable(ZipEntry(name, "word/document.xml")).rows[1], QStringList({"1", "17", "10:05,23"}));
}

void OfficeExportTest::wordTemplateReceivesResultAndStaysUntouched() {
    QTemporaryDir dir;
    // A template: a letterhead paragraph and the section properties, plus a style part.
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
        "<w:p><w:r><w:t>Briefkopf Verein</w:t></w:r></w:p>"
        "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";
    ZipPackage tpl;
    tpl.SetEntry(
        "[Content_Types].xml",
        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml\"/>"
        "</Types>");
    tpl.SetEntry("_rels/.rels", "<Relationships/>");
    tpl.SetEntry("word/document.xml", document);
    tpl.SetEntry("word/styles.xml",
                 "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>");
    QByteArray bytes;
    QVERIFY(tpl.Build(bytes, nullptr));
    const QString templateFile = dir.filePath("Kadenzor.docx");
    QFile f(templateFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const QByteArray before = Md5(templateFile);

    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("out.docx");
    QString error;
    QVERIFY2(WriteWordDocument(g, Options(), templateFile, name, &error), qPrintable(error));
    QCOMPARE(Md5(templateFile), before);
    QVERIFY(ZipNames(name).contains("word/styles.xml"));
    QVERIFY(!ZipEntry(name, "[Content_Types].xml").contains("template.main+xml"));
    const QByteArray xml = ZipEntry(name, "word/document.xml");
    const WordTable t = ReadWordTable(xml);
    QCOMPARE(t.paragraphsBefore, QStringList({"Briefkopf Verein", "Stadtlauf 2026", ""}));
    QCOMPARE(t.rows.size(), 4);
    pugi::xml_document doc;
    QVERIFY(ParseXml(xml, doc));
    QCOMPARE(std::string(doc.child("w:document").child("w:body").last_child().name()), std::string("w:sectPr"));
}

void OfficeExportTest::shippedTemplateKeepsItsPageAndTurnsWideLists_data() {
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<bool>("landscape");
    QTest::newRow("ten columns: landscape") << DefaultWidths() << true;
    QTest::newRow("five columns: portrait") << QList<int>{40, 40, 80, 80, -1, -1, -1, -1, -1, -1, 60, -1, -1} << false;
}

// The template beside the program: its header, page-numbered footer and margins stay;
// the document carries the race's title; a wide list turns the page.
void OfficeExportTest::shippedTemplateKeepsItsPageAndTurnsWideLists() {
    QFETCH(QList<int>, widths);
    QFETCH(bool, landscape);
    const QString templateFile = QStringLiteral(KADENZOR_WORD_TEMPLATE);
    QVERIFY2(QFile::exists(templateFile), qPrintable(templateFile));
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    const QString name = dir.filePath("out.docx");
    QString error;
    QVERIFY2(WriteWordDocument(g, ExportOptions{QStringLiteral("Stadtlauf 2026"), widths}, templateFile, name, &error),
             qPrintable(error));
    const QStringList parts = ZipNames(name);
    QVERIFY(parts.contains("word/header1.xml"));
    QVERIFY(parts.contains("word/footer1.xml"));
    QVERIFY(ZipEntry(name, "word/footer1.xml").contains("NUMPAGES"));
    pugi::xml_document core;
    QVERIFY(ParseXml(ZipEntry(name, "docProps/core.xml"), core));
    QCOMPARE(Utf8(core.child("cp:coreProperties").child("dc:title").text().get()), QString("Stadtlauf 2026"));

    pugi::xml_document doc;
    QVERIFY(ParseXml(ZipEntry(name, "word/document.xml"), doc));
    const pugi::xml_node body = doc.child("w:document").child("w:body");
    const pugi::xml_node sect = body.last_child();
    QCOMPARE(std::string(sect.name()), std::string("w:sectPr"));
    QVERIFY(sect.child("w:footerReference"));
    const pugi::xml_node size = sect.child("w:pgSz");
    const int pageWidth = size.attribute("w:w").as_int();
    QCOMPARE(pageWidth > size.attribute("w:h").as_int(), landscape);
    QCOMPARE(std::string(size.attribute("w:orient").value()), std::string(landscape ? "landscape" : ""));
    // The table fits between the template's margins.
    int tableWidth = 0;
    for (pugi::xml_node col : body.child("w:tbl").child("w:tblGrid").children("w:gridCol"))
        tableWidth += col.attribute("w:w").as_int();
    QVERIFY(tableWidth > 0);
    QVERIFY2(tableWidth <= pageWidth - 2 * 1134, qPrintable(QString::number(tableWidth)));
}

void OfficeExportTest::wordBrokenTemplateIsReported() {
    QTemporaryDir dir;
    const QString templateFile = dir.filePath("Kadenzor.docx");
    QFile f(templateFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is no zip archive");
    f.close();
    SortGridData g;
    ResultGrid(g);
    QString error;
    QVERIFY(!WriteWordDocument(g, Options(), templateFile, dir.filePath("out.docx"), &error));
    QVERIFY(error.startsWith("Die Datei »"));
    QVERIFY(error.contains("Vorlage"));
    QVERIFY(!QFile::exists(dir.filePath("out.docx")));
}

void OfficeExportTest::controlCharactersCannotBreakDocuments() {
    QTemporaryDir dir;
    SortGridData g;
    ResultGrid(g);
    g.SetCell(3, 1, QString("Be") + QChar(0x01) + "rg" + QChar(0xFFFF) + QChar(0xD800));
    const QString docx = dir.filePath("r.docx");
    const QString xlsx = dir.filePath("r.xlsx");
    QVERIFY(WriteWordDocument(g, Options(), QString(), docx));
    QVERIFY(WriteExcelWorkbook(g, Options(), xlsx));
    pugi::xml_document doc;
    QVERIFY(ParseXml(ZipEntry(docx, "word/document.xml"), doc));
    QCOMPARE(ReadWordTable(ZipEntry(docx, "word/document.xml")).rows[1][3], QString("Berg"));
    QCOMPARE(ReadSheet(xlsx).cells.at({1, 3}), QString("Berg"));
}

void OfficeExportTest::umlautsRoundTripIntoEveryFormat() {
    QTemporaryDir dir;
    SortGridData g;
    MakeProtocolGrid(g);
    QString error;
    QVERIFY2(LoadProtocolText(g, KADENZOR_TEST_DATA "/startlist-umlaut.txt", DefaultCaptions(), &error),
             qPrintable(error));
    QCOMPARE(g.Cell(3, 1), QStringLiteral("Müller"));
    const ExportOptions o{QStringLiteral("Großer Preis"), DefaultWidths()};

    QVERIFY(WriteHtmlList(g, o, dir.filePath("r.html")));
    const QByteArray html = ReadAll(dir.filePath("r.html"));
    QVERIFY(html.contains("<td>J\xFCrgen<td>M\xFCller<td>1970<td>SV Gr\xFCn-Wei\xDF<td>M50"));
    QVERIFY(html.contains("<H1>Gro\xDF"
                          "er Preis</H1>"));

    QVERIFY(WriteGridText(g, dir.filePath("r.txt")));
    QVERIFY(ReadAll(dir.filePath("r.txt"))
                .contains("\t\xC4nne\t\xD6zt\xFCrk\t1988\tLC \xDC"
                          "bersee\t"));

    QVERIFY(WriteWordDocument(g, o, QString(), dir.filePath("r.docx")));
    const WordTable t = ReadWordTable(ZipEntry(dir.filePath("r.docx"), "word/document.xml"));
    QCOMPARE(t.paragraphsBefore.first(), QStringLiteral("Großer Preis"));
    QCOMPARE(t.rows[2].mid(2, 2), QStringList({QStringLiteral("Änne"), QStringLiteral("Öztürk")}));

    QVERIFY(WriteExcelWorkbook(g, o, dir.filePath("r.xlsx")));
    const Sheet s = ReadSheet(dir.filePath("r.xlsx"));
    QCOMPARE(s.cells.at({1, 5}), QStringLiteral("SV Grün-Weiß"));
    QCOMPARE(s.cells.at({2, 5}), QStringLiteral("LC Übersee"));
}

QTEST_GUILESS_MAIN(OfficeExportTest)
#include "tst_OfficeExport.moc"
