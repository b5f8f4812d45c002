#include "app/RaceWindow.h"
#include "platform/PagedHtml.h"
#include "reports/HtmlList.h"
#include "reports/PdfList.h"
#include "reports/ProtocolExport.h"
#include "reports/ZipRead.h"

#include <QAction>
#include <QStatusBar>
#include <QToolButton>

namespace {

// Two finished athletes, as a race leaves the protocol.
void RunTwoAthletes(RaceWindow& w) {
    w.StartNumber("7");
    w.Advance(1000);
    w.StartNumber("9");
    w.Advance(60000);
    w.FinishNumber("7");
    w.Advance(5000);
    w.FinishNumber("9");
}

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The first data line of a published page.
QByteArray FirstDataLine(const QByteArray& page) {
    for (const QByteArray& line : page.split('\n'))
        if (line.startsWith("<tr><td>"))
            return line.chopped(1);
    return {};
}

TSettings Titled() {
    TSettings s;
    s.Title = QStringLiteral("Abendlauf <Süd>");
    return s;
}

} // namespace

class ResultExportTest : public QObject {
    Q_OBJECT
private slots:
    void commandsFollowTheProtocol();
    void ctrlHWritesAndOpensPage();
    void printButtonAndCtrlDPrintSamePage();
    void failedPageOpensNothing();
    void unwritableCurrentFolderUsesBackupFolder();
    void ctrlWWritesAndOpensWordDocument();
    void ctrlEWritesAndOpensWorkbook();
    void saveDialogOffersSixEntries();
    void saveDialogWritesChosenFormat_data();
    void saveDialogWritesChosenFormat();
    void cancelledSaveWritesNothing();
    void failedExportShowsError();
    void pdfPagesTurnForWideTables();
    void qtReadsThePublishedTable();
};

void ResultExportTest::commandsFollowTheProtocol() {
    RaceWindow w;
    QVERIFY(!w.form->sbHTML->isEnabled());
    QVERIFY(!w.form->Export().eH1()->isEnabled());
    w.Key(Qt::Key_H, Qt::ControlModifier);
    QVERIFY(!QFile::exists(w.folder + "Kadenzor.html"));
    RunTwoAthletes(w);
    for (QToolButton* b : {w.form->sbSave, w.form->sbPrint, w.form->sbWord, w.form->sbExcel, w.form->sbHTML})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(w.form->Export().eS1()->isEnabled());
    QVERIFY(w.form->Export().Druk1()->isEnabled());
    w.fake->printers.Count = 0;
    w.form->Export().UpdateResultCommands();
    QVERIFY(!w.form->sbPrint->isEnabled());
    QVERIFY(!w.form->Export().Druk1()->isEnabled());
    QVERIFY(w.form->sbHTML->isEnabled());
}

void ResultExportTest::ctrlHWritesAndOpensPage() {
    RaceWindow w(Titled());
    RunTwoAthletes(w);
    w.Key(Qt::Key_H, Qt::ControlModifier);
    const QString page = w.folder + "Kadenzor.html";
    QCOMPARE(w.fake->shell.Opened, QStringList{page});
    QVERIFY(w.fake->shell.Printed.isEmpty());
    const QByteArray html = ReadAll(page);
    QVERIFY(html.contains("<H1>Abendlauf &lt;S\xFC"
                          "d&gt;</H1></div>\r\n"));
    // The page shows the protocol as it stands: no place correction before it.
    QVERIFY(FirstDataLine(html).startsWith("<tr><td>-<td>7<td>"));
    QVERIFY(w.form->StatusBar1->currentMessage().contains("Kadenzor.html"));
    // The button does the same.
    QFile::remove(page);
    QTest::mouseClick(w.form->sbHTML, Qt::LeftButton);
    QCOMPARE(w.fake->shell.Opened.size(), 2);
    QVERIFY(QFile::exists(page));
}

void ResultExportTest::printButtonAndCtrlDPrintSamePage() {
    RaceWindow w;
    RunTwoAthletes(w);
    QTest::mouseClick(w.form->sbPrint, Qt::LeftButton);
    const QString page = w.folder + "Kadenzor.html";
    QCOMPARE(w.fake->shell.Printed, QStringList{page});
    const QByteArray first = ReadAll(page);
    w.Key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(w.fake->shell.Printed, QStringList({page, page}));
    QCOMPARE(ReadAll(page), first);
    QVERIFY(w.fake->shell.Opened.isEmpty());
}

