#include "core/files/HtmlList.h"
#include "protocol/GridTestUtil.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The page for the small grid below, line by line as the result list is published.
const char* const kSmallPage[] = {
    "<HTML>",
    "<HEAD>",
    "<!--www.zeitravo.example software -->",
    "<TITLE>Zeitravo Kadenzor: Stadtlauf</TITLE>",
    "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">",
    "<META name=keywords content=\"Kadenzor\">",
    "<META name=description content=\"Zeitravo professional software development for all\">",
    "<META name=\"Webdesign\" content=\"https://design.zeitravo.example/\">",
    "<style type=\"text/css\">",
    ".KPACKA { background-color:#EEEEEE }",
    "</style>",
    "<script type=\"text/javascript\">",
    "function PA3MEP()",
    "{",
    " for(i = 0; i < document.getElementsByTagName(\"table\").length; i++)",
    "   document.getElementsByTagName(\"table\")[i].width = \"\";",
    "}",
    "function CBET_CTPOKI()",
    "{",
    " for(var i = 0; i < document.getElementsByTagName(\"tr\").length; i++)",
    "   if(i % 2 != 0)",
    "   {",
    "\t document.getElementsByTagName(\"tr\")[i].className = \"KPACKA\";",
    "   }",
    "}",
    "</script>",
    "<STYLE type=text/css>",
    "body {font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px; background-color: #F4F4F4; text-align: "
    "center}",
    "\th1 {text-decoration: blink; font-size: 26px}",
    "\th3 {  font-weight: normal}",
    "\ttable {font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px}",
    "\tth {background-color: #999999; color: #FFFFFF; border: 1px #F4F4F4 dashed}",
    "\ttd {  border: 1px #F4F4F4 dashed; vertical-align: top}",
    "</STYLE>",
    "</HEAD>",
    "<BODY>",
    "<H1>Stadtlauf</H1></div>",
    "<h3><font face=Webdings size=7 color=#FFCC00>%</font>Ergebnisliste</h3>",
    "<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF cellpadding=2 onClick=\"javascript:PA3MEP();",
    "CBET_CTPOKI()\" title=\"Klick = AutoAnpassen an Inhalt und an Fenster, Webbrowser - Aktualisieren = zurueck\" "
    "width=100%>",
    "<colgroup valign=top>",
    "<col align=right bgcolor=#CCCCCC>",
    "<col align=right>",
    "<col>",
    "<col>",
    "<col align=center>",
    "<col>",
    "<col>",
    "<col align=right bgcolor=#CCCCCC>",
    "<col align=right>",
    "<col align=right>",
    "</colgroup><thead>",
    "<tr>",
    "<th>Platz",
    "<th>St.Nr.",
    "<th>Vorname",
    "<th>Nachname",
    "<th>JG",
    "<th>Verein",
    "<th>Klasse",
    "<th>Kl.-Pl.",
    "<th>Zeit",
    "<th>Split",
    "</tr></thead>",
    "<tr><td>1<td>17<td>Anna<td>Berg<td>1990<td>LV<td>W<td>1<td>10:05,23<td>0,00</tr>",
    "<tr><td>2<td>4<td>Carl<td>Dorn<td> <td> <td> <td> <td>10:07,00<td>1:77</tr>",
    "</table><P align=right><a href=\"https://www.zeitravo.example/\" title=\"Sport Software\"><FONT "
    "color=#FF0000>Zeit</FONT><FONT color=#009900>ra</FONT><FONT color=#999999>vo</FONT></A></P></body></html>",
};

// Widths as the window sets them for the default column choice: "Start", "Stopp" and the raw column hidden.
QList<int> DefaultWidths() {
    return {40, 40, 80, 80, 40, 80, 60, 40, -1, -1, 60, 50, -1};
}

void SmallGrid(SortGridData& g) {
    MakeProtocolGrid(g);
    g.SetRowCount(4);
    g.SetRows(1, {"1", "17", "Anna", "Berg", "1990", "LV", "W", "1", "10:00:00,00", "10:10:05,23", "10:05,23", "0,00",
                  "605230"});
    g.SetRows(2, {"2", "4", "Carl", "Dorn", " ", " ", " ", " ", "10:01:00,00", "10:08:00,00", "10:07,00", "1:77", ""});
    // The trailing row has no start number: it is not published.
}

QByteArray Join(const char* const* lines, size_t n) {
    QByteArray all;
    for (size_t i = 0; i < n; ++i)
        all += QByteArray(lines[i]) + "\r\n";
    return all;
}

ExportOptions Options(const QString& title = QStringLiteral("Stadtlauf")) {
    return ExportOptions{title, DefaultWidths()};
}

// Every data line of the page (the lines of table rows after the header row).
QList<QByteArray> DataLines(const QByteArray& page) {
    QList<QByteArray> rows;
    for (const QByteArray& line : page.split('\n'))
        if (line.startsWith("<tr><td>"))
            rows << line.chopped(1);
    return rows;
}

} // namespace

class HtmlListTest : public QObject {
    Q_OBJECT
private slots:
    void smallGridByteForByte();
    void writtenFileEqualsPage();
    void headerAndEmptyRowOnlyHasNoDataRows();
    void lastRowWithNumberAndEmptyMiddleRowsAreWritten();
    void hiddenColumnsLeaveNoTrace();
    void textsAreEscaped_data();
    void textsAreEscaped();
    void umlautsAreSingleBytes();
    void charactersOutsideTheCodePageSurvive();
    void failedWriteIsReported();
};

