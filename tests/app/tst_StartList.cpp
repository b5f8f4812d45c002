#include "RaceWindow.h"

#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/ProtocolFiles.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QByteArray kList = "St.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\r\n"
                         "17\tAnna\tBerg\t1990\tSC Tal\tW\r\n"
                         "18\tBernd\tMoos\t1985\t\tM\r\n"
                         "19\tCarla\tSee\t2001\tSC Tal\tW\r\n";

} // namespace

// Start lists, the classes file, restoring after a restart and clearing, driven
// through the real window as the operator does it.
class StartListTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void loadTextListWithCtrlO();
    void unreadableListKeepsTheTable();
    void overwriteNoticeAnsweredNo();
    void noListDuringARunningCompetition();
    void startsFollowTheList();
    void loadSaysWhatIsWrong_data();
    void loadSaysWhatIsWrong();
    void classesFileFillsClassList();
    void typedNameOutsideTheCodePageIsWarnedOf();
    void restartMidRaceLosesNothing();
    void clearingWritesBackupsAtOnce();
};

void StartListTest::loadTextListWithCtrlO() {
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.fake->prompts.FileNames = {w.folder + "Startlist.txt"};
    w.Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.P()->RowCount(), 4);
    QCOMPARE(w.Of("18", Col::Nachname), QStringLiteral("Moos"));
    // A run of TABs counts as one: the empty club field vanishes and the class moves left.
    QCOMPARE(w.Of("18", Col::Verein), QStringLiteral("M"));
    QCOMPARE(w.Cell(Col::Platz, 0), QStringLiteral("Platz"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->Items(), (QStringList{"17", "18", "19"}));
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->currentText(), QStringLiteral("17"));
    QVERIFY(Find<QToolButton>(w.form, "sbSave")->isEnabled());
}

void StartListTest::unreadableListKeepsTheTable() {
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(w.folder + "Startlist.txt");
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.fake->prompts.FileNames = {w.folder + "gone.txt"};
    QTest::mouseClick(Find<QToolButton>(w.form, "sbLoadList"), Qt::LeftButton);
    QCOMPARE(w.form->Question().Label1->text(), QStringLiteral("Protokoll wird überschrieben!"));
    QCOMPARE(w.form->Question().OKBtn->text(), QStringLiteral("OK"));
    QCOMPARE(w.P()->RowCount(), 4);
    QCOMPARE(w.Of("19", Col::Vorname), QStringLiteral("Carla"));
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY(w.fake->prompts.Errors[0].contains(QStringLiteral("gone.txt")));
}

void StartListTest::overwriteNoticeAnsweredNo() {
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(w.folder + "Startlist.txt");
    w.fake->prompts.Answers = {TFDlgYesNo::kNo};
    QTest::mouseClick(Find<QToolButton>(w.form, "sbLoadList"), Qt::LeftButton);
    QCOMPARE(w.fake->prompts.PickerCalls, 0);
}

void StartListTest::noListDuringARunningCompetition() {
    RaceWindow w;
    w.StartNumber("1");
    QVERIFY(!Find<QToolButton>(w.form, "sbLoadList")->isEnabled());
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.fake->prompts.PickerCalls, 0);
}

void StartListTest::startsFollowTheList() {
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(w.folder + "Startlist.txt");
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Of("17", Col::Start), QStringLiteral("10:00:00,00"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->currentText(), QStringLiteral("18"));
    w.Advance(30000);
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Of("18", Col::Split), QStringLiteral("30,00"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->Items(), QStringList{"19"});
    QCOMPARE(w.P()->RowCount(), 4); // no athlete overwritten, no row appended yet
}

