// The journal of the running window: a whole race of every kind of event rebuilt
// from it equals the grids, a journal that cannot be written does not stop the race,
// and a lost protocol backup comes back from the journal at start-up.
#include "RaceWindow.h"

#include "core/contacts/ContactInput.h"
#include "core/files/GridTextFile.h"
#include "core/race/JournalReplay.h"
#include "support/FakeSerialDevices.h"
#include "ui/dialogs/JournalView.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/run/Countdown.h"
#include "ui/tables/ProtocolEditing.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>

#include <sys/ioctl.h>

namespace {

const QByteArray kList = "St.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\r\n"
                         "17\tAnna\tBerg\t1990\tSC Tal\tW\r\n"
                         "18\tBernd\tMoos\t1985\tLC See\tM\r\n"
                         "19\tCarla\tSee\t2001\tSC Tal\tW\r\n"
                         "20\tDora\tTann\t1999\tLC See\tW\r\n";

const QString kJournal = QStringLiteral("Kadenzor-Journal.txt");
const QString kProtocolBackup = QStringLiteral("Kadenzor-Sicherungsdatei-P.txt");

void LoadList(RaceWindow& w) {
    QFile f(w.folder + "Startlist.txt");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kList);
    f.close();
    w.fake->prompts.FileNames = {w.folder + "Startlist.txt"};
    w.Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.P()->RowCount(), 5);
}

void TypeInCell(RaceWindow& w, int col, int row, const QString& text) {
    w.P()->setFocus();
    w.P()->GoToCell(col, row, false);
    QTest::keyClicks(QApplication::focusWidget(), text.left(1));
    QLineEdit* e = w.P()->InplaceEditor();
    QVERIFY(e && e->isVisible());
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

int QueuedRow(RaceWindow& w, const QString& number) {
    return w.F()->FindRow(FinishCol::Number, number);
}

// The rows that hold any text, header first.
QList<QStringList> Filled(const SortGridData& g) {
    QList<QStringList> rows;
    for (int r = 0; r < g.RowCount(); ++r)
        if (r == 0 || !g.Rows(r).join(QString()).trimmed().isEmpty())
            rows << g.Rows(r);
    return rows;
}

void CompareReplay(RaceWindow& w) {
    SortGridData p(Col::Count, 2), f(FinishCol::Count, 2);
    p.SetRows(0, w.P()->Rows(0));
    f.SetRows(0, w.F()->Rows(0));
    const JournalReplayResult r = ReplayJournal(w.ReadFile(kJournal), p, f);
    QCOMPARE(r.skipped, 0);
    QVERIFY(!r.lastLineCut);
    const QList<QStringList> grid = Filled(w.P()->Data());
    const QList<QStringList> replayed = Filled(p);
    QCOMPARE(replayed.size(), grid.size());
    for (int i = 0; i < grid.size(); ++i)
        QCOMPARE(replayed[i], grid[i]);
    QCOMPARE(Filled(f), Filled(w.F()->Data()));
}

} // namespace

class tst_WindowJournal : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void replayEqualsTheTables_data();
    void replayEqualsTheTables();
    void sourcesAreNamed();
    void contactAndCountdownSources();
    void failedJournalShowsAndRaceGoesOn();
    void journalWindowFindsAnAthletesImpulse();
    void cutLastLineIsNamedAtStartUp();
    void lostBackupComesBackFromJournal_data();
    void lostBackupComesBackFromJournal();
};

void tst_WindowJournal::replayEqualsTheTables_data() {
    QTest::addColumn<bool>("massStart");
    QTest::addColumn<bool>("autoSort");
    QTest::newRow("individual, ranked after each finish") << false << true;
    QTest::newRow("individual, ranked by hand") << false << false;
    QTest::newRow("mass start") << true << true;
}