void ResultExportTest::failedPageOpensNothing() {
    RaceWindow w;
    RunTwoAthletes(w);
    QVERIFY(QDir(w.folder).mkdir("Kadenzor.html")); // a folder where the page should go
    w.Key(Qt::Key_H, Qt::ControlModifier);
    w.Key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.Errors.size(), 2);
    QVERIFY(w.fake->prompts.Errors[0].startsWith("Der Schreibfehler der Datei: "));
    QVERIFY(w.fake->shell.Opened.isEmpty());
    QVERIFY(w.fake->shell.Printed.isEmpty());
}

void ResultExportTest::unwritableCurrentFolderUsesBackupFolder() {
    QTemporaryDir backups;
    TSettings s;
    s.RezervDir = backups.path() + "/";
    RaceWindow w(s);
    w.fake->platform.workingFolder = w.folder + "gone/"; // the current folder has vanished
    // A fresh controller sees the changed platform; the window's own one keeps its copy.
    ExportHooks hooks;
    hooks.backupFolder = [&] { return s.RezervDir; };
    const ExportControls controls{w.form.get(),   w.form->SortGrid1, w.form->sbSave, w.form->sbPrint,
                                  w.form->sbWord, w.form->sbExcel,   w.form->sbHTML};
    ProtocolExport ex(controls, hooks, w.form->Settings(), w.fake->platform);
    RunTwoAthletes(w);
    ex.sbHTMLClick(0);
    QCOMPARE(w.fake->shell.Opened, QStringList{s.RezervDir + "Kadenzor.html"});
    QVERIFY(QFile::exists(s.RezervDir + "Kadenzor.html"));
}

void ResultExportTest::ctrlWWritesAndOpensWordDocument() {
    RaceWindow w;
    RunTwoAthletes(w);
    w.Key(Qt::Key_W, Qt::ControlModifier);
    const QString name = w.folder + "2026-03-20-10-01.docx";
    QCOMPARE(w.fake->shell.Opened, QStringList{name});
    bool found = false;
    const QByteArray xml = ZipEntry(name, "word/document.xml", &found);
    QVERIFY(found);
    QVERIFY(xml.contains("<w:t xml:space=\"preserve\">Wettkampftitel</w:t>"));
    QVERIFY(w.fake->prompts.Errors.isEmpty());
}

void ResultExportTest::ctrlEWritesAndOpensWorkbook() {
    RaceWindow w;
    RunTwoAthletes(w);
    w.Key(Qt::Key_E, Qt::ControlModifier);
    const QString name = w.folder + "2026-03-20-10-01.xlsx";
    QCOMPARE(w.fake->shell.Opened, QStringList{name});
    bool found = false;
    ZipEntry(name, "xl/worksheets/sheet1.xml", &found);
    QVERIFY(found);
    QTest::mouseClick(w.form->sbExcel, Qt::LeftButton);
    QCOMPARE(w.fake->shell.Opened.size(), 2);
}

void ResultExportTest::saveDialogOffersSixEntries() {
    RaceWindow w;
    RunTwoAthletes(w);
    w.Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.SaveFilters,
             QStringList({"Alle Dateien (*.txt *.xlsx)", "MS Excel (*.xlsx)", "Textdatei (*.txt)", "MS Word (*.docx)",
                          "Webseite (*.html)", "PDF (*.pdf)"}));
    QCOMPARE(w.fake->prompts.SaveFilterOffered, 2); // the stored default
    QCOMPARE(w.fake->prompts.SaveName, QString("2026-03-20-10-01"));
    QCOMPARE(w.fake->prompts.SaveDir, w.folder);
}

void ResultExportTest::saveDialogWritesChosenFormat_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("starts");
    QTest::newRow("all files, xlsx") << 1 << "lauf"
                                     << "lauf.xlsx" << QByteArray("PK");
    QTest::newRow("all files, txt") << 1 << "lauf.txt"
                                    << "lauf.txt" << QByteArray("Platz\tSt.Nr.\t");
    QTest::newRow("excel") << 2 << "lauf"
                           << "lauf.xlsx" << QByteArray("PK");
    QTest::newRow("text") << 3 << "lauf"
                          << "lauf.txt" << QByteArray("Platz\tSt.Nr.\t");
    QTest::newRow("word") << 4 << "lauf.docx"
                          << "lauf.docx" << QByteArray("PK");
    QTest::newRow("web page") << 5 << "lauf"
                              << "lauf.html" << QByteArray("<HTML>\r\n<HEAD>\r\n");
    QTest::newRow("pdf") << 6 << "lauf"
                         << "lauf.pdf" << QByteArray("%PDF");
}

