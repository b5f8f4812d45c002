#include "app/RaceWindow.h"
#include "core/base/TimeText.h"
#include "core/files/HtmlList.h"
#include "reports/ZipRead.h"
#include "ui/dialogs/PdfList.h"
#include "ui/tables/ProtocolExport.h"

#include <QAction>
#include <QBuffer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPdfWriter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
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

// Every text node of an XML part, in document order.
QStringList XmlTexts(const QByteArray& xml) {
    pugi::xml_document doc;
    QStringList out;
    if (!ParseXml(xml, doc))
        return out;
    struct Walker : pugi::xml_tree_walker {
        QStringList* out;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_pcdata)
                *out << QString::fromUtf8(node.value());
            return true;
        }
    } walker;
    walker.out = &out;
    doc.traverse(walker);
    return out;
}

// Texts of the fixture list that need escaping or lie outside ASCII, as the operator typed them.
const QStringList kSpecialTexts{QStringLiteral("Jürgen"),
                                QStringLiteral("Müller <&> Söhne"),
                                QStringLiteral("SV Grün-Weiß & \"Blau\""),
                                QStringLiteral("Änne"),
                                QStringLiteral("Öztürk"),
                                QStringLiteral("LC <Übersee>"),
                                QStringLiteral("<script>alert(1)</script>"),
                                QStringLiteral("TSG Fürth&amp;Co €"),
                                QStringLiteral("O'Brien-Straße")};

// A text field that claims every key with Ctrl, as a line edit claims Ctrl+E (end of
// line) and Ctrl+D (delete) under the X11 key bindings of a Linux desktop.
class GreedyField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QList<int> Claimed; // keys claimed, with Ctrl

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->modifiers() == Qt::ControlModifier) {
            Claimed << static_cast<QKeyEvent*>(e)->key();
            e->accept();
            return true;
        }
        return QLineEdit::event(e);
    }
};

int PaintedPages(const PrintJob& job, QByteArray* pdf, int firstPage = 0, int lastPage = 0) {
    QBuffer buffer(pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    return job.paint ? job.paint(writer, firstPage, lastPage) : 0;
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
    void exportsNeverWriteOverTheProgramsFiles_data();
    void exportsNeverWriteOverTheProgramsFiles();
    void twoExportsInOneSecondKeepBoth();
    void cancelledSaveWritesNothing();
    void failedExportShowsError();
    void pdfPagesTurnForWideTables();
    void qtReadsThePublishedTable();
    void printJobPaintsTheListOnItsOwnCopy();
    void fixtureListReachesEveryFormatFromButtonsAndShortcuts();
    void shortcutsWinOverTextFieldKeyBindings();
};

void ResultExportTest::commandsFollowTheProtocol() {
    RaceWindow w;
    QVERIFY(!Find<QToolButton>(w.form, "sbHTML")->isEnabled());
    QVERIFY(!w.form->Export().eH1()->isEnabled());
    w.Key(Qt::Key_H, Qt::ControlModifier);
    QVERIFY(!QFile::exists(w.folder + "Kadenzor.html"));
    RunTwoAthletes(w);
    for (QToolButton* b : {Find<QToolButton>(w.form, "sbSave"), Find<QToolButton>(w.form, "sbPrint"),
                           Find<QToolButton>(w.form, "sbWord"), Find<QToolButton>(w.form, "sbExcel"),
                           Find<QToolButton>(w.form, "sbHTML")})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(w.form->Export().eS1()->isEnabled());
    QVERIFY(w.form->Export().Druk1()->isEnabled());
    w.fake->printers.Count = 0;
    w.form->Export().UpdateResultCommands();
    QVERIFY(!Find<QToolButton>(w.form, "sbPrint")->isEnabled());
    QVERIFY(!w.form->Export().Druk1()->isEnabled());
    QVERIFY(Find<QToolButton>(w.form, "sbHTML")->isEnabled());
}

void ResultExportTest::exportsNeverWriteOverTheProgramsFiles_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("name");
    QTest::newRow("help page as a web page") << 5 << "Kadenzor-Hilfe.html";
    QTest::newRow("Word template") << 4 << "Kadenzor.docx";
    QTest::newRow("help page, another spelling") << 5 << "sub/../Kadenzor-Hilfe.html";
    QTest::newRow("protocol backup") << 3 << "Kadenzor-Sicherungsdatei-P.txt";
    QTest::newRow("journal") << 1 << "Kadenzor-Journal.txt";
}