void tst_WindowJournal::replayEqualsTheTables() {
    QFETCH(bool, massStart);
    QFETCH(bool, autoSort);
    TSettings s;
    s.StartType = massStart ? 1 : 0;
    s.AutoSort = autoSort;
    RaceWindow w(s);
    LoadList(w);
    if (massStart) {
        w.Key(Qt::Key_F5);
        w.Advance(5000);
        w.FinishNumber(QString()); // queued, to be put on a number that is not in the list
    } else {
        w.StartNumber("17");
        w.Advance(10000);
        w.StartNumber("18");
        w.Advance(10000);
        w.StartNumber("19");
        w.Advance(5000);
        w.FinishNumber(QString()); // queued before 20 starts: assigning it to 20 gives "!"
        w.Advance(5000);
        w.StartNumber("20");
        w.Advance(5000);
        w.TypeStart(QString());
        w.Key(Qt::Key_F5); // a start without number
    }
    w.Advance(60000);
    w.FinishNumber("17");
    w.Advance(1000);
    w.FinishNumber(QString());
    w.Advance(1000);
    w.FinishNumber(QString());
    w.Advance(1000);
    w.FinishNumber(QString());

    w.fake->prompts.Answers.clear();
    w.AssignInFinishTable(QueuedRow(w, "2."), "18");
    QCOMPARE(w.F()->Cell(FinishCol::Nr, QueuedRow(w, "3.")), QString());
    w.AssignInFinishTable(QueuedRow(w, "3."), "99");
    QCOMPARE(w.F()->Cell(FinishCol::Nr, QueuedRow(w, "3.")), QStringLiteral("-"));
    if (!massStart) {
        w.AssignInFinishTable(QueuedRow(w, "1."), "20");
        QCOMPARE(w.F()->Cell(FinishCol::Nr, QueuedRow(w, "1.")), QStringLiteral("!"));
    }
    // The overwrite question answered "Ja" in a hurry.
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    const QString before = w.Of("17", Col::Zeit);
    w.AssignInFinishTable(QueuedRow(w, "4."), "17");
    QVERIFY(w.Of("17", Col::Zeit) != before);

    if (!massStart) {
        // The athlete started without number was 20: the result moves onto 20's row.
        w.FinishNumber("-5");
        QVERIFY(!w.Of("-5", Col::Zeit).isEmpty());
        TypeInCell(w, Col::StNr, w.RowOf("-5"), "20");
        QCOMPARE(w.RowOf("-5"), -1);
        QVERIFY(!w.Of("20", Col::Zeit).isEmpty());
    }
    // Corrections: a running time, a name, "Zeile löschen", "Zeit löschen", a new row.
    TypeInCell(w, Col::Zeit, w.RowOf("18"), "1:11,00");
    QCOMPARE(w.Of("18", Col::Zeit), QStringLiteral("1:11,00"));
    TypeInCell(w, Col::Vorname, w.RowOf("20"), "Zora");
    w.P()->GoToCell(Col::Platz, w.RowOf("19"), false);
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.form->Editing().Erase1->trigger();
    QCOMPARE(w.RowOf("19"), -1);
    w.P()->GoToCell(Col::Platz, w.RowOf("17"), false);
    w.Key(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(w.Of("17", Col::Zeit), QString());
    w.P()->GoToCell(Col::Platz, 1, false);
    w.form->Editing().Neuezeile1->trigger();
    if (!autoSort)
        w.Key(Qt::Key_P, Qt::ControlModifier);
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_F10);

    CompareReplay(w);
    const QByteArray journal = w.ReadFile(kJournal);
    for (const char* event : {"\tSTARTLISTE\t", "\tSTART\t", "\tFINISH\t", "\tQUEUED\t", "\tASSIGN\t", "\tZELLE\t",
                              "\tZEIT KORRIGIERT\t", "\tZEILE GEL\xD6SCHT\t", "\tZEIT GEL\xD6SCHT\t", "\tENDE\t"})
        QVERIFY2(journal.contains(event), event);
    QVERIFY(journal.contains("\xFC"
                             "berschrieben=")); // the overwritten time stays on record
}

void tst_WindowJournal::sourcesAreNamed() {
    RaceWindow w;
    w.Key(Qt::Key_F5);
    QTest::mousePress(Find<TBitBtnWithColor>(w.form, "bSTART"), Qt::LeftButton);
    w.P()->GoToCell(Col::Platz, 2, false);
    w.form->Protocol().SortGrid1DblClick(); // started, not finished: FINISH
    QList<QByteArray> sources;
    for (const QByteArray& line : w.ReadFile(kJournal).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() > 4 && (fields[3] == "START" || fields[3] == "FINISH"))
            sources << fields[3] + " " + fields[4];
    }
    QCOMPARE(sources, (QList<QByteArray>{"START Taste",
                                         "START Schaltfl\xE4"
                                         "che",
                                         "FINISH Doppelklick"}));
}