void StartListTest::loadSaysWhatIsWrong_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rows");        // the protocol's row count afterwards
    QTest::addColumn<QString>("panel0");  // status field 0 afterwards
    QTest::addColumn<QString>("message"); // what the operator is told; empty: nothing
    QTest::addColumn<QString>("name");    // "Nachname" of the first row afterwards
    QByteArray big = "St.Nr.;Vorname;Nachname\r\n";
    for (int i = 1; i <= 10000; ++i)
        big += QByteArray::number(i) + ";V;N" + QByteArray::number(i) + "\r\n";
    QTest::newRow("10 000 rows") << big << 10001 << "1:10000"
                                 << ""
                                 << "N1";
    QTest::newRow("UTF-8 names outside Windows-1252")
        << QByteArray(
               "St.Nr.;Vorname;Nachname\r\n7;\xC5\x81ukasz;Dvo\xC5\x99\xC3\xA1k\r\n8;J\xC3\xB6rg;M\xC3\xBCller\r\n")
        << 3 << "1:2"
        << "Zeichen können in den Sicherungsdateien nicht gespeichert werden: Ł, ř."
        << "Dvo\u0159\u00E1k";
    QTest::newRow("CR line ends") << QByteArray("St.Nr.;Vorname;Nachname\r7;V;A\r8;W;B\r") << 3 << "1:2"
                                  << ""
                                  << "A";
    QTest::newRow("PNG renamed .txt") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << 4 << "1:3"
                                      << "keine Textdatei"
                                      << "Berg";
}

void StartListTest::loadSaysWhatIsWrong() {
    QFETCH(QByteArray, file);
    QFETCH(int, rows);
    QFETCH(QString, panel0);
    QFETCH(QString, message);
    QFETCH(QString, name);
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(w.folder + "Startlist.txt");
    WriteFile(w.folder + "Neu.txt", file);
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.fake->prompts.FileNames = {w.folder + "Neu.txt"};
    w.Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.P()->RowCount(), rows);
    QCOMPARE(w.Cell(Col::Nachname, 1), name);
    QCOMPARE(w.form->StatusPanel(0)->text(), panel0);
    QCOMPARE(w.fake->prompts.Errors.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(w.fake->prompts.Errors[0].contains(message), qPrintable(w.fake->prompts.Errors[0]));
    // The journal keeps the names whole, whatever the backups can hold.
    QFile journal(w.folder + "Kadenzor-Journal.txt");
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QByteArray lines = journal.readAll();
    QVERIFY(lines.contains(name.toLatin1()) || lines.contains("Dvo\\u0159\xE1k"));
}

void StartListTest::classesFileFillsClassList() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteFile(folder + "Klassen.txt", "Herren\r\nDamen\nJugend\r");
    RaceWindow w(TSettings(), true, folder);
    QCOMPARE(Find<NumberBox>(w.form, "cbKlass")->Items(), (QStringList{"Herren", "Damen", "Jugend"}));
    QCOMPARE(Find<NumberBox>(w.form, "cbKlass")->currentText(), QStringLiteral("Herren"));
    // A "Klasse" cell offers them: Space opens the list, Down and Enter choose.
    WriteFile(folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(folder + "Startlist.txt");
    w.P()->setFocus();
    w.P()->GoToCell(Col::Klasse, w.RowOf("18"), true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    auto* list = qobject_cast<QListWidget*>(QApplication::focusWidget());
    QVERIFY(list);
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(2)->text(), QStringLiteral("Jugend"));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(w.Of("18", Col::Klasse), QStringLiteral("Damen"));
    // Chosen is changed: into the journal and the backup at once.
    w.form->FlushWriters();
    QFile backup(folder + "Kadenzor-Sicherungsdatei-P.txt");
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QVERIFY(backup.readAll().contains("18\tBernd\tMoos\t1985\tM\tDamen\t"));
}

void StartListTest::typedNameOutsideTheCodePageIsWarnedOf() {
    RaceWindow w;
    WriteFile(w.folder + "Startlist.txt", kList);
    w.form->Files().LoadStartList(w.folder + "Startlist.txt");
    w.P()->setFocus();
    w.P()->GoToCell(Col::Nachname, w.RowOf("17"), true);
    for (const QString& c : {QStringLiteral("Ł"), QStringLiteral("o"), QStringLiteral("ś")})
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, c, Qt::NoModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(w.Of("17", Col::Nachname).endsWith(QStringLiteral("Łoś")));
    QCOMPARE(w.form->StatusPanel(2)->text(),
             QStringLiteral("Zeichen können in den Sicherungsdateien nicht gespeichert werden: Ł, ś"));
}