void ResultExportTest::exportsNeverWriteOverTheProgramsFiles() {
    QFETCH(int, entry);
    QFETCH(QString, name);
    RaceWindow w;
    RunTwoAthletes(w);
    QVERIFY(QDir(w.folder).mkpath("sub"));
    const QString file = QDir::cleanPath(w.folder + name);
    {
        QFile own(file);
        QVERIFY(own.open(QIODevice::WriteOnly | QIODevice::Append));
        own.write("own\n");
    }
    const QByteArray before = ReadAll(file);
    w.fake->prompts.FileNames << w.folder + name;
    w.fake->prompts.SaveFilterAnswer = entry;
    w.Key(Qt::Key_S, Qt::ControlModifier);
    // Untouched; the journal only grows by the lines of the ranking the save starts with.
    QVERIFY(ReadAll(file).startsWith(before));
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY2(w.fake->prompts.Errors[0].contains("gehört zum Programm"), qPrintable(w.fake->prompts.Errors[0]));
}

void ResultExportTest::twoExportsInOneSecondKeepBoth() {
    RaceWindow w(Titled());
    RunTwoAthletes(w);
    for (int i = 0; i < 2; ++i) {
        w.Key(Qt::Key_W, Qt::ControlModifier);
        w.Key(Qt::Key_E, Qt::ControlModifier);
    }
    const QString stamp = FileStamp(w.fake->clock.now());
    QCOMPARE(w.fake->shell.Opened, QStringList({w.folder + stamp + ".docx", w.folder + stamp + ".xlsx",
                                                w.folder + stamp + "-2.docx", w.folder + stamp + "-2.xlsx"}));
    for (const QString& f : w.fake->shell.Opened)
        QVERIFY2(ReadAll(f).startsWith("PK"), qPrintable(f));
    // A printed list is named after the race, not after the page file.
    w.Key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(w.fake->shell.LastJob.title, QStringLiteral("Ergebnisliste Abendlauf <Süd>"));
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
    QVERIFY(w.form->StatusPanel(2)->text().contains("Kadenzor.html"));
    // The button does the same.
    QFile::remove(page);
    QTest::mouseClick(Find<QToolButton>(w.form, "sbHTML"), Qt::LeftButton);
    w.form->FlushWriters();
    QCOMPARE(w.fake->shell.Opened.size(), 2);
    QVERIFY(QFile::exists(page));
}

void ResultExportTest::printButtonAndCtrlDPrintSamePage() {
    RaceWindow w;
    RunTwoAthletes(w);
    QTest::mouseClick(Find<QToolButton>(w.form, "sbPrint"), Qt::LeftButton);
    w.form->FlushWriters();
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
    // One German sentence: the file and why.
    QCOMPARE(w.fake->prompts.Errors[0], "Die Datei »" + w.folder +
                                            "Kadenzor.html« kann nicht geschrieben werden: Dort steht ein Ordner "
                                            "dieses Namens.");
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
    Backups backupFiles;
    backupFiles.SetFolder(s.RezervDir);
    const ExportControls controls{w.form.get(),
                                  Find<TSortGrid>(w.form, "SortGrid1"),
                                  Find<QToolButton>(w.form, "sbSave"),
                                  Find<QToolButton>(w.form, "sbPrint"),
                                  Find<QToolButton>(w.form, "sbWord"),
                                  Find<QToolButton>(w.form, "sbExcel"),
                                  Find<QToolButton>(w.form, "sbHTML")};
    ProtocolExport ex(controls, backupFiles, w.form->Settings(), w.fake->platform);
    RunTwoAthletes(w);
    ex.sbHTMLClick(0);
    ex.WaitForExports();
    QCOMPARE(w.fake->shell.Opened, QStringList{s.RezervDir + "Kadenzor.html"});
    QVERIFY(QFile::exists(s.RezervDir + "Kadenzor.html"));
}