void ResultExportTest::saveDialogWritesChosenFormat() {
    QFETCH(int, entry);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QByteArray, starts);
    RaceWindow w;
    RunTwoAthletes(w);
    // The save corrects the places first, as the place correction does.
    w.form->SortGrid1->SetCell(Col::Platz, 1, "");
    w.fake->prompts.FileNames << w.folder + typed;
    w.fake->prompts.SaveFilterAnswer = entry;
    QTest::mouseClick(w.form->sbSave, Qt::LeftButton);
    QVERIFY(w.fake->prompts.Errors.isEmpty());
    QVERIFY(ReadAll(w.folder + written).startsWith(starts));
    QCOMPARE(w.form->Settings().FilterInd, entry);
    QCOMPARE(w.form->SortGrid1->Cell(Col::Platz, 1), QString("1"));
    QVERIFY(w.fake->shell.Opened.isEmpty());
    QVERIFY(w.form->StatusBar1->currentMessage().contains(written));
    // The next save offers the entry chosen last.
    w.Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.SaveFilterOffered, entry);
}

void ResultExportTest::cancelledSaveWritesNothing() {
    TSettings s;
    s.FilterInd = 5;
    RaceWindow w(s);
    RunTwoAthletes(w);
    const QStringList before = QDir(w.folder).entryList(QDir::Files);
    w.fake->prompts.SaveFilterAnswer = 3;
    w.Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.PickerCalls, 1);
    QCOMPARE(QDir(w.folder).entryList(QDir::Files), before);
    QCOMPARE(w.form->Settings().FilterInd, 5);
}

void ResultExportTest::failedExportShowsError() {
    RaceWindow w;
    RunTwoAthletes(w);
    // A Word template that is no document: the export says so instead of ending silently.
    QFile tpl(w.folder + "Kadenzor.docx");
    QVERIFY(tpl.open(QIODevice::WriteOnly));
    tpl.write("broken");
    tpl.close();
    w.Key(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY(w.fake->shell.Opened.isEmpty());
    w.fake->prompts.FileNames << w.folder + "missing/lauf.xlsx";
    w.fake->prompts.SaveFilterAnswer = 2;
    w.Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.Errors.size(), 2);
    QVERIFY(w.fake->prompts.Errors[1].contains("lauf.xlsx"));
}

void ResultExportTest::pdfPagesTurnForWideTables() {
    QTemporaryDir dir;
    SortGridData g;
    g.SetColCount(13);
    g.SetRowCount(301);
    for (int c = 0; c < 12; ++c)
        g.SetCell(c, 0, QString("H%1").arg(c));
    for (int r = 1; r < 301; ++r)
        for (int c = 0; c < 12; ++c)
            g.SetCell(c, r, QString::number(r * 100 + c));
    ExportOptions wide{"Weit", QList<int>(13, 30)};
    wide.colWidths[12] = -1;
    QString error;
    QVERIFY2(WritePdfList(g, wide, dir.filePath("w.pdf"), &error), qPrintable(error));
    const QByteArray pdf = ReadAll(dir.filePath("w.pdf"));
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY(pdf.contains("/MediaBox [0 0 841.") || pdf.contains("/MediaBox [0 0 842"));
    QVERIFY(pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page>") > 3);
    ExportOptions narrow{"Schmal", {10, 10, -1, -1, -1, -1, -1, -1, -1, -1, 10, -1, -1}};
    QVERIFY(WritePdfList(g, narrow, dir.filePath("n.pdf")));
    QVERIFY(ReadAll(dir.filePath("n.pdf")).contains("/MediaBox [0 0 595"));
}

void ResultExportTest::qtReadsThePublishedTable() {
    SortGridData g;
    g.SetColCount(13);
    g.SetRowCount(3);
    g.SetRows(0, ProtocolCaptions());
    g.SetRows(1, QStringList(12, "x") << "");
    g.SetRows(2, QStringList(12, "y") << "");
    const ExportOptions o{"T", {10, 10, 10, 10, 10, 10, 10, 10, -1, -1, 10, 10, -1}};
    const QString html = DecodeHtmlPage(HtmlListBytes(g, o));
    QCOMPARE(WidestTable(html), 10);
}

QTEST_MAIN(ResultExportTest)
#include "tst_ResultExport.moc"