void StartListTest::restartMidRaceLosesNothing() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    WriteFile(folder + "Startlist.txt", kList);
    {
        RaceWindow w(TSettings(), true, folder);
        w.form->Files().LoadStartList(folder + "Startlist.txt");
        w.Key(Qt::Key_F5); // 17 at 10:00:00
        w.Advance(30000);
        w.Key(Qt::Key_F5); // 18 at 10:00:30
        w.Advance(60000);
        w.FinishNumber("17");      // 1:30,00
        w.FinishNumber(QString()); // queued at 10:01:30
    } // the program is gone (a crash leaves the same backups: they are written after each impulse)
    // In the same boot the tick counter ran on with the clock of day.
    RaceWindow w(TSettings(), true, folder, QDateTime(QDate(2026, 3, 20), QTime(10, 2, 15, 250)), 100000 + 135250);
    QCOMPARE(w.Of("17", Col::Zeit), QStringLiteral("1:30,00"));
    QCOMPARE(w.Of("17", Col::Platz), QStringLiteral("1"));
    QCOMPARE(w.Of("18", Col::Start), QStringLiteral("10:00:30,00"));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:01:30,00"));
    // The race goes on with the next start; athlete 18, still on the course, is timed
    // from his start tick, which the run state kept.
    w.StartNumber("19");
    QCOMPARE(w.Of("19", Col::Start), QStringLiteral("10:02:15,25"));
    w.Advance(1000);
    w.FinishNumber("18");
    QCOMPARE(w.Of("18", Col::Zeit), QStringLiteral("1:46,25"));
    QCOMPARE(w.Of("18", Col::Stopp), QStringLiteral("10:02:16,25"));
    // And the queued finish can still be assigned to 19 once he is known to have started.
    QVERIFY(w.fake->prompts.Errors.isEmpty());
}

void StartListTest::clearingWritesBackupsAtOnce() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QByteArray before;
    {
        RaceWindow w(TSettings(), true, folder);
        w.StartNumber("5");
        w.FinishNumber(QString());
        before = w.ReadFile("Kadenzor-Sicherungsdatei-P.txt");
        w.fake->prompts.Answers = {TFDlgYesNo::kYes};
        QTest::mouseClick(Find<QToolButton>(w.form, "sbCls"), Qt::LeftButton);
        QCOMPARE(w.form->Question().Label1->text(), QStringLiteral("Protokoll löschen?"));
        QCOMPARE(w.P()->RowCount(), 2);
        QCOMPARE(w.P()->Cell(Col::StNr, 1), QString());
        QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QString());
        QCOMPARE(w.form->StatusPanel(4)->text(), QStringLiteral("0"));
        QVERIFY(!w.form->State().Started());
        // A crash now must not bring the cleared race back (the journal keeps it).
        QVERIFY(before.contains("10:00:00,00"));
        QVERIFY(w.ReadFile("Kadenzor-Sicherungsdatei-P.txt").startsWith("Platz\tSt.Nr."));
        QVERIFY(!w.ReadFile("Kadenzor-Sicherungsdatei-P.txt").contains("10:00:00,00"));
        QCOMPARE(w.ReadFile("Kadenzor-Sicherungsdatei-F.txt").trimmed(), QByteArray());
    }
    QFile p(folder + "Kadenzor-Sicherungsdatei-P.txt");
    QVERIFY(p.open(QIODevice::ReadOnly));
    QVERIFY(p.readAll().startsWith("Platz\tSt.Nr."));
    QCOMPARE(QFileInfo(folder + "Kadenzor-Sicherungsdatei-F.txt").size(), 0);
}

QTEST_MAIN(StartListTest)
#include "tst_StartList.moc"