void ResultExportTest::ctrlWWritesAndOpensWordDocument() {
    RaceWindow w;
    RunTwoAthletes(w);
    w.Key(Qt::Key_W, Qt::ControlModifier);
    const QString name = w.folder + FileStamp(w.fake->clock.now()) + ".docx";
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
    const QString name = w.folder + FileStamp(w.fake->clock.now()) + ".xlsx";
    QCOMPARE(w.fake->shell.Opened, QStringList{name});
    bool found = false;
    ZipEntry(name, "xl/worksheets/sheet1.xml", &found);
    QVERIFY(found);
    QTest::mouseClick(Find<QToolButton>(w.form, "sbExcel"), Qt::LeftButton);
    w.form->FlushWriters();
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
    QCOMPARE(w.fake->prompts.SaveName, FileStamp(w.fake->clock.now()));
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
    Find<TSortGrid>(w.form, "SortGrid1")->SetCell(Col::Platz, 1, "");
    w.fake->prompts.FileNames << w.folder + typed;
    w.fake->prompts.SaveFilterAnswer = entry;
    QTest::mouseClick(Find<QToolButton>(w.form, "sbSave"), Qt::LeftButton);
    w.form->FlushWriters();
    QVERIFY(w.fake->prompts.Errors.isEmpty());
    QVERIFY(ReadAll(w.folder + written).startsWith(starts));
    QCOMPARE(w.form->Settings().FilterInd, entry);
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid1")->Cell(Col::Platz, 1), QString("1"));
    QVERIFY(w.fake->shell.Opened.isEmpty());
    QVERIFY(w.form->StatusPanel(2)->text().contains(written));
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
    g.SetRows(2, QStringList(12, "M\u00fcller & <S\u00f6hne>") << "");
    const ExportOptions o{"T", {10, 10, 10, 10, 10, 10, 10, 10, -1, -1, 10, 10, -1}};
    QTextDocument doc;
    doc.setHtml(QStringDecoder("windows-1252").decode(HtmlListBytes(g, o)));
    QTextTable* table = nullptr;
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (!table)
            table = qobject_cast<QTextTable*>(f);
    QVERIFY(table);
    QCOMPARE(table->columns(), 10);
    QCOMPARE(table->rows(), 3);
    QCOMPARE(table->cellAt(0, 8).firstCursorPosition().block().text().trimmed(), QString("Zeit"));
    QCOMPARE(table->cellAt(2, 3).firstCursorPosition().block().text(), QString("M\u00fcller & <S\u00f6hne>"));
}

void ResultExportTest::printJobPaintsTheListOnItsOwnCopy() {
    RaceWindow w;
    for (int n = 1; n <= 60; ++n) {
        w.StartNumber(QString::number(n));
        w.Advance(1000);
    }
    w.Key(Qt::Key_D, Qt::ControlModifier);
    const PrintJob job = w.fake->shell.LastJob;
    QCOMPARE(job.file, w.folder + "Kadenzor.html");
    QVERIFY(job.landscape); // ten columns of the default layout
    QByteArray first;
    const int pages = PaintedPages(job, &first);
    QVERIFY(pages >= 1);
    QVERIFY(first.startsWith("%PDF"));
    // Rows recorded while the print dialog is open do not change the job.
    for (int n = 61; n <= 160; ++n)
        w.StartNumber(QString::number(n));
    QByteArray again;
    QCOMPARE(PaintedPages(job, &again), pages);
    // The next print has them.
    w.Key(Qt::Key_D, Qt::ControlModifier);
    const int all = PaintedPages(w.fake->shell.LastJob, &again);
    QVERIFY(all > pages);
    // Pages chosen in the print dialog: only those.
    QCOMPARE(PaintedPages(w.fake->shell.LastJob, &again, 2, 3), 2);
    QCOMPARE(PaintedPages(w.fake->shell.LastJob, &again, all, 0), 1);
}