void tst_WindowJournal::contactAndCountdownSources() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    FakePlatform fake(folder, folder);
    FakeSerialDevices serial;
    fake.platform.serial = &serial;
    fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
    TFormMain form(fake.platform);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Contacts()->ComPortOpen();
    QTest::keyClick(&form, Qt::Key_F11);
    // The watcher captured the start at tick 99 000, 1 s before the clock now.
    form.Contacts()->ComPortHard({99000, kStatusDsr, 0, QTime(9, 59, 59)});
    QTest::keyClick(&form, Qt::Key_F4);
    fake.clock.Advance(5000);
    form.CountDown().TimerCountDownTimer();
    form.Contacts()->ComPortClose();
    QFile f(folder + kJournal);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray journal = f.readAll();
    QVERIFY(journal.contains("2026-03-20\t09:59:59,000\t99000\tSTART\tKontakt COM0\t-1\t 9:59:59,00\t"));
    QVERIFY(journal.contains("\t105000\tSTART\tCountdown\t-2\t"));
}

void tst_WindowJournal::failedJournalShowsAndRaceGoesOn() {
    RaceWindow w;
    w.StartNumber("1");
    // The journal's place is taken by a folder: no line can be written any more.
    QVERIFY(QFile::remove(w.folder + kJournal));
    QVERIFY(QDir(w.folder).mkdir(kJournal));
    w.Advance(30000);
    w.FinishNumber("1");
    QCOMPARE(w.Of("1", Col::Zeit), QStringLiteral("30,00")); // the race goes on
    QVERIFY(w.form->StatusPanel(2)->text().startsWith(QStringLiteral("Journal fehlgeschlagen: ")));
    QVERIFY(w.ReadFile(kProtocolBackup).contains("30,00")); // and the backups are written
    // Back as soon as a line can be written again.
    QVERIFY(QDir(w.folder).rmdir(kJournal));
    w.StartNumber("2");
    QCOMPARE(w.form->StatusPanel(2)->text(), QString());
    QVERIFY(w.ReadFile(kJournal).contains("\tSTART\tTaste\t2\t"));
}

void tst_WindowJournal::journalWindowFindsAnAthletesImpulse() {
    RaceWindow w;
    LoadList(w);
    w.StartNumber("17");
    w.Advance(1000);
    w.StartNumber("18");
    w.Advance(61310);
    w.FinishNumber("17");
    w.Advance(1000);
    w.FinishNumber("18");
    QVERIFY(w.form->Editing().PopupMenuProtokol->actions().contains(w.form->JournalWindow().mJournalItem));
    w.Key(Qt::Key_J, Qt::ControlModifier);
    JournalView& v = w.form->JournalWindow();
    QVERIFY(v.isVisible());
    // This race only, newest first: the two finishes, the two starts, the start list.
    QCOMPARE(v.Table->rowCount(), 5);
    QCOMPARE(v.Table->item(0, 2)->text(), QStringLiteral("FINISH"));
    QCOMPARE(v.Table->item(0, 4)->text(), QStringLiteral("18"));
    QCOMPARE(v.Table->item(4, 2)->text(), QStringLiteral("STARTLISTE"));
    QTest::keyClicks(v.EditNr, "17");
    QList<int> shown;
    for (int r = 0; r < v.Table->rowCount(); ++r)
        if (!v.Table->isRowHidden(r))
            shown << r;
    QCOMPARE(shown.size(), 2);
    QCOMPARE(v.Table->item(shown[0], 2)->text(), QStringLiteral("FINISH"));
    QCOMPARE(v.Table->item(shown[0], 1)->text(), QStringLiteral("10:01:02,310"));
    QTest::mouseClick(v.bCopy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("10:01:02,31"));
    // Read-only: nothing in it can be typed over.
    QCOMPARE(v.Table->editTriggers(), QAbstractItemView::NoEditTriggers);
    v.close();
}

