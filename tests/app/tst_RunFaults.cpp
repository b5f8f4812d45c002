#include "RaceWindow.h"

#include "core/files/GridTextFile.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/ProtocolFiles.h"

#include <QAction>
#include <QDir>
#include <QLabel>

// Recorded times across restarts, mass starts, stray finishes, placeholders,
// midnight and class letters, driven through the real window. A restart is a
// second window on the backups the first one had written at the moment it
// was killed; the PC has been up for 34 hours.
namespace {

constexpr Tick kUptime34h = 34u * 3600000u;

QDateTime At(int h, int m, int s = 0, int ms = 0) {
    return QDateTime(QDate(2026, 3, 20), QTime(h, m, s, ms));
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The backup folder as a SIGKILL leaves it: copied now, before the window's own
// shutdown writes anything.
void KillInto(const RaceWindow& w, const QTemporaryDir& into) {
    const QDir from(w.folder);
    for (const QString& name : from.entryList({QStringLiteral("Kadenzor-Sicherungsdatei-*")}, QDir::Files))
        QVERIFY(QFile::copy(w.folder + name, into.path() + QLatin1Char('/') + name));
}

QString FolderOf(const QTemporaryDir& dir) {
    return dir.path() + QLatin1Char('/');
}

const QByteArray kList = "St.Nr.\tVorname\tNachname\r\n"
                         "10\tAnna\tBerg\r\n"
                         "11\tBernd\tMoos\r\n"
                         "12\tCarla\tSee\r\n";

void LoadList(RaceWindow& w) {
    WriteFile(w.folder + "Liste.txt", kList);
    QVERIFY(w.form->Files().LoadStartList(w.folder + "Liste.txt"));
}

TSettings MassStart() {
    TSettings s;
    s.StartType = 1;
    return s;
}

} // namespace

class RunFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void restartDoesNotRestartFirstAthlete();
    void restartWithStartListGoesOnWithNextAthlete();
    void massStartAfterRestartTimedFromStartClock();
    void massStartFinishWithoutAnyStartIsQueued();
    void strayFinishBeforeMassStartSetsNoReference();
    void placeholderFinishItemKeepsItsMinus();
    void queuedNumbersContinueAfterRestart();
    void runningTimesAcrossMidnight();
    void startAtMidnightIsAStart();
    void classLetterCaseDoesNotSplitClass();
};

void RunFaultsTest::restartDoesNotRestartFirstAthlete() {
    QTemporaryDir killed;
    {
        RaceWindow w(TSettings(), true, QString(), At(10, 0));
        w.fake->clock.SetTick(kUptime34h);
        w.Key(Qt::Key_F5); // -1 at 10:00:00
        w.Advance(30000);
        w.Key(Qt::Key_F5); // -2 at 10:00:30
        w.Advance(60000);
        w.Key(Qt::Key_F8); // queued
        KillInto(w, killed);
    }
    RaceWindow w(TSettings(), true, FolderOf(killed), At(10, 5));
    w.fake->clock.SetTick(kUptime34h + 400000);
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->currentText(), QString());
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QString());
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Of("-1", Col::Start), QStringLiteral("10:00:00,00"));
    QCOMPARE(w.Of("-2", Col::Start), QStringLiteral("10:00:30,00"));
    QVERIFY(w.RowOf("-3") >= 1);
    QCOMPARE(w.Of("-3", Col::Start), QStringLiteral("10:05:00,00"));
    // The run goes on: choosing an athlete on the course offers him to FINISH; restarting
    // him stays possible when the operator types his number into START on purpose.
    w.Advance(2000);
    w.P()->GoToCell(0, w.RowOf("-1"), false);
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QStringLiteral("-1"));
    w.StartNumber(QStringLiteral("-1"));
    QCOMPARE(w.Of("-1", Col::Start), QStringLiteral("10:05:02,00"));
}

void RunFaultsTest::restartWithStartListGoesOnWithNextAthlete() {
    QTemporaryDir killed;
    {
        RaceWindow w(TSettings(), true, QString(), At(10, 0));
        w.fake->clock.SetTick(kUptime34h);
        LoadList(w);
        w.Key(Qt::Key_F5); // 10
        w.Advance(30000);
        w.Key(Qt::Key_F5); // 11
        QCOMPARE(w.Of("11", Col::Start), QStringLiteral("10:00:30,00"));
        KillInto(w, killed);
    }
    // The backups of an older version, without the run state's stamps.
    QVERIFY(QFile::remove(FolderOf(killed) + "Kadenzor-Sicherungsdatei-L.txt"));
    RaceWindow w(TSettings(), true, FolderOf(killed), At(10, 1));
    QCOMPARE(Find<NumberBox>(w.form, "cbStartN")->currentText(), QStringLiteral("12"));
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Of("10", Col::Start), QStringLiteral("10:00:00,00"));
    QCOMPARE(w.Of("11", Col::Start), QStringLiteral("10:00:30,00"));
    QCOMPARE(w.Of("12", Col::Start), QStringLiteral("10:01:00,00"));
    // Athlete 10, still on the course, finishes from his start clock text.
    w.Advance(15000);
    w.FinishNumber("10");
    QCOMPARE(w.Of("10", Col::Zeit), QStringLiteral("1:15,00"));
}