void ResultExportTest::fixtureListReachesEveryFormatFromButtonsAndShortcuts() {
    TSettings s;
    s.Title = QStringLiteral("Großer Preis <Süd> & Co");
    RaceWindow w(s);
    QVERIFY(QFile::copy(KADENZOR_TEST_DATA "/startlist-odd-names.txt", w.folder + "Startliste.txt"));
    w.fake->prompts.FileNames = {w.folder + "Startliste.txt"};
    w.Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.Of("1", Col::Nachname), QStringLiteral("Müller <&> Söhne"));
    for (const char* n : {"1", "2", "3", "4"}) {
        w.StartNumber(n);
        w.Advance(1000);
    }
    w.Advance(60000);
    for (const char* n : {"3", "1", "4", "2"}) {
        w.FinishNumber(n);
        w.Advance(1500);
    }
    const QString html = w.folder + "Kadenzor.html";
    const QString docx = w.folder + FileStamp(w.fake->clock.now()) + ".docx";
    const QString xlsx = w.folder + FileStamp(w.fake->clock.now()) + ".xlsx";
    // Each command from its shortcut, typed where the focus is (the finish number box),
    // and from its button.
    auto keyed = [&](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        w.form->FlushWriters();
    };
    struct Command {
        QAbstractButton* button;
        Qt::Key key;
        QStringList* calls;
        QString file;
    };
    const QList<Command> commands{{Find<QToolButton>(w.form, "sbHTML"), Qt::Key_H, &w.fake->shell.Opened, html},
                                  {Find<QToolButton>(w.form, "sbPrint"), Qt::Key_D, &w.fake->shell.Printed, html},
                                  {Find<QToolButton>(w.form, "sbWord"), Qt::Key_W, &w.fake->shell.Opened, docx},
                                  {Find<QToolButton>(w.form, "sbExcel"), Qt::Key_E, &w.fake->shell.Opened, xlsx}};
    for (const Command& c : commands) {
        QFile::remove(c.file);
        const qsizetype before = c.calls->size();
        keyed(c.key);
        QVERIFY2(QFile::exists(c.file), qPrintable(c.file));
        QCOMPARE(c.calls->size(), before + 1);
        QCOMPARE(c.calls->last(), c.file);
        QFile::remove(c.file);
        QTest::mouseClick(c.button, Qt::LeftButton);
        w.form->FlushWriters();
        QVERIFY2(QFile::exists(c.file), qPrintable(c.button->objectName()));
        QCOMPARE(c.calls->size(), before + 2);
    }
    // The save dialog, every entry, from the shortcut and from the button in turn.
    const QStringList saved{"alle.xlsx", "excel.xlsx", "text.txt", "word.docx", "seite.html", "liste.pdf"};
    for (int entry = 1; entry <= 6; ++entry) {
        w.fake->prompts.FileNames << w.folder + saved[entry - 1];
        w.fake->prompts.SaveFilterAnswer = entry;
        if (entry % 2)
            keyed(Qt::Key_S);
        else
            QTest::mouseClick(Find<QToolButton>(w.form, "sbSave"), Qt::LeftButton);
        w.form->FlushWriters();
        QVERIFY2(QFile::exists(w.folder + saved[entry - 1]), qPrintable(saved[entry - 1]));
    }
    QVERIFY2(w.fake->prompts.Errors.isEmpty(), qPrintable(w.fake->prompts.Errors.join('\n')));

    // HTML: Windows-1252, every text escaped, no markup from the list.
    const QByteArray page = ReadAll(w.folder + "seite.html");
    QVERIFY(page.contains("<H1>Gro\xDF"
                          "er Preis &lt;S\xFC"
                          "d&gt; &amp; Co</H1>"));
    QVERIFY(page.contains("<td>J\xFCrgen<td>M\xFCller &lt;&amp;&gt; S\xF6hne<td>1970<td>SV Gr\xFCn-Wei\xDF &amp; "
                          "&quot;Blau&quot;<td>M50"));
    QVERIFY(page.contains("<td>&lt;script&gt;alert(1)&lt;/script&gt;<td>1999<td>TSG F\xFCrth&amp;amp;Co \x80<td>"));
    QVERIFY(!page.contains("<script>alert"));
    QCOMPARE(page.count("<tr><td>"), 4);
    // Text: Windows-1252 as written by the backup.
    QVERIFY(ReadAll(w.folder + "text.txt")
                .contains("\tZo\xEB\tO'Brien-Stra\xDF"
                          "e\t2001\t"));
    // Word and Excel: UTF-8 inside, every text as typed.
    const QStringList word = XmlTexts(ZipEntry(w.folder + "word.docx", "word/document.xml"));
    const QStringList sheet = XmlTexts(ZipEntry(w.folder + "excel.xlsx", "xl/sharedStrings.xml"));
    QCOMPARE(XmlTexts(ZipEntry(w.folder + "alle.xlsx", "xl/sharedStrings.xml")), sheet);
    QVERIFY(word.contains(s.Title));
    for (const QString& text : kSpecialTexts) {
        QVERIFY2(word.contains(text), qPrintable(text));
        QVERIFY2(sheet.contains(text), qPrintable(text));
    }
    QVERIFY(ReadAll(w.folder + "liste.pdf").startsWith("%PDF-"));

    // For a look with an office program and a browser: the files are kept there.
    const QString keep = qEnvironmentVariable("KADENZOR_EXPORT_SAMPLES");
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        for (const QString& name : saved) {
            QFile::remove(keep + "/" + name);
            QFile::copy(w.folder + name, keep + "/" + name);
        }
    }
}