void tst_WindowJournal::cutLastLineIsNamedAtStartUp() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        RaceWindow w(TSettings(), true, folder);
        w.StartNumber("1");
    }
    QFile journal(folder + kJournal);
    QVERIFY(journal.open(QIODevice::Append));
    journal.write("2026-03-20\t10:01:00,000\t16000"); // the power went during this write
    journal.close();
    RaceWindow w(TSettings(), true, folder);
    QVERIFY(w.fake->prompts.Shown.isEmpty()); // the backup is good: nothing to ask
    QVERIFY(w.form->StatusPanel(2)->text().contains(QStringLiteral("unvollständig")));
    QCOMPARE(w.Cell(Col::StNr, 1), QStringLiteral("1"));
    // The next line starts on a line of its own.
    w.StartNumber("2");
    QVERIFY(w.ReadFile(kJournal).contains("\t16000\r\n2026-03-20\t"));
}

void tst_WindowJournal::lostBackupComesBackFromJournal_data() {
    QTest::addColumn<bool>("damaged"); // the backup is there but unreadable, else it is gone
    QTest::addColumn<bool>("cut");     // the journal's last line was cut by the power cut
    QTest::addColumn<bool>("yes");
    QTest::newRow("backup gone, Ja") << false << false << true;
    QTest::newRow("backup damaged, cut line, Ja") << true << true << true;
    QTest::newRow("backup gone, Nein") << false << false << false;
}

void tst_WindowJournal::lostBackupComesBackFromJournal() {
    QFETCH(bool, damaged);
    QFETCH(bool, cut);
    QFETCH(bool, yes);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QByteArray good;
    {
        RaceWindow w(TSettings(), true, folder);
        LoadList(w);
        w.StartNumber("17");
        w.Advance(10000);
        w.StartNumber("18");
        w.Advance(50000);
        w.FinishNumber("17");
        w.FinishNumber(QString());
        w.form->WriteBackups();
        good = w.ReadFile(kProtocolBackup);
    }
    QFile backup(folder + kProtocolBackup);
    if (damaged) {
        QVERIFY(backup.open(QIODevice::WriteOnly));
        backup.write(QByteArray(4096, '\0')); // what a power cut leaves of a file being replaced
        backup.close();
    } else {
        QVERIFY(backup.remove());
    }
    if (cut) {
        QFile journal(folder + kJournal);
        QVERIFY(journal.open(QIODevice::Append));
        journal.write("2026-03-20\t10:01:00,000\t16000");
    }
    QString asked;
    auto fake = std::make_unique<FakePlatform>(folder, folder);
    fake->clock.Set(500000, QDateTime(QDate(2026, 3, 20), QTime(10, 30)));
    fake->prompts.OnExec = [&asked, yes](QDialog& d) {
        if (auto* q = qobject_cast<TFDlgYesNo*>(&d))
            asked = q->Label1->text();
        return yes ? TFDlgYesNo::kYes : TFDlgYesNo::kNo;
    };
    auto form = std::make_unique<TFormMain>(fake->platform, TSettings());
    QCOMPARE(asked, QStringLiteral("Sicherungsdatei fehlt oder ist beschädigt. Protokoll aus dem Journal "
                                   "wiederherstellen?"));
    if (cut)
        QVERIFY(form->StatusPanel(2)->text().contains(QStringLiteral("beschädigte Zeile")));
    TSortGrid* p = Find<TSortGrid>(form, "SortGrid1");
    if (!yes) {
        QCOMPARE(p->FindRow(Col::StNr, "17"), -1);
        form.reset();
        return;
    }
    // As if the backup had never gone: the same file, the same tables.
    QFile rebuilt(folder + kProtocolBackup);
    QVERIFY(rebuilt.open(QIODevice::ReadOnly));
    QCOMPARE(rebuilt.readAll(), good);
    QCOMPARE(p->Cell(Col::Zeit, p->FindRow(Col::StNr, "17")), QStringLiteral("1:00,00"));
    QCOMPARE(p->Cell(Col::Start, p->FindRow(Col::StNr, "18")), QStringLiteral("10:00:10,00"));
    QCOMPARE(Find<TSortGrid>(form, "SortGrid2")->Cell(FinishCol::Number, 1), QStringLiteral("1."));
    if (damaged)
        QVERIFY(!QDir(folder).entryList({"Kadenzor-Sicherungsdatei-P.txt.besch*"}).isEmpty());
    form.reset();
}

QTEST_MAIN(tst_WindowJournal)
#include "tst_WindowJournal.moc"