void RunFaultsTest::massStartAfterRestartTimedFromStartClock() {
    QTemporaryDir killed;
    {
        RaceWindow w(MassStart(), true, QString(), At(10, 0));
        w.fake->clock.SetTick(kUptime34h);
        LoadList(w);
        w.Key(Qt::Key_F5); // everybody at 10:00:00
        w.Advance(60000);
        w.FinishNumber("10");
        QCOMPARE(w.Of("10", Col::Zeit), QStringLiteral("1:00,00"));
        QCOMPARE(w.Of("10", Col::Split), QStringLiteral("+0,00"));
        KillInto(w, killed);
    }
    // The tick counter ran on while the program was gone, as the clock of day did.
    RaceWindow w(MassStart(), true, FolderOf(killed), At(10, 2, 30), kUptime34h + 150000);
    w.FinishNumber("11");
    QCOMPARE(w.Of("11", Col::Zeit), QStringLiteral("2:30,00"));
    QCOMPARE(w.Of("11", Col::Split), QStringLiteral("+1:30,00")); // gap to 10, who finished before the restart
    QCOMPARE(w.Of("11", Col::Stopp), QStringLiteral("10:02:30,00"));
    w.Advance(1000);
    w.FinishNumber(QString());
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("2:31,00"));
    // ENDE forgets the mass start, also for the next restart; the queued finish keeps its
    // stamp for an assignment after ENDE.
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_F10);
    const QByteArray runState = w.ReadFile("Kadenzor-Sicherungsdatei-L.txt");
    QVERIFY(!runState.contains("Massenstart"));
    QVERIFY(!runState.contains("ErsterZieleinlauf"));
    QVERIFY(!runState.contains("ErsterStart"));
    QVERIFY(runState.startsWith("Ziel=1.;2:31,00;"));
}

void RunFaultsTest::massStartFinishWithoutAnyStartIsQueued() {
    RaceWindow w(MassStart(), true, QString(), At(10, 0));
    w.fake->clock.SetTick(kUptime34h);
    LoadList(w);
    w.FinishNumber("11");
    QCOMPARE(w.Of("11", Col::Zeit).trimmed(), QString());
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:00,00 Uhr"));
    QCOMPARE(w.F()->Cell(FinishCol::Number, 1), QStringLiteral("1."));
}

void RunFaultsTest::strayFinishBeforeMassStartSetsNoReference() {
    QTemporaryDir dir;
    const QString folder = FolderOf(dir);
    {
        RaceWindow list(MassStart(), true, folder, At(9, 59));
        LoadList(list);
    }
    RaceWindow w(MassStart(), true, folder, At(10, 0));
    // Nothing left in the finish box at program start.
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QString());
    w.Key(Qt::Key_F8); // a stray impulse before the start
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:00,00 Uhr"));
    w.Advance(10000);
    w.Key(Qt::Key_F5); // the mass start at 10:00:10
    w.Advance(60000);
    w.FinishNumber("10");
    w.Advance(1500);
    w.FinishNumber("11");
    QCOMPARE(w.Of("10", Col::Zeit), QStringLiteral("1:00,00"));
    QCOMPARE(w.Of("10", Col::Split), QStringLiteral("+0,00"));
    QCOMPARE(w.Of("11", Col::Split), QStringLiteral("+1,50"));
    // The stray finish came before the start: it cannot be anybody's time.
    w.AssignInFinishTable(1, QStringLiteral("12"));
    QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), QStringLiteral("!"));
    QCOMPARE(w.Of("12", Col::Zeit).trimmed(), QString());
}