void HtmlListTest::smallGridByteForByte() {
    SortGridData g;
    SmallGrid(g);
    const QByteArray expected = Join(kSmallPage, std::size(kSmallPage));
    const QByteArray page = HtmlListBytes(g, Options());
    if (page != expected) {
        const QList<QByteArray> a = page.split('\n');
        const QList<QByteArray> b = expected.split('\n');
        for (int i = 0; i < qMin(a.size(), b.size()); ++i)
            QCOMPARE(a[i], b[i]);
    }
    QCOMPARE(page, expected);
}

void HtmlListTest::writtenFileEqualsPage() {
    QTemporaryDir dir;
    SortGridData g;
    SmallGrid(g);
    const QString name = dir.filePath("Kadenzor.html");
    QString error;
    QVERIFY(WriteHtmlList(g, Options(), name, &error));
    QVERIFY(error.isEmpty());
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), Join(kSmallPage, std::size(kSmallPage)));
}

void HtmlListTest::headerAndEmptyRowOnlyHasNoDataRows() {
    SortGridData g;
    MakeProtocolGrid(g);
    const QByteArray page = HtmlListBytes(g, Options());
    QVERIFY(DataLines(page).isEmpty());
    QVERIFY(page.contains("<th>Platz\r\n"));
    QVERIFY(page.contains("</tr></thead>\r\n</table><P align=right>"));
}

void HtmlListTest::lastRowWithNumberAndEmptyMiddleRowsAreWritten() {
    SortGridData g;
    MakeProtocolGrid(g);
    g.SetRowCount(4);
    g.SetCell(1, 1, "5");
    g.SetCell(1, 3, "9"); // row 2 stays empty, row 3 is the last and has a number
    const QList<QByteArray> rows = DataLines(HtmlListBytes(g, Options()));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1], QByteArray("<tr><td><td><td><td><td><td><td><td><td><td></tr>"));
    QCOMPARE(rows[2], QByteArray("<tr><td><td>9<td><td><td><td><td><td><td><td></tr>"));
}

void HtmlListTest::hiddenColumnsLeaveNoTrace() {
    SortGridData g;
    SmallGrid(g);
    ExportOptions all{QStringLiteral("T"), QList<int>(13, 30)};
    all.colWidths[12] = 30; // even a visible last column is never written
    const QByteArray page = HtmlListBytes(g, all);
    QVERIFY(page.contains("<col class=best align=right>\r\n"));
    QVERIFY(page.contains("<th>Start\r\n<th>Stopp\r\n"));
    QVERIFY(!page.contains("605230"));
    QCOMPARE(page.count("<th>"), 12);
    // Only "Platz", "St.Nr." and "Zeit" shown.
    ExportOptions few{QStringLiteral("T"), {10, 10, -1, -1, -1, -1, -1, -1, -1, -1, 10, -1, -1}};
    const QByteArray small = HtmlListBytes(g, few);
    QCOMPARE(small.count("<th>"), 3);
    QCOMPARE(small.count("<col"), 4); // three columns and the colgroup
    QCOMPARE(DataLines(small).first(), QByteArray("<tr><td>1<td>17<td>10:05,23</tr>"));
}

void HtmlListTest::textsAreEscaped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("less") << "a<b" << QByteArray("a&lt;b");
    QTest::newRow("ampersand") << "Lauf & Co" << QByteArray("Lauf &amp; Co");
    QTest::newRow("script") << "<script>alert(1)</script>" << QByteArray("&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("quote") << "\"x\"" << QByteArray("&quot;x&quot;");
    QTest::newRow("reference") << "&amp;" << QByteArray("&amp;amp;");
}

void HtmlListTest::textsAreEscaped() {
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    SortGridData g;
    SmallGrid(g);
    g.SetCell(3, 1, text);
    g.SetCell(3, 0, text);
    const QByteArray page = HtmlListBytes(g, Options(text));
    QVERIFY(page.contains("<TITLE>Zeitravo Kadenzor: " + written + "</TITLE>\r\n"));
    QVERIFY(page.contains("<H1>" + written + "</H1></div>\r\n"));
    QVERIFY(page.contains("<th>" + written + "\r\n"));
    QVERIFY(page.contains("<td>" + written + "<td>1990"));
    QVERIFY(!page.contains(text.toLatin1()) || text == "&amp;");
}

void HtmlListTest::umlautsAreSingleBytes() {
    SortGridData g;
    SmallGrid(g);
    g.SetCell(3, 1, QStringLiteral("Müßig"));
    const QByteArray page = HtmlListBytes(g, Options(QStringLiteral("Bürgerlauf €")));
    QVERIFY(page.contains("<H1>B\xFCrgerlauf \x80</H1>"));
    QVERIFY(page.contains("<td>M\xFC\xDFig<td>"));
}

void HtmlListTest::charactersOutsideTheCodePageSurvive() {
    SortGridData g;
    SmallGrid(g);
    g.SetCell(3, 1, QStringLiteral("Łukasz ") + QString::fromUcs4(U"\U0001F3C3"));
    const QByteArray page = HtmlListBytes(g, Options());
    QVERIFY(page.contains("<td>&#321;ukasz &#127939;<td>"));
}

void HtmlListTest::failedWriteIsReported() {
    QTemporaryDir dir;
    SortGridData g;
    SmallGrid(g);
    QString error;
    QVERIFY(!WriteHtmlList(g, Options(), dir.filePath("missing/Kadenzor.html"), &error));
    QVERIFY(error.startsWith("Die Datei »"));
    QVERIFY(error.contains("Kadenzor.html"));
}

QTEST_GUILESS_MAIN(HtmlListTest)
#include "tst_HtmlList.moc"