void ResultExportTest::shortcutsWinOverTextFieldKeyBindings() {
    RaceWindow w;
    RunTwoAthletes(w);
    auto* field = new GreedyField(w.form.get());
    field->show();
    field->setFocus();
    QCOMPARE(QApplication::focusWidget(), field);
    w.fake->prompts.FileNames << w.folder + "lauf.txt";
    w.fake->prompts.SaveFilterAnswer = 3;
    for (Qt::Key key : {Qt::Key_H, Qt::Key_D, Qt::Key_W, Qt::Key_E, Qt::Key_S})
        QTest::keyClick(field, key, Qt::ControlModifier);
    w.form->FlushWriters();
    QCOMPARE(w.fake->shell.Opened.size(), 3); // page, Word, Excel
    QCOMPARE(w.fake->shell.Printed.size(), 1);
    QCOMPARE(w.fake->prompts.PickerCalls, 1);
    QVERIFY(QFile::exists(w.folder + "lauf.txt"));
    for (Qt::Key key : {Qt::Key_H, Qt::Key_D, Qt::Key_W, Qt::Key_E, Qt::Key_S})
        QVERIFY(!field->Claimed.contains(key));
    // Other keys stay the field's.
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(field->Claimed.contains(Qt::Key_K));
    // A disabled command leaves its key to the field.
    w.fake->printers.Count = 0;
    w.form->Export().UpdateResultCommands();
    QTest::keyClick(field, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(w.fake->shell.Printed.size(), 1);
    QVERIFY(field->Claimed.contains(Qt::Key_D));
}

QTEST_MAIN(ResultExportTest)
#include "tst_ResultExport.moc"