void RunFaultsTest::placeholderFinishItemKeepsItsMinus() {
    RaceWindow w;
    for (const char* n : {"4", "5", "6"})
        w.StartNumber(QString::fromLatin1(n));
    Find<NumberBox>(w.form, "cbStartN")->setEditText(QString());
    w.Key(Qt::Key_F5); // row 4 without number
    QCOMPARE(w.Cell(Col::StNr, 4), QStringLiteral("-4"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->Items(), (QStringList{"4", "5", "6", "-4"}));
    w.Advance(20000);
    // The operator picks the placeholder's item from the list.
    Find<NumberBox>(w.form, "cbStopN")
        ->setCurrentIndex(Find<NumberBox>(w.form, "cbStopN")->FindItem(QStringLiteral("-4")));
    w.Key(Qt::Key_F8);
    QCOMPARE(w.Cell(Col::Zeit, 4), QStringLiteral("20,00"));
    QCOMPARE(w.Of("4", Col::Zeit), QString());
    w.Advance(1000);
    w.FinishNumber("4");
    QCOMPARE(w.Of("4", Col::Zeit), QStringLiteral("21,00"));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QString()); // nothing queued or refused
}

void RunFaultsTest::queuedNumbersContinueAfterRestart() {
    QTemporaryDir killed;
    {
        RaceWindow w;
        w.StartNumber("1");
        w.FinishNumber(QString());
        w.FinishNumber(QString());
        QCOMPARE(w.F()->Cell(FinishCol::Number, 2), QStringLiteral("2."));
        KillInto(w, killed);
    }
    RaceWindow w(TSettings(), true, FolderOf(killed));
    w.Key(Qt::Key_F8);
    QCOMPARE(w.F()->Cell(FinishCol::Number, 3), QStringLiteral("3."));
}

void RunFaultsTest::runningTimesAcrossMidnight() {
    QTemporaryDir killed;
    {
        RaceWindow w(TSettings(), true, QString(), At(23, 59, 30));
        w.fake->clock.SetTick(0xFFFFFFFFu - 20000u); // the tick wraps during the race too
        w.StartNumber("1");
        w.StartNumber("2");
        w.Advance(20000);
        w.StartNumber("3"); // 23:59:50
        w.Advance(45000);   // 0:00:35
        w.FinishNumber("1");
        QCOMPARE(w.Of("1", Col::Zeit), QStringLiteral("1:05,00"));
        w.FinishNumber(QString());
        QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral(" 0:00:35,00"));
        w.AssignInFinishTable(1, QStringLiteral("2"));
        QCOMPARE(w.Of("2", Col::Zeit), QStringLiteral("1:05,00"));
        KillInto(w, killed);
    }
    // Athlete 3 finishes after a restart, across midnight: from his start tick (the counter
    // ran on, and wrapped, while the program was gone).
    RaceWindow w(TSettings(), true, FolderOf(killed), QDateTime(QDate(2026, 3, 21), QTime(0, 1, 0)),
                 0xFFFFFFFFu + 70000u);
    w.FinishNumber("3");
    QCOMPARE(w.Of("3", Col::Zeit), QStringLiteral("1:10,00"));
}

void RunFaultsTest::startAtMidnightIsAStart() {
    RaceWindow w(TSettings(), true, QString(), QDateTime(QDate(2026, 3, 21), QTime(0, 0)));
    w.StartNumber("7");
    QCOMPARE(w.Of("7", Col::Start), QStringLiteral(" 0:00:00,00"));
    w.Advance(10000);
    w.FinishNumber(QString());
    w.AssignInFinishTable(1, QStringLiteral("7"));
    QCOMPARE(w.Of("7", Col::Zeit), QStringLiteral("10,00"));
}

void RunFaultsTest::classLetterCaseDoesNotSplitClass() {
    TSettings s;
    s.Klass = true;
    RaceWindow w(s);
    for (const char* n : {"1", "2", "3"})
        w.StartNumber(QString::fromLatin1(n));
    w.P()->SetCell(Col::Klasse, w.RowOf("1"), QStringLiteral("M"));
    w.P()->SetCell(Col::Klasse, w.RowOf("2"), QStringLiteral("m "));
    w.P()->SetCell(Col::Klasse, w.RowOf("3"), QStringLiteral("M"));
    w.Advance(50000);
    w.FinishNumber("1");
    w.Advance(1000);
    w.FinishNumber("2");
    w.Advance(1000);
    w.FinishNumber("3");
    w.Key(Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(w.Of("1", Col::KlPl), QStringLiteral("1"));
    QCOMPARE(w.Of("2", Col::KlPl), QStringLiteral("2"));
    QCOMPARE(w.Of("3", Col::KlPl), QStringLiteral("3"));
    QCOMPARE(w.Of("2", Col::Split), QStringLiteral("+1,00"));
    QCOMPARE(w.Of("3", Col::Split), QStringLiteral("+2,00"));
}

QTEST_MAIN(RunFaultsTest)
#include "tst_RunFaults.moc"
